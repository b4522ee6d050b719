// Alerts show their title and texts whole: no Chinese message broken into columns a few
// characters wide, no title cut by the title bar.

#include "comparison/widgets/ModalComparisonDialogs.h"
#include "platform/AlertSetup.h"
#include "ui/ShellDialogs.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The box as shown, with its texts laid out.
::testing::AssertionResult showsWhole(QMessageBox &box)
{
    box.show();
    QApplication::processEvents();
    const QFontMetrics metrics(box.font());
    const int titleRoom = metrics.horizontalAdvance(box.windowTitle()) + 100;
    if (box.width() < titleRoom)
        return ::testing::AssertionFailure() << "box " << box.width() << " wide, its title needs " << titleRoom;
    const auto *text = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    if (text && text->width() < QFontMetrics(text->font()).horizontalAdvance(box.text()))
        return ::testing::AssertionFailure() << "message \"" << box.text().toStdString() << "\" wraps in "
                                             << text->width();
    const auto *informative = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
    if (informative && !box.informativeText().isEmpty()) {
        // At least twenty characters to a line, or the whole text on one.
        const QFontMetrics textMetrics(informative->font());
        const int wanted = std::min(textMetrics.horizontalAdvance(box.informativeText()),
                                    20 * textMetrics.horizontalAdvance(u'字'));
        if (informative->width() < wanted)
            return ::testing::AssertionFailure() << "text laid out " << informative->width() << " wide, wants "
                                                 << wanted;
    }
    box.hide();
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(AlertWidth, EveryAlertShowsItsTitleAndMessageWhole)
{
    const QString batch = QStringLiteral("已添加 3 组图片，另有 2 张图片没有找到同名的对比图。");
    auto added = ModalComparisonDialogs::makeBatchResult(QStringLiteral("批量添加完成"), batch, false, nullptr);
    EXPECT_TRUE(showsWhole(*added));
    EXPECT_GE(added->width(), AlertSetup::minimumTextWidth);
    auto none = ModalComparisonDialogs::makeBatchResult(QStringLiteral("没有匹配成功"), batch, true, nullptr);
    EXPECT_TRUE(showsWhole(*none));

    EXPECT_TRUE(showsWhole(*ShellDialogs::makeErrorAlert(QStringLiteral("无法读取文件：照片.jpg"), nullptr)));
    for (SaveQuestionCause cause : {SaveQuestionCause::Quit, SaveQuestionCause::OpenProject, SaveQuestionCause::NewSource}) {
        EXPECT_TRUE(showsWhole(*ShellDialogs::makeQuitPrompt(QuitPrompt::ImageSave, nullptr, cause)));
        EXPECT_TRUE(showsWhole(*ShellDialogs::makeQuitPrompt(QuitPrompt::ProjectSave, nullptr, cause)));
    }
    EXPECT_TRUE(showsWhole(*ShellDialogs::makeUpdateAlert(QStringLiteral("当前版本 v1.0.0，最新版本 v2.0.0。"), nullptr)));

    // A long window title widens the box beyond the floor.
    QMessageBox titled;
    titled.setWindowTitle(QStringLiteral("这是一个特别特别长的窗口标题，用来检查标题栏放得下"));
    titled.setText(QStringLiteral("短"));
    AlertSetup::fitWidth(titled);
    EXPECT_TRUE(showsWhole(titled));
    EXPECT_GT(AlertSetup::textWidthFloor(titled), AlertSetup::minimumTextWidth);
}
