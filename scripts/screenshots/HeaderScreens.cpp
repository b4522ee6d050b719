#include "ShotFolder.h"

#include "shell/ShellRules.h"
#include "shell/ShellTestSupport.h"
#include "shell/ShellWindowFixture.h"

// The real window with every workspace installed, three images and a long status, at the smallest
// and the default size in every workspace, for a person to look at the header and the status line.
TEST_F(ShellWindowTest, HeaderInEveryWorkspace)
{
    const QString folder = shotFolder();
    showWindowWithWorkspaces();
    addImages(3);
    model().setStatusMessage(QStringLiteral("已保存 3 张图片到桌面：一张名字很长很长的截图文件-20260305-140709.png"));
    std::vector<WorkspaceMode> modes{WorkspaceMode::Launcher};
    for (WorkspaceMode mode : ShellRules::switchableWorkspaces())
        modes.push_back(mode);
    for (QSize size : {QSize(1080, 680), QSize(1280, 800)}) {
        window->resize(size);
        for (WorkspaceMode mode : modes) {
            view().setWorkspaceMode(mode);
            ShellTest::settle();
            window->grab().save(QDir(folder).filePath(
                QStringLiteral("real-%1x%2-mode%3.png").arg(size.width()).arg(size.height()).arg(int(mode))));
        }
    }
}
