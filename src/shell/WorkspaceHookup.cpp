#include "model/MarkupViewModel.h"
#include "shell/ContentView.h"
#include "shell/ImageComparisonHookup.h"
#include "shell/ImageCompressionHookup.h"
#include "shell/ImageMarkupHookup.h"
#include "shell/ShellHooks.h"
#include "shell/TextComparisonHookup.h"
#include "shell/VideoFrameAnnotationHookup.h"

#include <memory>
#include <variant>

namespace {

// The view-model operations the root view routes keys, drops and prompts to.
void installViewModelOperations(ShellHooks &hooks)
{
    hooks.cancelCurrentOperation = [](MarkupViewModel &model) { model.cancelCurrentOperation(); };
    hooks.handleToolShortcut = [](MarkupViewModel &model, const QString &name) {
        return model.handleToolShortcut(name);
    };
    hooks.importImages = [](MarkupViewModel &model, const QStringList &paths, bool replacing) {
        model.importImages(paths, replacing);
    };
    hooks.importImage = [](MarkupViewModel &model, const QImage &image, const QString &fileName) {
        model.importImage(image, fileName);
    };
    hooks.saveSelectedImagesToDesktop = [](MarkupViewModel &model, ImageExportFormat format, double quality) {
        return model.saveSelectedImagesToDesktop(format, quality);
    };
    hooks.readProject = [](const QString &path) { return MarkupViewModel::readProjectFile(path); };
    hooks.openProject = [](MarkupViewModel &model, const QString &path, MarkupViewModel::ReadProject project) {
        return model.applyReadProject(path, std::move(project));
    };
    hooks.saveProject = [](MarkupViewModel &model, const QString &path) { return model.saveProject(path); };
    hooks.startSavingProject = [](MarkupViewModel &model, const QString &path) { model.startSavingProject(path); };
}

} // namespace

// The single place where workspaces join the window. A workspace adds one line that fills its
// slots of view.hooks() (see ShellHooks.h); the window works, with those features absent, while a
// slot is empty.
void installWorkspaceHooks(ContentView &view)
{
    installViewModelOperations(view.hooks());
    (new ImageMarkupHookup(view))->install(view.hooks());
    (new ImageComparisonHookup(view))->install(view.hooks());
    (new TextComparisonHookup(view))->install(view.hooks());
    (new VideoFrameAnnotationHookup(view))->install(view.hooks());
    (new ImageCompressionHookup(view))->install(view.hooks());
}
