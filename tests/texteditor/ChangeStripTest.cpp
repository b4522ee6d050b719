// Work that follows the screen: the strip of changes paints only the chips in view and keeps the
// measure of chips an edit did not touch; the edited pane applies only the highlights of the lines
// in view and follows the scrolling.

#include "support/TestSupport.h"
#include "texteditor/AnnotationTextView.h"
#include "texteditor/ChangeStrip.h"
#include "texteditor/HighlightedTextEditor.h"
#include "texteditor/TextComparisonScrollSync.h"
#include "texteditor/TextPaneDocumentLayout.h"

#include <QApplication>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

namespace {

// `count` lines where every other one is a change of its own ("改" and its number).
struct EveryOtherLine {
    QString text;
    std::vector<TextComparisonChange> changes;

    explicit EveryOtherLine(int count)
    {
        QStringList lines;
        for (int k = 0; k < count; ++k)
            lines << (k % 2 ? QStringLiteral("改%1").arg(k) : QStringLiteral("原有的一行 %1").arg(k));
        text = lines.join(u'\n');
        qsizetype at = 0;
        for (int k = 0; k < count; ++k) {
            if (k % 2)
                changes.push_back({ qint64(changes.size()) + 1, at, at + lines[k].size() });
            at += lines[k].size() + 1;
        }
    }
};

int widgetCount(QWidget *root) { return int(root->findChildren<QWidget *>().size()); }

} // namespace

TEST(ChangeStrip, ChipsShowTheirNumbersAndTextsSideBySide)
{
    ChangeStrip strip;
    strip.resize(600, ChangeStrip::stripHeight);
    strip.show();
    EXPECT_TRUE(strip.emptyLabel()->isVisible());
    EXPECT_EQ(strip.emptyLabel()->text(), QStringLiteral("暂无修改"));

    const QString text = QStringLiteral("甲 新增\n两行 乙 一二三四五六七八九十一二三四五六七八九十一二三 丙");
    const qsizetype cut = text.indexOf(QStringLiteral("一二"));
    strip.setChanges(text, { { 1, 2, 8 }, { 2, cut, cut + 23 }, { 3, text.size() - 1, text.size() } });
    EXPECT_FALSE(strip.emptyLabel()->isVisible());
    ASSERT_EQ(strip.chipCount(), 3);
    EXPECT_EQ(strip.chipText(0), QStringLiteral("新增 两行"));
    EXPECT_EQ(strip.chipText(1), text.mid(cut, 22) + QStringLiteral("..."));
    EXPECT_EQ(strip.chipText(2), QStringLiteral("丙"));
    EXPECT_EQ(strip.chipNumber(2), 3);
    // 18 from the left, 8 apart, centred in the strip's height, as wide as number and text ask.
    EXPECT_EQ(strip.chipRect(0), QRect(18, 9, ChangeStrip::chipWidth(strip.chipText(0)), 34));
    EXPECT_EQ(strip.chipRect(1).left(), strip.chipRect(0).right() + 1 + 8);
    EXPECT_EQ(strip.chipRect(2).left(), strip.chipRect(1).right() + 1 + 8);

    // The chips themselves take no click and no focus of their own: the strip is one widget.
    EXPECT_TRUE(strip.viewport()->findChildren<QWidget *>().size() == 1); // the empty text
    strip.setChanges(text, {});
    EXPECT_TRUE(strip.emptyLabel()->isVisible());
    EXPECT_EQ(strip.chipCount(), 0);
}

TEST(ChangeStrip, AnyNumberOfChangesPaintsOnlyTheChipsInViewAndScrollsToTheLast)
{
    ChangeStrip strip;
    strip.resize(800, ChangeStrip::stripHeight);
    strip.show();
    const int widgetsBefore = widgetCount(&strip);
    const EveryOtherLine document(100000);
    strip.setChanges(document.text, document.changes);
    ASSERT_EQ(strip.chipCount(), 50000);
    QTest::qWait(1);
    EXPECT_EQ(widgetCount(&strip), widgetsBefore);
    EXPECT_LT(strip.measuredChipCount(), 100);

    // Scrolling by keys and to the end, as the row's scroll bar allows, reaches the last chip.
    strip.setFocus();
    const int before = strip.horizontalScrollBar()->value();
    QTest::keyClick(&strip, Qt::Key_Right);
    EXPECT_EQ(strip.horizontalScrollBar()->value(), before + 20);
    QScrollBar *bar = strip.horizontalScrollBar();
    for (int step = 0; step < 1000 && bar->value() < bar->maximum(); ++step)
        bar->setValue(bar->maximum());
    const QRect last = strip.chipRect(49999);
    EXPECT_GE(last.left(), 0);
    EXPECT_EQ(last.right() + 1 + 18, strip.viewport()->width());
    EXPECT_EQ(strip.chipText(49999), QStringLiteral("改99999"));
    EXPECT_EQ(widgetCount(&strip), widgetsBefore);

    // A keystroke in one change: only that chip is measured again, the others keep theirs and
    // the row stays where it was.
    const int measured = strip.measuredChipCount();
    const int scrolled = bar->value();
    QString edited = document.text;
    std::vector<TextComparisonChange> changes = document.changes;
    const qsizetype at = changes[49000].start + 1;
    edited.insert(at, u'x');
    changes[49000].end += 1;
    for (std::size_t k = 49001; k < changes.size(); ++k) {
        changes[k].start += 1;
        changes[k].end += 1;
    }
    strip.setChanges(edited, changes);
    QTest::qWait(1);
    EXPECT_EQ(strip.measuredChipCount(), measured + 1);
    EXPECT_EQ(bar->value(), scrolled);

    // A change that appears among them, the ones after it renumbered: only the new chip is
    // measured, and every chip shows its own change.
    const qsizetype line = edited.indexOf(u'\n', changes[48000].end) + 1; // an unchanged line
    edited.insert(line, QStringLiteral("新"));
    changes.insert(changes.begin() + 48001, TextComparisonChange { 48002, line, line + 1 });
    for (std::size_t k = 48002; k < changes.size(); ++k) {
        changes[k].sequenceNumber += 1;
        changes[k].start += 1;
        changes[k].end += 1;
    }
    strip.setChanges(edited, changes);
    QTest::qWait(1);
    ASSERT_EQ(strip.chipCount(), 50001);
    EXPECT_EQ(strip.measuredChipCount(), measured + 2);
    EXPECT_EQ(strip.chipText(48000), QStringLiteral("改%1").arg(2 * 48000 + 1));
    EXPECT_EQ(strip.chipText(48001), QStringLiteral("新"));
    EXPECT_EQ(strip.chipNumber(48001), 48002);
    EXPECT_EQ(strip.chipText(48002), QStringLiteral("改%1").arg(2 * 48001 + 1));
    EXPECT_EQ(strip.chipNumber(48002), 48003);
    EXPECT_EQ(strip.chipNumber(50000), 50001);
    EXPECT_EQ(strip.chipText(50000), QStringLiteral("改99999"));
}

TEST(HighlightedTextEditorShownLines, OnlyTheLinesInViewGetHighlightsAndScrollingBringsTheirs)
{
    HighlightedTextEditor editor(std::make_shared<TextComparisonScrollSync>(), {});
    editor.resize(500, 400);
    editor.show();
    const EveryOtherLine document(20000);
    editor.render(document.text, QString(), document.changes, {});
    QTest::qWait(1);
    AnnotationTextView *view = editor.textView();
    const auto selections = view->extraSelections();
    ASSERT_FALSE(selections.isEmpty());
    // A screen of about twenty lines, and a screen above and below: far fewer than 10,000.
    EXPECT_LT(selections.size(), 200);
    EXPECT_EQ(selections.front().cursor.selectionStart(), document.changes.front().start);

    // At the end of the text, the last change is among them and the first is not.
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    const auto scrolled = view->extraSelections();
    EXPECT_LT(scrolled.size(), 200);
    EXPECT_EQ(scrolled.back().cursor.selectionStart(), document.changes.back().start);
    EXPECT_EQ(scrolled.back().cursor.selectionEnd(), document.changes.back().end);
    EXPECT_GT(scrolled.front().cursor.selectionStart(), document.changes.front().start);
    // Every line in view carries its own highlight.
    const QTextBlock shown = view->cursorForPosition(view->viewport()->rect().center()).block();
    const int line = shown.blockNumber();
    const int changedLine = line % 2 ? line : line + 1;
    const qsizetype changeStart = document.changes[std::size_t(changedLine / 2)].start;
    EXPECT_TRUE(std::any_of(scrolled.begin(), scrolled.end(), [&](const QTextEdit::ExtraSelection &selection) {
        return selection.cursor.selectionStart() == changeStart;
    }));
}
