// Entering the text comparison workspace again shows the panes' documents as they were laid out,
// with the behaviour of a fresh entry: both panes at the top, the caret at the start, the changes
// shown, typing written through; a window resized meanwhile lays the text out at its new width.

#include "TextEditorWindowFixture.h"

#include "texteditor/ChangeStrip.h"
#include "texteditor/SyncedOriginalTextView.h"
#include "texteditor/TextPaneDocumentLayout.h"

#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>

namespace {

QString lines(int count, const QString &word)
{
    QStringList text;
    for (int index = 1; index <= count; ++index)
        text << QStringLiteral("第 %1 行%2：这一行写得足够长，窄窗口里也会折成两行显示。").arg(index).arg(word);
    return text.join(u'\n');
}

class WorkspaceReentryTest : public TextEditorWindowTest {
protected:
    TextPaneDocumentLayout *originalLayout() { return surface()->originalView()->paneLayout(); }
    TextPaneDocumentLayout *editedLayout() { return textView()->paneLayout(); }

    void openLongDocument()
    {
        QStringList edited = lines(3000, QStringLiteral("原")).split(u'\n');
        for (int index = 10; index < 3000; index += 100)
            edited[index] += QStringLiteral("（改）");
        edited.insert(500, QStringLiteral("新插入的一行"));
        openDocument(edited.join(u'\n'), lines(3000, QStringLiteral("原")));
        ASSERT_TRUE(surface());
    }

    void leaveAndComeBack(const std::function<void()> &whileAway = {}, WorkspaceMode away = WorkspaceMode::Launcher)
    {
        view().switchWorkspace(away, false);
        ShellTest::settle();
        // The window's event loop deletes the workspace it left; here that is done by hand.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_FALSE(surface());
        if (whileAway)
            whileAway();
        view().switchWorkspace(WorkspaceMode::TextComparison, false);
        ShellTest::settle();
        ASSERT_TRUE(surface());
    }
};

} // namespace

TEST_F(WorkspaceReentryTest, ComingBackShowsTheLaidOutDocumentsAsAFreshEntryWould)
{
    openLongDocument();
    const QString aligned = PaneText::rawText(surface()->originalView()->document());
    const int chips = surface()->changeStrip()->chipCount();
    ASSERT_GT(chips, 20);
    // Read somewhere in the middle with a selection, then leave.
    textView()->verticalScrollBar()->setValue(textView()->verticalScrollBar()->maximum() / 2);
    select(100, 110);
    originalLayout()->resetShapedBlockCount();
    editedLayout()->resetShapedBlockCount();

    leaveAndComeBack();
    // No block of either text was laid out again.
    EXPECT_EQ(originalLayout()->shapedBlockCount(), 0);
    EXPECT_EQ(editedLayout()->shapedBlockCount(), 0);
    EXPECT_FALSE(originalLayout()->isWidthHeld());
    EXPECT_FALSE(editedLayout()->isWidthHeld());
    // As a fresh entry: the same texts and changes, both panes at the top, the caret at the start.
    EXPECT_EQ(PaneText::rawText(surface()->originalView()->document()), aligned);
    EXPECT_EQ(PaneText::rawText(textView()->document()), edited());
    EXPECT_EQ(surface()->changeStrip()->chipCount(), chips);
    EXPECT_FALSE(textView()->extraSelections().isEmpty());
    EXPECT_EQ(textView()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(surface()->originalView()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(textView()->textCursor().position(), 0);
    EXPECT_FALSE(surface()->state().selectionRange);

    // The pane edits as before: a keystroke reaches the document and the changes follow.
    select(0, 0);
    typeText(QStringLiteral("甲"));
    EXPECT_TRUE(edited().startsWith(QStringLiteral("甲第 1 行")));
    EXPECT_EQ(surface()->changeStrip()->chipCount(), chips + 1);
    EXPECT_TRUE(surface()->changeStrip()->chipText(0).startsWith(QStringLiteral("甲第 1 行原")));
}

// The image workspace brings a sidebar that narrows the workspace area: neither the workspace
// being left nor the one coming back may lay the long text out at the width of the other.
TEST_F(WorkspaceReentryTest, AWorkspaceWithASidebarInBetweenLaysNoLineOutAgain)
{
    openLongDocument();
    QPointer<TextPaneDocumentLayout> edited = editedLayout();
    QPointer<TextPaneDocumentLayout> original = originalLayout();
    const qreal width = edited->textWidth();
    edited->resetShapedBlockCount();
    original->resetShapedBlockCount();

    view().switchWorkspace(WorkspaceMode::ImageMarkup, false);
    ASSERT_TRUE(edited && original);
    EXPECT_EQ(edited->shapedBlockCount(), 0);
    EXPECT_EQ(original->shapedBlockCount(), 0);

    leaveAndComeBack({}, WorkspaceMode::ImageMarkup);
    EXPECT_EQ(editedLayout(), edited.data());
    EXPECT_EQ(edited->shapedBlockCount(), 0);
    EXPECT_EQ(original->shapedBlockCount(), 0);
    EXPECT_EQ(edited->textWidth(), width);
    EXPECT_EQ(edited->textWidth(), TextPaneMetrics::availableWidth(textView()->viewport()->width()));
}

TEST_F(WorkspaceReentryTest, AWindowResizedWhileAwayLaysTheTextOutAtItsNewWidth)
{
    openLongDocument();
    const qreal before = editedLayout()->textWidth();
    leaveAndComeBack([this] {
        window->resize(1080, 680);
        ShellTest::settle();
    });
    EXPECT_NE(editedLayout()->textWidth(), before);
    EXPECT_EQ(editedLayout()->textWidth(), TextPaneMetrics::availableWidth(textView()->viewport()->width()));
    EXPECT_EQ(originalLayout()->textWidth(),
              TextPaneMetrics::availableWidth(surface()->originalView()->viewport()->width()));
    // The lines stand where the new width puts them: the last line's bottom is the document's.
    const QTextBlock last = textView()->document()->lastBlock();
    EXPECT_EQ(editedLayout()->blockBoundingRect(last).bottom() + TextPaneMetrics::insetY,
              editedLayout()->documentSize().height());
}

TEST_F(WorkspaceReentryTest, AnotherDocumentOpenedWhileAwayReplacesTheKeptText)
{
    openLongDocument();
    leaveAndComeBack([this] { model().setTextComparison(QStringLiteral("别的.txt"), QStringLiteral("另一篇\n短文")); });
    EXPECT_EQ(PaneText::rawText(textView()->document()), QStringLiteral("另一篇\n短文"));
    EXPECT_EQ(PaneText::rawText(surface()->originalView()->document()), QStringLiteral("另一篇\n短文"));
    EXPECT_EQ(surface()->changeStrip()->chipCount(), 0);
    EXPECT_TRUE(textView()->extraSelections().isEmpty());
}

// The app installs its hookups before the window's body, so at a close the hookup (and its share of
// the kept documents) goes before the workspace: the panes must not outlive their documents.
TEST_F(WorkspaceReentryTest, ClosingTheWindowWithTheComparisonShownLeavesNoPaneWithoutItsDocument)
{
    withWorkspaces = true;
    makeWindow();
    model().setTextComparison(QStringLiteral("原文.txt"), lines(200, QStringLiteral("原")));
    model().updateEditedComparisonText(lines(200, QStringLiteral("改")));
    view().switchWorkspace(WorkspaceMode::TextComparison, false);
    showWindow();
    ShellTest::settle();
    ASSERT_TRUE(surface());
    QPointer<AnnotationTextView> pane = textView();
    window.reset();
    EXPECT_FALSE(pane);
}
