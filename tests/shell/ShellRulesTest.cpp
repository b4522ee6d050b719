#include "shell/KeyCommandMonitor.h"
#include "shell/ShellRules.h"
#include "ui/ShellDialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ShellRules;

namespace {

QString nameOf(int key, Qt::KeyboardModifiers modifiers, const QString &text = {})
{
    return KeyCommands::shortcutName(key, modifiers, text).value_or(QStringLiteral("<none>"));
}

} // namespace

TEST(KeyCommands, KeyMapFollowsTheModifierTable)
{
    const auto Cmd = Qt::ControlModifier, Ctl = Qt::MetaModifier, Alt = Qt::AltModifier, Sh = Qt::ShiftModifier;
    EXPECT_EQ(nameOf(Qt::Key_Z, Cmd), "undo");
    EXPECT_EQ(nameOf(Qt::Key_Z, Ctl), "undo");
    EXPECT_EQ(nameOf(Qt::Key_Z, Cmd | Sh, "Z"), "redo");
    EXPECT_EQ(nameOf(Qt::Key_Z, Ctl | Sh, "Z"), "redo");
    // Option added to Command is neither: it falls to the characters.
    EXPECT_EQ(nameOf(Qt::Key_Z, Cmd | Alt, "z"), "z");
    EXPECT_EQ(nameOf(Qt::Key_O, Cmd), "openProject");
    EXPECT_EQ(nameOf(Qt::Key_O, Ctl, "o"), "o");
    EXPECT_EQ(nameOf(Qt::Key_S, Cmd), "saveProject");
    EXPECT_EQ(nameOf(Qt::Key_S, Cmd | Sh, "S"), "S");
    EXPECT_EQ(nameOf(Qt::Key_C, Ctl), "copy");
    EXPECT_EQ(nameOf(Qt::Key_V, Cmd), "paste");
    EXPECT_EQ(nameOf(Qt::Key_A, Cmd), "selectAll");
    EXPECT_EQ(nameOf(Qt::Key_Backspace, Cmd), "delete");
    EXPECT_EQ(nameOf(Qt::Key_Delete, Qt::NoModifier), "delete");
    EXPECT_EQ(nameOf(Qt::Key_Escape, Cmd), "escape");
    // Keypad and group-switch flags are not modifiers; numpad digits carry their text.
    EXPECT_EQ(nameOf(Qt::Key_Z, Cmd | Qt::KeypadModifier), "undo");
    EXPECT_EQ(nameOf(Qt::Key_3, Qt::KeypadModifier, "3"), "3");
    EXPECT_EQ(nameOf(Qt::Key_1, Sh, "!"), "!");
    EXPECT_EQ(nameOf(Qt::Key_F5, Qt::NoModifier), "<none>");
    // A control character is no name.
    EXPECT_EQ(nameOf(Qt::Key_K, Cmd, QStringLiteral("\x0b")), "<none>");
}

TEST(KeyCommands, FilterKeepsTypingWithTextFieldsAndRejectsHeldCommandKeys)
{
    using KeyCommands::shouldHandle;
    const auto none = Qt::NoModifier, Cmd = Qt::ControlModifier, Alt = Qt::AltModifier, Sh = Qt::ShiftModifier;
    EXPECT_FALSE(shouldHandle("escape", none, false, false)); // another window
    EXPECT_TRUE(shouldHandle("escape", Sh, true, true));
    EXPECT_FALSE(shouldHandle("escape", Cmd, false, true));
    EXPECT_TRUE(shouldHandle("openProject", Cmd, true, true));
    EXPECT_TRUE(shouldHandle("saveProject", Cmd, true, true));
    EXPECT_FALSE(shouldHandle("undo", Cmd, true, true));
    EXPECT_FALSE(shouldHandle("3", none, true, true));
    EXPECT_TRUE(shouldHandle("undo", Cmd, false, true));
    EXPECT_TRUE(shouldHandle("selectAll", Cmd, false, true));
    for (const char *digit : {"1", "4", "7"})
        EXPECT_TRUE(shouldHandle(digit, none, false, true)) << digit;
    for (const char *other : {"8", "9", "0", "!", "x"})
        EXPECT_FALSE(shouldHandle(other, none, false, true)) << other;
    EXPECT_TRUE(shouldHandle("Z", Sh, false, true));
    EXPECT_TRUE(shouldHandle("delete", none, false, true));
    EXPECT_FALSE(shouldHandle("delete", Cmd, false, true));
    EXPECT_FALSE(shouldHandle("z", Cmd | Alt, false, true));
    EXPECT_FALSE(shouldHandle("3", Alt, false, true));
}

TEST(KeyCommands, TextInputWidgetsIncludeSpinBoxesEditableCombosAndTextViewports)
{
    QLineEdit line;
    QTextEdit text;
    text.setReadOnly(true);
    QPlainTextEdit plain;
    QSpinBox spin;
    QComboBox fixedCombo, editableCombo;
    editableCombo.setEditable(true);
    QLabel label;
    EXPECT_TRUE(KeyCommands::isTextInputWidget(&line));
    EXPECT_TRUE(KeyCommands::isTextInputWidget(&text));
    EXPECT_TRUE(KeyCommands::isTextInputWidget(text.viewport()));
    EXPECT_TRUE(KeyCommands::isTextInputWidget(&plain));
    EXPECT_TRUE(KeyCommands::isTextInputWidget(&spin));
    EXPECT_TRUE(KeyCommands::isTextInputWidget(&editableCombo));
    EXPECT_FALSE(KeyCommands::isTextInputWidget(&fixedCombo));
    EXPECT_FALSE(KeyCommands::isTextInputWidget(&label));
    EXPECT_FALSE(KeyCommands::isTextInputWidget(nullptr));
}

TEST(ShellRules, HeaderModesItemsAndDisabledRules)
{
    EXPECT_EQ(headerToolbarMode(WorkspaceMode::Launcher), std::nullopt);
    EXPECT_EQ(headerToolbarMode(WorkspaceMode::Compression), std::nullopt);
    EXPECT_EQ(headerToolbarMode(WorkspaceMode::VideoFrameAnnotation), std::nullopt);
    EXPECT_EQ(headerToolbarMode(WorkspaceMode::TextComparison), HeaderToolbarMode::TextComparison);

    using I = HeaderToolbarItem;
    EXPECT_EQ(visibleHeaderToolbarItems({I::ImageCanvas, I::ImageExport, I::Zoom, I::ImageCanvas}),
              (std::vector<I>{I::ImageExport, I::Zoom}));
    EXPECT_TRUE(isHeaderItemShown(I::Zoom, WorkspaceMode::ImageComparison));
    EXPECT_FALSE(isHeaderItemShown(I::AddComparison, WorkspaceMode::ImageComparison));
    EXPECT_FALSE(isHeaderItemShown(I::BatchAddComparison, WorkspaceMode::ImageComparison));
    // A foreign item in a stored list renders nothing.
    EXPECT_FALSE(isHeaderItemShown(I::OpenProject, WorkspaceMode::ImageMarkup));
    EXPECT_FALSE(isHeaderItemShown(I::ImportImage, WorkspaceMode::TextComparison));

    EXPECT_TRUE(isHeaderItemDisabled(I::AddToComparison, false, true));
    EXPECT_TRUE(isHeaderItemDisabled(I::ImageAnnotation, false, true));
    EXPECT_FALSE(isHeaderItemDisabled(I::ImageExport, false, true));
    EXPECT_TRUE(isHeaderItemDisabled(I::ImageExport, true, false));
    for (I never : {I::ImportImage, I::OpenProject, I::SaveProject, I::Zoom})
        EXPECT_FALSE(isHeaderItemDisabled(never, false, false));
}

TEST(ShellRules, ZoomStepsDoNotSnapAndThePercentageTruncates)
{
    EXPECT_EQ(zoomPercentText(1.0), "100%");
    EXPECT_EQ(zoomPercentText(30), "3000%");
    EXPECT_EQ(zoomPercentText(std::numeric_limits<double>::quiet_NaN()), "0%");
    double zoom = 1.0;
    for (int press = 0; press < 8; ++press)
        zoom = steppedZoom(zoom, -0.1);
    EXPECT_EQ(zoom, 0.25);
    EXPECT_EQ(zoomPercentText(zoom), "25%");
    zoom = steppedZoom(steppedZoom(zoom, 0.1), 0.1);
    EXPECT_LT(zoom, 0.45);
    EXPECT_EQ(zoomPercentText(zoom), "44%");
    EXPECT_EQ(steppedZoom(0.3, -0.1), 0.25);
    EXPECT_EQ(steppedZoom(29.95, 0.1), 30);
}

TEST(ShellRules, FrameRoundingHalvesAwayFromZeroAndIgnoresNonFinite)
{
    EXPECT_EQ(roundedFrameIndex(12.5), 13);
    EXPECT_EQ(roundedFrameIndex(12.49), 12);
    EXPECT_EQ(roundedFrameIndex(-2.5), -3);
    EXPECT_EQ(roundedFrameIndex(std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(roundedFrameIndex(std::nan("")), std::nullopt);
    EXPECT_EQ(roundedFrameIndex(1e12), std::nullopt);
}

TEST(ShellRules, DropRoutesByKindVideoAndWorkspace)
{
    using M = WorkspaceMode;
    EXPECT_EQ(routeDrop(DroppedKind::File, true, M::Compression), DropRoute::ImportVideo);
    EXPECT_EQ(routeDrop(DroppedKind::File, false, M::Compression), DropRoute::AddCompressionSources);
    for (M mode : {M::Launcher, M::ImageMarkup, M::ImageComparison, M::TextComparison, M::VideoFrameAnnotation})
        EXPECT_EQ(routeDrop(DroppedKind::File, false, mode), DropRoute::ImportImageFiles);
    EXPECT_EQ(routeDrop(DroppedKind::Picture, false, M::Compression), DropRoute::ImportPicture);

    QTemporaryDir directory;
    EXPECT_TRUE(isVideoFile(directory.filePath("clip.MOV")));
    EXPECT_TRUE(isVideoFile(directory.filePath("clip.m4v")));
    EXPECT_FALSE(isVideoFile(directory.filePath("shot.png")));
    EXPECT_FALSE(isVideoFile(directory.path()));
}

TEST(ShellDialogs, QuitPromptsKeepTheirButtonOrderAndEscapeCancels)
{
    auto box = ShellDialogs::makeQuitPrompt(QuitPrompt::ImageSave, nullptr);
    EXPECT_EQ(box->text(), "是否保存标注图片？");
    EXPECT_EQ(box->informativeText(), "图片标注不保存项目文件。退出前可以把当前选中的标注图片保存到桌面。");
    QStringList titles;
    for (QAbstractButton *button : box->buttons()) {
        titles.append(button->text());
        EXPECT_EQ(box->buttonRole(button), QMessageBox::ActionRole);
    }
    EXPECT_EQ(titles, (QStringList{"保存到桌面", "不保存", "取消"}));
    EXPECT_EQ(box->defaultButton()->text(), "保存到桌面");
    EXPECT_EQ(box->escapeButton()->text(), "取消");
    EXPECT_EQ(ShellDialogs::quitAnswer(*box), QuitAnswer::Cancel);

    // The image question names the action that asked it.
    EXPECT_EQ(ShellDialogs::makeQuitPrompt(QuitPrompt::ImageSave, nullptr, SaveQuestionCause::OpenProject)->informativeText(),
              "图片标注不保存项目文件。打开项目前可以把当前选中的标注图片保存到桌面。");
    EXPECT_EQ(ShellDialogs::makeQuitPrompt(QuitPrompt::ImageSave, nullptr, SaveQuestionCause::NewSource)->informativeText(),
              "图片标注不保存项目文件。上传原文前可以把当前选中的标注图片保存到桌面。");

    auto project = ShellDialogs::makeQuitPrompt(QuitPrompt::ProjectSave, nullptr);
    EXPECT_EQ(project->text(), "是否保存当前项目？");
    EXPECT_EQ(project->informativeText(), "项目文件用于继续编辑文案对比，不是最终导出的图片。");
    EXPECT_EQ(project->defaultButton()->text(), "保存");
    project->buttons().at(1)->click();
    EXPECT_EQ(ShellDialogs::quitAnswer(*project), QuitAnswer::DontSave);

    auto error = ShellDialogs::makeErrorAlert(QString(), nullptr);
    EXPECT_EQ(error->windowTitle(), "操作失败");
    EXPECT_EQ(error->informativeText(), "未知错误");
    ASSERT_EQ(error->buttons().size(), 1);
    EXPECT_EQ(error->buttons().front()->text(), "知道了");

    auto update = ShellDialogs::makeUpdateAlert(QStringLiteral("当前版本 v1.0.0，最新版本 v2.0.0。"), nullptr);
    EXPECT_EQ(update->windowTitle(), "发现新版本");
    EXPECT_EQ(update->escapeButton()->text(), "稍后");
}
