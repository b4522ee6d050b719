// The export dialogs as shown, the note field's keys and the empty original.

#include "TextEditorWindowFixture.h"

#include "model/AppFont.h"
#include "texteditor/AnnotationListRow.h"
#include "texteditor/AnnotationNoteInput.h"
#include "texteditor/SyncedOriginalTextView.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

// Runs `inspect` on the modal dialog once it is up.
void whenDialogShows(const std::function<void(QDialog *)> &inspect)
{
    QTimer::singleShot(0, [inspect] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        inspect(dialog);
    });
}

QStringList buttonTitles(QDialog *dialog)
{
    QStringList titles;
    for (int index = 0;; ++index) {
        auto *button = dialog->findChild<QPushButton *>(QStringLiteral("dialogButton%1").arg(index));
        if (!button)
            return titles;
        titles << button->text();
    }
}

void press(QDialog *dialog, int index)
{
    dialog->findChild<QPushButton *>(QStringLiteral("dialogButton%1").arg(index))->click();
}

} // namespace

TEST(TextExportDialogs, ButtonsComeInTheFixedOrderAndTheTitleFieldHoldsTheDefault)
{
    ModalTextExportDialogs dialogs;
    QStringList seen;
    whenDialogShows([&](QDialog *dialog) {
        seen = buttonTitles(dialog);
        press(dialog, 1);
    });
    EXPECT_EQ(dialogs.askScope(QStringLiteral("导出 PDF"), nullptr), TextExportDialogs::Scope::EditedPage);
    EXPECT_EQ(
        seen,
        (QStringList { QStringLiteral("导出全部内容"), QStringLiteral("仅导出修改文案页"), QStringLiteral("取消") }));

    whenDialogShows([&](QDialog *dialog) { press(dialog, 2); });
    EXPECT_EQ(dialogs.askScope(QStringLiteral("保存图片"), nullptr), TextExportDialogs::Scope::Cancel);
    whenDialogShows([&](QDialog *dialog) { dialog->reject(); });
    EXPECT_EQ(dialogs.askScope(QStringLiteral("保存图片"), nullptr), TextExportDialogs::Scope::Cancel);

    QString field, placeholder;
    whenDialogShows([&](QDialog *dialog) {
        seen = buttonTitles(dialog);
        auto *edit = dialog->findChild<QLineEdit *>();
        field = edit->text();
        placeholder = edit->placeholderText();
        edit->setText(QStringLiteral("  新标题 "));
        press(dialog, 0);
    });
    EXPECT_EQ(dialogs.askTitle(QStringLiteral("导出 Word"), QStringLiteral("修改文案页"), nullptr),
              QStringLiteral("  新标题 "));
    EXPECT_EQ(seen, (QStringList { QStringLiteral("导出 Word"), QStringLiteral("取消") }));
    EXPECT_EQ(field, QStringLiteral("修改文案页"));
    EXPECT_EQ(placeholder, QStringLiteral("修改文案页"));
    whenDialogShows([&](QDialog *dialog) { press(dialog, 1); });
    EXPECT_EQ(dialogs.askTitle(QStringLiteral("保存图片"), QStringLiteral("文案对比"), nullptr), std::nullopt);
}

TEST(AnnotationNoteInput, CtrlOrMetaReturnSubmitsOtherReturnsBreakTheLine)
{
    AnnotationNoteInput input;
    QString written;
    QStringList submitted;
    input.textEdited = [&](const QString &text) { written = text; };
    input.submit = [&] { submitted << written; };
    input.show();
    ShellInput::keyClick(&input, Qt::Key_A);
    ShellInput::keyClick(&input, Qt::Key_Return);
    ShellInput::keyClick(&input, Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
    ShellInput::keyClick(&input, Qt::Key_B);
    EXPECT_TRUE(submitted.isEmpty());
    ShellInput::keyClick(&input, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    ShellInput::keyClick(&input, Qt::Key_Return, Qt::MetaModifier);
    EXPECT_EQ(submitted, (QStringList { QStringLiteral("a\n\nb"), QStringLiteral("a\n\nb") }));
    EXPECT_EQ(input.toPlainText(), QStringLiteral("a\n\nb"));

    // Each new focus value puts the caret at the end, after the current event.
    QTextCursor start = input.textCursor();
    start.setPosition(0);
    input.setTextCursor(start);
    input.applyFocusSignal(1);
    EXPECT_EQ(input.textCursor().position(), 0);
    EXPECT_TRUE(ShellTest::waitUntil([&] { return input.textCursor().position() == 4; }));
}

TEST_F(TextEditorWindowTest, AnEmptyOriginalShowsItsPlaceholder)
{
    openDocument(QString(), QString());
    ASSERT_TRUE(surface());
    EXPECT_TRUE(surface()->originalEmptyLabel()->isVisible());
    EXPECT_FALSE(surface()->originalView()->isVisible());
    select(0, 0);
    typeText(QStringLiteral("新"));
    EXPECT_EQ(edited(), QStringLiteral("新"));
    // Nothing of the original to stand opposite the new line: still empty.
    EXPECT_TRUE(surface()->originalEmptyLabel()->isVisible());
}

// A note too long for its two lines keeps its first line and ends the second with an ellipsis.
TEST(AnnotationListRow, ALongNoteShowsItsFirstLine)
{
    TextMarkupAnnotation markup(QUuid::createUuid(), 1, 0, 4,
                                QStringLiteral("第1条批注：这里的说法需要再确认一下，可能有歧义，请作者核对原始资料后再定稿。"),
                                true, "#FDE047", false, "#16A34A", false);
    AnnotationListRow row(markup, QString(), false);
    row.resize(204, row.heightForWidth(204));
    const QImage image = row.grab().toImage();
    const qreal lineHeight = QFontMetricsF(AppFont::font(12, QFont::Bold)).height();
    // Dark ink of the note's text, right of the badge, in each of the two line bands.
    auto inkIn = [&](qreal top) {
        for (int y = int(top); y < int(top + lineHeight); ++y) {
            for (int x = 40; x < image.width() - 8; ++x) {
                if (qGray(image.pixel(x, y)) < 100)
                    return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(inkIn(8));
    EXPECT_TRUE(inkIn(8 + lineHeight));
}
