#include "shell/ImageMarkupHookup.h"

#include "canvas/ImageMarkupSidebar.h"
#include "canvas/ImageMarkupWorkspace.h"
#include "shell/ContentView.h"
#include "shell/ShellHooks.h"
#include "ui/FeedbackButton.h"

#include <QToolButton>

ImageMarkupHookup::ImageMarkupHookup(ContentView &view)
    : QObject(&view)
    , m_view(view)
    , m_commands(*this, &view)
{
}

MarkupViewModel &ImageMarkupHookup::viewModel()
{
    return m_view.viewModel();
}

WorkspaceMode ImageMarkupHookup::workspaceMode() const
{
    return m_view.workspaceMode();
}

void ImageMarkupHookup::setWorkspaceMode(WorkspaceMode mode)
{
    m_view.setWorkspaceMode(mode);
}

void ImageMarkupHookup::setPanOffset(QSizeF offset)
{
    m_view.setPanOffset(offset);
}

void ImageMarkupHookup::setDropTargeted(bool targeted)
{
    m_view.setDropTargeted(targeted);
}

void ImageMarkupHookup::install(ShellHooks &hooks)
{
    hooks.imageMarkupWorkspace = [this](QWidget *emptyState) { return makeWorkspace(emptyState); };
    hooks.imageAnnotationMenu = [this] { return m_commands.imageAnnotationMenuButton(nullptr); };
    hooks.saveToDesktopButton = [this] { return m_commands.saveToDesktopButton(nullptr); };
    hooks.startSavingSelectedImagesToDesktop = [this] { m_commands.saveSelectedImagesToDesktopAction(); };
    hooks.presentImageImportPanel = [this] { m_commands.presentImageImportPanel(); };
    hooks.deleteImageMarkupSelection = [this] { return m_commands.deleteImageMarkupSelection(); };
    hooks.fitImageMarkupCanvas = [this] { m_commands.fitImageMarkupCanvas(); };
    hooks.imageMarkupSidebar = [this] { return makeSidebar(); };
}

// Cards open the import panel and reset the canvas pan through the root view.
QWidget *ImageMarkupHookup::makeSidebar()
{
    auto *sidebar = new ImageMarkupSidebar(m_view.viewModel());
    ContentView *root = &m_view;
    sidebar->imageList()->setImportAction([root] {
        if (root->hooks().presentImageImportPanel)
            root->hooks().presentImageImportPanel();
    });
    sidebar->imageList()->setResetPanAction([root] { root->setPanOffset(QSizeF(0, 0)); });
    return sidebar;
}

// A fresh workspace on every entry, so its own gesture and layout state restarts.
QWidget *ImageMarkupHookup::makeWorkspace(QWidget *emptyState)
{
    auto *workspace = new ImageMarkupWorkspace(&m_view.viewModel());
    workspace->setEmptyState(emptyState);
    workspace->setDeleteAction([this] { return m_commands.deleteImageMarkupSelection(); });
    workspace->setFitCanvasAction([this] { m_commands.fitImageMarkupCanvas(); });
    workspace->setMouseButtonAction(
        [this](CanvasMouseButtonAction action) { return m_view.handleImageMarkupMouseButton(action); });

    // The pan offset is the root view's; the workspace keeps a copy in step with it.
    workspace->setPanOffset(m_view.panOffset());
    workspace->setCancelSignal(m_view.cancelSignal());
    connect(workspace, &ImageMarkupWorkspace::panOffsetChanged, &m_view,
            [this](QSizeF offset) { m_view.setPanOffset(offset); });
    connect(&m_view, &ContentView::panOffsetChanged, workspace,
            [this, workspace] { workspace->setPanOffset(m_view.panOffset()); });
    connect(&m_view, &ContentView::cancelSignalChanged, workspace, &ImageMarkupWorkspace::setCancelSignal);
    return workspace;
}
