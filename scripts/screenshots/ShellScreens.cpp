#include "ShotFolder.h"

#include "shell/ShellTestSupport.h"
#include "shell/ShellWindowFixture.h"

#include "shell/HeaderToolbarOrderEditor.h"
#include "shell/SwitcherButton.h"
#include "ui/ActionButton.h"

#include <QDir>
#include <QMessageBox>

// Pictures of the window in its main states, for a person to look at.
TEST_F(ShellWindowTest, Window)
{
    const QString folder = shotFolder();
    auto save = [&](QWidget *widget, const QString &name) {
        QCoreApplication::processEvents();
        EXPECT_TRUE(widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png"))));
    };
    // The image markup header at its fullest: two stand-ins for the canvas issue's header views.
    view().hooks().imageAnnotationMenu = [] {
        return new ActionButton(QStringLiteral("标注"), QStringLiteral("paintbrush.pointed"));
    };
    view().hooks().saveToDesktopButton = [] {
        return new ActionButton(QStringLiteral("保存到桌面"), QStringLiteral("square.and.arrow.down"));
    };
    showWindow();
    save(window.get(), QStringLiteral("launcher"));
    model().setStatusMessage(QStringLiteral("已载入：一张名字很长很长的截图文件-20260305-140709.png"));
    for (auto [mode, name] : {std::pair{WorkspaceMode::ImageMarkup, "header-image-markup"},
                              std::pair{WorkspaceMode::ImageComparison, "header-image-comparison"},
                              std::pair{WorkspaceMode::TextComparison, "header-text-comparison"}}) {
        view().workspaceSwitcherButton(mode)->click();
        save(window.get(), QString::fromLatin1(name));
    }
    view().workspaceSwitcherButton(WorkspaceMode::ImageMarkup)->click();
    window->resize(1080, 680);
    save(window.get(), QStringLiteral("minimum-1080x680"));

    view().setDropTargeted(true);
    save(window.get(), QStringLiteral("drop-highlight"));
    view().setDropTargeted(false);

    view().setHeaderToolbarOrderEditorPresented(true);
    ShellTest::spin(50);
    save(view().headerToolbarOrderEditor(), QStringLiteral("order-popover"));
    view().setHeaderToolbarOrderEditorPresented(false);

    auto prompt = ShellDialogs::makeQuitPrompt(QuitPrompt::ImageSave, nullptr);
    prompt->show();
    save(prompt.get(), QStringLiteral("quit-prompt-image"));
    auto project = ShellDialogs::makeQuitPrompt(QuitPrompt::ProjectSave, nullptr);
    project->show();
    save(project.get(), QStringLiteral("quit-prompt-project"));
}
