// The two panes: the text round trip, one history entry per edit, the shared layout and the
// scroll synchronisation.

#include "model/MarkupViewModel.h"
#include "texteditor/AnnotationTextView.h"
#include "texteditor/HighlightedTextEditor.h"
#include "texteditor/SyncedOriginalTextView.h"
#include "texteditor/TextComparisonScrollSync.h"
#include "texteditor/TextPaneDocumentLayout.h"
#include "textengine/TextComparisonDiff.h"

#include "shell/ShellInput.h"
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

// An editor wired to a real view model, as the workspace wires it.
struct EditorHarness {
    QTemporaryDir directory;
    QSettings settings { directory.filePath(QStringLiteral("p.ini")), QSettings::IniFormat };
    MarkupViewModel model { settings };
    std::shared_ptr<TextComparisonScrollSync> sync = std::make_shared<TextComparisonScrollSync>();
    std::unique_ptr<HighlightedTextEditor> editor;
    int reports = 0;

    explicit EditorHarness(const QString &text)
    {
        model.setTextComparison(QStringLiteral("a.txt"), text);
        HighlightedTextEditor::Callbacks callbacks;
        callbacks.textEdited = [this](const QString &edited) { model.updateEditedComparisonText(edited); };
        callbacks.undo = [this] { return model.undoTextComparisonEdit(); };
        callbacks.redo = [this] { return model.redoTextComparisonEdit(); };
        callbacks.selectionReported = [this](auto, auto) { ++reports; };
        editor = std::make_unique<HighlightedTextEditor>(sync, callbacks);
        QObject::connect(&model, &MarkupViewModel::textComparisonChanged, editor.get(), [this] { render(); });
        editor->resize(500, 400);
        render();
        editor->show();
        QCoreApplication::processEvents();
    }

    void render()
    {
        const TextComparisonState &state = *model.textComparison();
        editor->render(state.editedText, state.originalText,
                       TextComparisonDiff::changes(state.originalText, state.editedText), state.annotations);
    }

    AnnotationTextView *view() { return editor->textView(); }
    QString edited() { return model.textComparison()->editedText; }
    void placeCaret(int position)
    {
        QTextCursor cursor = view()->textCursor();
        cursor.setPosition(position);
        view()->setTextCursor(cursor);
    }
};

} // namespace

TEST(TextRoundTrip, TypingChangesOnlyTheTypedCharacter)
{
    // No-break spaces, a line separator, tabs and a character outside the BMP survive an edit.
    const QString text = QStringLiteral("甲\u00A0乙\u2028丙\t丁 😀\n第二行\u00A0end");
    EditorHarness harness(text);
    EXPECT_EQ(harness.editor->currentText(), text);
    harness.placeCaret(1);
    ShellInput::keyClick(harness.view(), Qt::Key_X);
    QString expected = text;
    expected.insert(1, QLatin1Char('x'));
    EXPECT_EQ(harness.edited(), expected);
}

TEST(TextRoundTrip, PastedParagraphSeparatorsBecomeLineFeeds)
{
    EditorHarness harness(QStringLiteral("ab"));
    harness.placeCaret(1);
    harness.view()->insertPlainText(QStringLiteral("1\u20292\r3"));
    EXPECT_EQ(harness.edited(), QStringLiteral("a1\n2\n3b"));
}

// The editor and its view keep copies of the text that follow each edit by the stretch it
// touched; after any mix of edits they hold exactly what the document holds.
TEST(TextRoundTrip, TheCopiesOfTheTextFollowEveryKindOfEdit)
{
    EditorHarness harness(QStringLiteral("第一行\n第二行 😀\n\n第四行\u00A0end"));
    QTextDocument *document = harness.view()->document();
    const QStringList pieces { QStringLiteral("x"), QStringLiteral("\n"), QStringLiteral("甲\n乙\n"),
                               QStringLiteral("😀"), QStringLiteral("a\u2029b"), QString() };
    QRandomGenerator random(33);
    auto expectInStep = [&](int step) {
        const QString held = PaneText::rawText(document);
        ASSERT_EQ(harness.edited(), held) << "step " << step;
        ASSERT_EQ(harness.editor->currentText(), held) << "step " << step;
        ASSERT_EQ(harness.view()->documentText(), document->toRawText()) << "step " << step;
    };
    for (int step = 0; step < 300; ++step) {
        const int length = document->characterCount() - 1;
        const int kind = int(random.bounded(10));
        if (kind == 0) {
            ShellInput::keyClick(harness.view(), Qt::Key_Z, Qt::ControlModifier);
        } else if (kind == 1) {
            harness.placeCaret(int(random.bounded(length + 1)));
            ShellInput::keyClick(harness.view(), random.bounded(2) ? Qt::Key_Return : Qt::Key_Backspace);
        } else if (kind == 2) {
            harness.view()->selectAll();
            harness.view()->insertPlainText(QStringLiteral("全部换掉\n两行"));
        } else {
            // A stretch replaced, removed or inserted, across lines or not; never inside a pair.
            int start = int(random.bounded(length + 1));
            int end = std::min(length, start + int(random.bounded(12)));
            const QString text = PaneText::rawText(document);
            if (start > 0 && start < length && text.at(start).isLowSurrogate())
                --start;
            if (end > 0 && end < length && text.at(end).isLowSurrogate())
                ++end;
            QTextCursor cursor(document);
            cursor.setPosition(start);
            cursor.setPosition(end, QTextCursor::KeepAnchor);
            cursor.insertText(pieces.at(int(random.bounded(int(pieces.size())))));
        }
        expectInStep(step);
    }
    // A document replaced whole.
    harness.view()->setPlainText(QStringLiteral("新的\n全文"));
    expectInStep(-1);
}

TEST(TextHistory, OneEntryPerEditAndUndoAppliesWithoutEcho)
{
    EditorHarness harness(QStringLiteral("第一行\n第二行\n第三行"));
    harness.placeCaret(4);
    ShellInput::keyClick(harness.view(), Qt::Key_A);
    ShellInput::keyClick(harness.view(), Qt::Key_B);
    EXPECT_EQ(harness.edited(), QStringLiteral("第一行\nab第二行\n第三行"));
    EXPECT_EQ(harness.model.textComparisonUndoTexts().size(), 2);

    // Ctrl+Z reaches the comparison's history; the document follows in one edit, no new entry.
    harness.placeCaret(10);
    ShellInput::keyClick(harness.view(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(harness.edited(), QStringLiteral("第一行\na第二行\n第三行"));
    EXPECT_EQ(harness.editor->currentText(), harness.edited());
    EXPECT_EQ(harness.model.textComparisonUndoTexts().size(), 1);
    EXPECT_EQ(harness.model.textComparisonRedoTexts().size(), 1);
    // The caret, after the change, moved with the text.
    EXPECT_EQ(harness.view()->textCursor().position(), 9);

    ShellInput::keyClick(harness.view(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(harness.edited(), QStringLiteral("第一行\nab第二行\n第三行"));
    ShellInput::keyClick(harness.view(), Qt::Key_Z, Qt::MetaModifier);
    ShellInput::keyClick(harness.view(), Qt::Key_Z, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_EQ(harness.edited(), QStringLiteral("第一行\nab第二行\n第三行"));
    EXPECT_EQ(harness.model.textComparisonUndoTexts().size(), 2);
    EXPECT_TRUE(harness.model.textComparisonRedoTexts().isEmpty());

    // Alt+Z is no undo: it reaches the text view (which types nothing for it).
    ShellInput::keyClick(harness.view(), Qt::Key_Z, Qt::AltModifier);
    EXPECT_TRUE(harness.edited().contains(QStringLiteral("ab")));
    EXPECT_TRUE(harness.model.textComparisonRedoTexts().isEmpty());
}

TEST(TextPaneLayout, AnEditShapesOnlyTheBlocksItTouches)
{
    QStringList lines;
    for (int k = 0; k < 3000; ++k)
        lines << QStringLiteral("第%1行，一段足够长的文字，让它在窄的窗格里折成好几行显示出来。").arg(k);
    EditorHarness harness(lines.join(QLatin1Char('\n')));
    auto *layout = harness.view()->paneLayout();
    const QRectF before = layout->blockBoundingRect(harness.view()->document()->findBlockByNumber(2999));
    layout->resetShapedBlockCount();
    harness.placeCaret(harness.view()->document()->findBlockByNumber(1500).position());
    ShellInput::keyClick(harness.view(), Qt::Key_Return);
    EXPECT_LE(layout->shapedBlockCount(), 3);
    // The blocks after the edit moved down by one line without being shaped again.
    const QRectF after = layout->blockBoundingRect(harness.view()->document()->findBlockByNumber(3000));
    EXPECT_GT(after.top(), before.top());
    EXPECT_EQ(after.height(), before.height());
    EXPECT_EQ(harness.model.textComparisonUndoTexts().size(), 1);
}

TEST(TextPaneLayout, NotedLinesGetTheSameBandInBothPanes)
{
    const QString text = QStringLiteral("第一行文字\n第二行有批注\n第三行");
    EditorHarness harness(text);
    harness.model.addTextMarkupAnnotation(6, 3);
    const QUuid id = harness.model.textComparison()->annotations.front().id;
    harness.model.updateTextMarkupAnnotation(id, QStringLiteral("这里要改"), true, QStringLiteral("#FDE047"),
                                             std::nullopt, std::nullopt, std::nullopt);

    SyncedOriginalTextView original(harness.sync);
    original.resize(harness.editor->size());
    original.show();
    QCoreApplication::processEvents();
    original.render(text, harness.model.textComparison()->annotations);

    auto *edited = harness.view()->paneLayout();
    const QRectF plain = edited->lineRectAt(0);
    const QRectF banded = edited->lineRectAt(7);
    EXPECT_GT(banded.top() - plain.bottom(), 40); // room for the bubble above the second line
    for (int position : { 0, 7, 13 })
        EXPECT_EQ(original.paneLayout()->lineRectAt(position).top(), edited->lineRectAt(position).top()) << position;

    // The bubble stands above its words and is reported in viewport coordinates.
    const auto &placements = harness.view()->calloutPlacements();
    ASSERT_EQ(placements.size(), 1u);
    EXPECT_LT(placements.front().bubbleRect.bottom(), banded.top());

    // Removing the note gives the band back.
    harness.model.deleteTextMarkupAnnotation(id);
    QCoreApplication::processEvents();
    EXPECT_NEAR(edited->lineRectAt(7).top() - plain.bottom(), TextPaneMetrics::lineSpacing, 0.5);
}

// A text too long to shape at once: only what is painted or asked about is laid out, the rest
// stands at estimated heights, and the caret, hits and rectangles still find real lines.
TEST(TextPaneLayout, ALongTextIsShapedOnlyWhereItIsLookedAt)
{
    constexpr int lineCount = 20000;
    QStringList lines;
    for (int k = 0; k < lineCount; ++k)
        lines << (k % 7 == 3 ? QStringLiteral("第%1行，一段足够长的文字，让它在窄的窗格里折成好几行显示出来。").arg(k)
                             : QStringLiteral("第%1行").arg(k));
    EditorHarness harness(lines.join(QLatin1Char('\n')));
    auto *layout = harness.view()->paneLayout();
    QTextDocument *document = harness.view()->document();
    auto shaped = [&](int number) { return document->findBlockByNumber(number).layout()->lineCount() > 0; };

    // The top is laid out for the first paint; far down nothing is.
    harness.view()->verticalScrollBar()->setValue(0);
    harness.view()->viewport()->repaint();
    EXPECT_TRUE(shaped(0));
    EXPECT_FALSE(shaped(15000));
    EXPECT_GT(layout->unshapedBlockCount(), lineCount - 1000);

    // Scrolling to the middle shapes what comes into view there, and only that.
    QScrollBar *bar = harness.view()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    harness.view()->viewport()->repaint();
    QCoreApplication::processEvents();
    const int shown = layout->hitTest(QPointF(0, bar->value() + 100), Qt::FuzzyHit);
    ASSERT_GE(shown, 0);
    const int middle = document->findBlock(shown).blockNumber();
    EXPECT_GT(middle, 5000);
    EXPECT_TRUE(shaped(middle));
    EXPECT_TRUE(shaped(middle + 5));
    EXPECT_FALSE(shaped(middle + 3000));
    EXPECT_GT(layout->unshapedBlockCount(), lineCount - 2000);

    // A block asked about is shaped and its rectangle matches its lines; the document ends where
    // the last block ends.
    const QTextBlock wrapped = document->findBlockByNumber(17006);
    const QRectF rect = layout->blockBoundingRect(wrapped);
    ASSERT_GT(wrapped.layout()->lineCount(), 1);
    const QTextLine lastLine = wrapped.layout()->lineAt(wrapped.layout()->lineCount() - 1);
    EXPECT_NEAR(rect.height(), lastLine.y() + lastLine.height() + TextPaneMetrics::lineSpacing, 0.01);
    const QRectF end = layout->blockBoundingRect(document->lastBlock());
    EXPECT_EQ(end.bottom() + TextPaneMetrics::insetY, layout->documentSize().height());

    // The caret moves through lines nobody has looked at, and typing there edits the right line.
    harness.placeCaret(document->findBlockByNumber(12000).position());
    ShellInput::keyClick(harness.view(), Qt::Key_Down);
    EXPECT_EQ(harness.view()->textCursor().block().blockNumber(), 12001);
    ShellInput::keyClick(harness.view(), Qt::Key_X);
    EXPECT_TRUE(harness.edited().contains(QStringLiteral("\nx第12001行，")));

    // A new width drops every line made at the old one; what is painted is shaped at the new one.
    ASSERT_TRUE(shaped(17006));
    const qreal oldWidth = layout->textWidth();
    harness.editor->resize(700, 400);
    QCoreApplication::processEvents();
    ASSERT_NE(layout->textWidth(), oldWidth);
    EXPECT_FALSE(shaped(17006));
    EXPECT_GT(layout->unshapedBlockCount(), lineCount - 2000);
    harness.view()->viewport()->repaint();
    const int top = document->findBlock(layout->hitTest(QPointF(0, bar->value() + 100), Qt::FuzzyHit)).blockNumber();
    const QTextBlock inView = document->findBlockByNumber(top - top % 7 + 10);
    ASSERT_GT(inView.layout()->lineCount(), 0);
    EXPECT_EQ(inView.layout()->lineAt(0).width(), layout->textWidth());

    // The rectangles of a stretch over the whole text (a selection of all of it, a long note) run
    // from its first line to its last without laying it all out.
    harness.view()->selectAll();
    const auto whole = layout->segments(0, document->characterCount() - 1);
    ASSERT_FALSE(whole.empty());
    EXPECT_EQ(whole.front().line.top(), layout->lineRectAt(0).top());
    EXPECT_EQ(whole.back().line.bottom(), layout->documentSize().height() - TextPaneMetrics::insetY
                                            - TextPaneMetrics::lineSpacing);
    EXPECT_GT(layout->unshapedBlockCount(), lineCount - 2 * TextPaneDocumentLayout::shapedAtOnceLimit);

    // A long paste over the text is estimated too, and the pasted lines are found where they are.
    QTextCursor all(document);
    all.select(QTextCursor::Document);
    all.insertText(lines.mid(0, 10000).join(QLatin1Char('\n')));
    EXPECT_EQ(document->blockCount(), 10000);
    EXPECT_GT(layout->unshapedBlockCount(), 9000);
    EXPECT_EQ(document->findBlock(layout->hitTest(layout->blockBoundingRect(document->findBlockByNumber(9000)).center(),
                                                  Qt::FuzzyHit))
                  .blockNumber(),
              9000);
}

// The aligned original of a new document is the original with empty rows where the edited text
// has lines of its own: only those rows are added, the lines shown stay the blocks they were.
TEST(TextPaneLayout, AlignedRowsAreAddedToTheOriginalWithoutRefillingIt)
{
    QStringList lines;
    for (int k = 0; k < 300; ++k)
        lines << (k % 10 == 4 ? QString() : QStringLiteral("原文第%1行").arg(k));
    const QString text = lines.join(QLatin1Char('\n'));
    // Rows after an empty line, two in one place, and after the last line. Each line shown is
    // marked with its number: a row added is the only kind of block without one.
    QStringList alignedLines = lines;
    std::vector<int> marks(lines.size());
    std::iota(marks.begin(), marks.end(), 0);
    for (int at : { 300, 150, 150, 15, 5, 1 }) {
        alignedLines.insert(at, QString());
        marks.insert(marks.begin() + at, -1);
    }
    const QString aligned = alignedLines.join(QLatin1Char('\n'));

    EditorHarness harness(text);
    SyncedOriginalTextView pane(harness.sync);
    pane.resize(500, 300);
    pane.show();
    pane.render(text, {});
    QCoreApplication::processEvents();
    QTextDocument *document = pane.document();
    auto blockMarks = [document] {
        std::vector<int> found;
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            found.push_back(block.userState());
        return found;
    };
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        block.setUserState(block.blockNumber());

    pane.render(aligned, {});
    EXPECT_EQ(PaneText::rawText(document), aligned);
    EXPECT_EQ(blockMarks(), marks);
    // And taken away again (the edited text's own lines gone). The last line gives its break to
    // the rows after it, and its block with it.
    pane.render(text, {});
    EXPECT_EQ(PaneText::rawText(document), text);
    std::vector<int> unmarked(lines.size() - 1);
    std::iota(unmarked.begin(), unmarked.end(), 0);
    std::vector<int> found = blockMarks();
    ASSERT_EQ(found.size(), lines.size());
    found.pop_back();
    EXPECT_EQ(found, unmarked);

    // Rows above the first line; texts that are more than rows added are still shown exactly: a
    // changed line, a line missing while rows are added, and the original again.
    QStringList above = alignedLines;
    above.insert(0, QString());
    above.insert(0, QString());
    QStringList changed = alignedLines;
    changed[20] = QStringLiteral("改过的行");
    changed.insert(30, QString());
    QStringList missing = lines;
    missing.removeLast();
    missing << QString() << QString() << QString();
    const QChar lineEnd = QLatin1Char('\n');
    for (const QString &next : { above.join(lineEnd), changed.join(lineEnd), text, missing.join(lineEnd) }) {
        pane.render(next, {});
        EXPECT_EQ(PaneText::rawText(document), next);
    }

    // Rows moved, taken away and added anywhere, up to the whole text: always shown exactly.
    QRandomGenerator random(39);
    for (int round = 0; round < 200; ++round) {
        QStringList next = round % 50 == 0 ? QStringList { QString(), QString() } : lines;
        for (int k = random.bounded(6); k >= 0; --k)
            next.insert(random.bounded(int(next.size()) + 1), QString());
        for (int k = random.bounded(4); k > 0 && next.size() > 1; --k) {
            const int at = random.bounded(int(next.size()));
            if (next[at].isEmpty())
                next.removeAt(at);
        }
        pane.render(next.join(lineEnd), {});
        ASSERT_EQ(PaneText::rawText(document), next.join(lineEnd)) << round;
    }
}

// Short texts thick with empty lines: any rows added and taken away are done as row edits alone
// and give the text asked for.
TEST(TextPaneLayout, EmptyRowEditsGiveTheTextAskedFor)
{
    QRandomGenerator random(139);
    const QStringList words { QString(), QString(), QStringLiteral("甲"), QStringLiteral("乙") };
    for (int round = 0; round < 2000; ++round) {
        QStringList before;
        for (int k = random.bounded(1, 7); k > 0; --k)
            before << words[random.bounded(int(words.size()))];
        QStringList after = before;
        for (int k = random.bounded(4); k > 0 && after.size() > 1; --k) {
            const int at = random.bounded(int(after.size()));
            if (after[at].isEmpty())
                after.removeAt(at);
        }
        for (int k = random.bounded(4); k > 0; --k)
            after.insert(random.bounded(int(after.size()) + 1), QString());
        const QString current = before.join(QLatin1Char('\n'));
        const QString text = after.join(QLatin1Char('\n'));
        QTextDocument document;
        document.setPlainText(current);
        const bool edited = PaneText::changeEmptyRows(&document, current, text);
        EXPECT_EQ(edited, current != text) << current.toStdString() << " -> " << text.toStdString();
        EXPECT_EQ(PaneText::rawText(&document), text) << current.toStdString() << " -> " << text.toStdString();
    }
    // A line with words added is not a row edit.
    QTextDocument document;
    document.setPlainText(QStringLiteral("甲\n\n乙"));
    EXPECT_FALSE(PaneText::changeEmptyRows(&document, QStringLiteral("甲\n\n乙"), QStringLiteral("甲\n丙\n\n乙")));
    EXPECT_EQ(PaneText::rawText(&document), QStringLiteral("甲\n\n乙"));
}

TEST(TextScrollSync, FollowsBothWaysAtTheSameFraction)
{
    QStringList lines;
    for (int k = 0; k < 400; ++k)
        lines << QStringLiteral("行 %1").arg(k);
    EditorHarness harness(lines.join(QLatin1Char('\n')));
    SyncedOriginalTextView original(harness.sync);
    original.resize(500, 300);
    original.show();
    original.render(lines.mid(0, 200).join(QLatin1Char('\n')), {});
    QCoreApplication::processEvents();

    QScrollBar *editedBar = harness.view()->verticalScrollBar();
    QScrollBar *originalBar = original.verticalScrollBar();
    ASSERT_GT(editedBar->maximum(), 0);
    ASSERT_GT(originalBar->maximum(), 0);
    editedBar->setValue(editedBar->maximum());
    EXPECT_EQ(originalBar->value(), originalBar->maximum());
    originalBar->setValue(originalBar->maximum() / 2);
    EXPECT_NEAR(double(editedBar->value()) / editedBar->maximum(), 0.5, 0.01);
    EXPECT_FALSE(harness.sync->isSyncing);

    // A pane without a scroll range keeps the other at the top.
    original.render(QStringLiteral("短"), {});
    QCoreApplication::processEvents();
    originalBar->setValue(0);
    editedBar->setValue(editedBar->maximum() / 3);
    EXPECT_EQ(originalBar->value(), 0);
}

TEST(TextHistory, ReplacingASelectionIsOneEntry)
{
    EditorHarness harness(QStringLiteral("abcd\nefgh"));
    QTextCursor cursor = harness.view()->textCursor();
    cursor.setPosition(1);
    cursor.setPosition(7, QTextCursor::KeepAnchor);
    harness.view()->setTextCursor(cursor);
    ShellInput::keyClick(harness.view(), Qt::Key_X);
    EXPECT_EQ(harness.edited(), QStringLiteral("axgh"));
    EXPECT_EQ(harness.model.textComparisonUndoTexts().size(), 1);

    cursor = harness.view()->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(2, QTextCursor::KeepAnchor);
    harness.view()->setTextCursor(cursor);
    harness.view()->insertPlainText(QStringLiteral("新\n行"));
    EXPECT_EQ(harness.edited(), QStringLiteral("新\n行gh"));
    EXPECT_EQ(harness.model.textComparisonUndoTexts().size(), 2);
    harness.model.undoTextComparisonEdit();
    EXPECT_EQ(harness.editor->currentText(), QStringLiteral("axgh"));
    EXPECT_EQ(PaneText::rawText(harness.view()->document()), QStringLiteral("axgh"));
    EXPECT_EQ(harness.model.textComparisonUndoTexts().size(), 1);
}
