// A text far from the one a pane shows is filled in off the window's thread: the pane keeps the
// text before and takes no typing until the new one is in, a newer text or the pane's end drops
// a fill not yet in, and a paste over a long selection reaches the model as one new text.
#include "model/MarkupViewModel.h"
#include "support/ComparisonExecutors.h"
#include "texteditor/AnnotationTextView.h"
#include "texteditor/HighlightedTextEditor.h"
#include "texteditor/SyncedOriginalTextView.h"
#include "texteditor/TextComparisonScrollSync.h"
#include "texteditor/TextPaneDocumentFill.h"
#include "textengine/TextComparisonDiff.h"

#include "shell/ShellInput.h"
#include <QApplication>
#include <QClipboard>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

QString longText(const QString &mark, int lines = 6000)
{
    QStringList list;
    for (int k = 0; k < lines; ++k)
        list << QStringLiteral("第%1行%2：一段足够长的文字").arg(k).arg(mark);
    return list.join(u'\n');
}

struct FillHarness {
    QTemporaryDir directory;
    QSettings settings { directory.filePath(QStringLiteral("p.ini")), QSettings::IniFormat };
    MarkupViewModel model { settings };
    std::shared_ptr<TextComparisonScrollSync> sync = std::make_shared<TextComparisonScrollSync>();
    std::shared_ptr<HeldComparisonExecutor> fills = std::make_shared<HeldComparisonExecutor>();
    std::unique_ptr<HighlightedTextEditor> editor;
    std::vector<bool> fillingReports;

    explicit FillHarness(const QString &text)
    {
        model.setTextComparison(QStringLiteral("a.txt"), text);
        HighlightedTextEditor::Callbacks callbacks;
        callbacks.textEdited = [this](const QString &edited) { model.updateEditedComparisonText(edited); };
        callbacks.undo = [this] { return model.undoTextComparisonEdit(); };
        callbacks.redo = [this] { return model.redoTextComparisonEdit(); };
        callbacks.fillingChanged = [this](bool filling) { fillingReports.push_back(filling); };
        editor = std::make_unique<HighlightedTextEditor>(sync, callbacks);
        editor->setFillExecutor(fills);
        QObject::connect(&model, &MarkupViewModel::textComparisonChanged, editor.get(), [this] { render(); });
        editor->resize(500, 400);
        editor->show();
        QCoreApplication::processEvents();
        render();
    }

    void render()
    {
        if (!editor)
            return;
        const TextComparisonState &state = *model.textComparison();
        editor->render(state.editedText, state.originalText, {}, state.annotations);
    }
    AnnotationTextView *view() { return editor->textView(); }
    QString shown() { return PaneText::rawText(view()->document()); }
    QString edited() { return model.textComparison()->editedText; }
};

} // namespace

TEST(PaneFill, TheBlockTextIsWhatTheDocumentHolds)
{
    // Every way Qt breaks a line, mixed with text, a line separator and a pair outside the BMP.
    const QString pieces[] = { QStringLiteral("\r\n"), QStringLiteral("\r"), QStringLiteral("\n"), QString(QChar(0x2029)),
                               QString(QChar(0xFDD0)), QString(QChar(0xFDD1)), QString(QChar(0x2028)),
                               QStringLiteral("字"), QStringLiteral("ab"), QStringLiteral("😀"), QStringLiteral("\t") };
    QRandomGenerator random(7);
    for (int round = 0; round < 300; ++round) {
        QString text;
        const int count = int(random.bounded(12));
        for (int k = 0; k < count; ++k)
            text += pieces[random.bounded(int(std::size(pieces)))];
        QTextDocument document;
        QTextCursor(&document).insertText(text);
        EXPECT_EQ(PaneText::asBlockText(text), PaneText::rawText(&document)) << round;
    }
    // A long text without a mark is handed back as it is, not copied.
    const QString plain = longText(QStringLiteral("甲"), 100);
    EXPECT_EQ(PaneText::asBlockText(plain).constData(), plain.constData());
}

TEST(PaneFill, ALongTextIsFilledOffTheThreadAndANewerTextOrTheEndDropsIt)
{
    FillHarness harness(QStringLiteral("短的原文"));
    ASSERT_EQ(harness.shown(), QStringLiteral("短的原文"));
    ASSERT_EQ(harness.fills->held(), 0u);

    // A long text: made on the worker; meanwhile the pane shows the text before and takes no typing.
    const QString first = longText(QStringLiteral("甲"));
    harness.model.updateEditedComparisonText(first);
    ASSERT_EQ(harness.fills->held(), 1u);
    EXPECT_TRUE(harness.editor->isFilling());
    EXPECT_EQ(harness.fillingReports, std::vector<bool>({ true }));
    EXPECT_EQ(harness.shown(), QStringLiteral("短的原文"));
    EXPECT_TRUE(harness.view()->isReadOnly());
    ShellInput::keyClick(harness.view(), Qt::Key_X);
    EXPECT_EQ(harness.edited(), first);

    // A newer text far from it replaces the fill; the first, done late, is never shown.
    const QString second = longText(QStringLiteral("乙"));
    harness.model.updateEditedComparisonText(second);
    ASSERT_EQ(harness.fills->held(), 2u);
    harness.fills->run(0);
    EXPECT_TRUE(harness.editor->isFilling());
    EXPECT_EQ(harness.shown(), QStringLiteral("短的原文"));
    harness.fills->run(0);
    EXPECT_FALSE(harness.editor->isFilling());
    EXPECT_EQ(harness.shown(), second);
    EXPECT_EQ(harness.editor->currentText(), second);
    EXPECT_FALSE(harness.view()->isReadOnly());

    // Typing goes on in the new document, and reaches the model.
    QTextCursor cursor = harness.view()->textCursor();
    cursor.setPosition(int(second.size()));
    harness.view()->setTextCursor(cursor);
    ShellInput::keyClick(harness.view(), Qt::Key_Y);
    EXPECT_EQ(harness.edited(), second + QStringLiteral("y"));

    // A small change asked for during a fill waits for it and is made in place afterwards.
    harness.model.updateEditedComparisonText(first);
    ASSERT_EQ(harness.fills->held(), 1u);
    harness.model.updateEditedComparisonText(first + QStringLiteral("！"));
    EXPECT_EQ(harness.fills->held(), 1u);
    harness.fills->run(0);
    EXPECT_EQ(harness.shown(), first + QStringLiteral("！"));
    EXPECT_EQ(harness.editor->currentText(), first + QStringLiteral("！"));

    // The pane goes while a fill is under way: the fill ends with nobody to hand its document to.
    harness.model.updateEditedComparisonText(second);
    ASSERT_EQ(harness.fills->held(), 1u);
    harness.editor.reset();
    harness.fills->run(0);
}

TEST(PaneFill, APasteOverALongSelectionIsOneNewTextForTheModel)
{
    const QString before = longText(QStringLiteral("甲"));
    FillHarness harness(QStringLiteral("短的原文"));
    harness.model.updateEditedComparisonText(before);
    harness.fills->runAll();
    ASSERT_EQ(harness.shown(), before);

    // The pasted text's own line ends become the pane's.
    const QString pasted = longText(QStringLiteral("乙")).replace(u'\n', QStringLiteral("\r\n"));
    QApplication::clipboard()->setText(pasted);
    harness.view()->selectAll();
    harness.view()->paste();
    const QString after = QString(pasted).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(harness.edited(), after);
    ASSERT_EQ(harness.fills->held(), 1u);
    EXPECT_EQ(harness.shown(), before);
    harness.fills->run(0);
    EXPECT_EQ(harness.shown(), after);
    EXPECT_EQ(harness.view()->textCursor().position(), after.size());

    // One step: undo brings the text before back, filled in again.
    ShellInput::keyClick(harness.view(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(harness.edited(), before);
    harness.fills->runAll();
    EXPECT_EQ(harness.shown(), before);

    // A key over a long selection, and a deletion of one, go the same way.
    QTextCursor cursor = harness.view()->textCursor();
    cursor.setPosition(5);
    cursor.setPosition(int(before.size()), QTextCursor::KeepAnchor);
    harness.view()->setTextCursor(cursor);
    ShellInput::keyClick(harness.view(), Qt::Key_Q, Qt::NoModifier);
    EXPECT_EQ(harness.edited(), before.left(5) + QStringLiteral("q"));
    harness.fills->runAll();
    EXPECT_EQ(harness.shown(), before.left(5) + QStringLiteral("q"));
    ShellInput::keyClick(harness.view(), Qt::Key_Z, Qt::ControlModifier);
    harness.fills->runAll();
    ASSERT_EQ(harness.shown(), before);
    harness.view()->selectAll();
    ShellInput::keyClick(harness.view(), Qt::Key_Backspace);
    EXPECT_EQ(harness.edited(), QString());
    EXPECT_EQ(harness.fills->held(), 1u);
    harness.fills->runAll();
    EXPECT_EQ(harness.shown(), QString());
}
