// The editor in the real window: typing, keys, the markup tools and popover, bubbles, search,
// the list and strip, the export questions, Escape and drops.

#include "TextEditorWindowFixture.h"

#include "support/NoteBubbleMeasure.h"
#include "texteditor/AnnotationListRow.h"
#include "texteditor/AnnotationNoteInput.h"
#include "texteditor/ChangeStrip.h"
#include "texteditor/RoundedPanel.h"
#include "texteditor/SurfaceButton.h"
#include "texteditor/SyncedOriginalTextView.h"
#include "textengine/TextComparisonDiff.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

TEST_F(TextEditorWindowTest, TypingWritesEachKeystrokeAndTheChangesFollow)
{
    openDocument(QStringLiteral("春眠不觉晓\n处处闻啼鸟"));
    ASSERT_TRUE(surface());
    EXPECT_EQ(surface()->changeStrip()->chipCount(), 0);
    EXPECT_TRUE(surface()->stripEmptyLabel()->isVisible());
    EXPECT_EQ(surface()->editorBox()->border(), AppTheme::lightSlate());
    select(5, 5);
    typeText(QStringLiteral("!"));
    EXPECT_EQ(edited(), QStringLiteral("春眠不觉晓!\n处处闻啼鸟"));
    typeText(QStringLiteral("?"));
    EXPECT_EQ(edited(), QStringLiteral("春眠不觉晓!?\n处处闻啼鸟"));
    EXPECT_EQ(model().textComparisonUndoTexts().size(), 2);
    // The change is painted, counted, listed in the strip and outlines the editor in blue.
    EXPECT_FALSE(textView()->extraSelections().isEmpty());
    EXPECT_TRUE(surface()->summaryLabel()->text().startsWith(QStringLiteral("1 处修改")));
    ASSERT_EQ(surface()->changeStrip()->chipCount(), 1);
    EXPECT_EQ(surface()->changeStrip()->chipText(0), QStringLiteral("!?"));
    EXPECT_NE(surface()->editorBox()->border(), AppTheme::lightSlate());
    // The original pane keeps the aligned original.
    EXPECT_EQ(PaneText::rawText(surface()->originalView()->document()), QStringLiteral("春眠不觉晓\n处处闻啼鸟"));

    // Ctrl+Z and Ctrl+Shift+Z through the window (its filter lets them reach the editor).
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edited(), QStringLiteral("春眠不觉晓!\n处处闻啼鸟"));
    key(Qt::Key_Z, Qt::MetaModifier);
    EXPECT_EQ(edited(), QStringLiteral("春眠不觉晓\n处处闻啼鸟"));
    EXPECT_TRUE(surface()->stripEmptyLabel()->isVisible());
    EXPECT_EQ(surface()->editorBox()->border(), AppTheme::lightSlate());
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    key(Qt::Key_Z, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_EQ(edited(), QStringLiteral("春眠不觉晓!?\n处处闻啼鸟"));
    EXPECT_TRUE(model().textComparisonRedoTexts().isEmpty());
    key(Qt::Key_Z, Qt::AltModifier | Qt::ControlModifier);
    EXPECT_EQ(edited(), QStringLiteral("春眠不觉晓!?\n处处闻啼鸟"));
    EXPECT_EQ(model().textComparisonUndoTexts().size(), 2);
}

TEST_F(TextEditorWindowTest, DigitsApplyTheToolsOnlyToASelection)
{
    openDocument(QStringLiteral("一二三四五六七八九十"));
    // Without a selection "1" is typed.
    select(0, 0);
    key(Qt::Key_1);
    EXPECT_EQ(edited(), QStringLiteral("1一二三四五六七八九十"));

    // "1" on a selection opens the popover and creates nothing.
    select(1, 3);
    key(Qt::Key_1);
    EXPECT_TRUE(surface()->state().isNotePopoverPresented);
    EXPECT_TRUE(surface()->notePopover()->isVisible());
    EXPECT_TRUE(model().textComparison()->annotations.empty());
    EXPECT_EQ(edited(), QStringLiteral("1一二三四五六七八九十"));
    EXPECT_TRUE(ShellTest::waitUntil([&] { return surface()->noteInput()->hasFocus(); }));
    typeText(QStringLiteral("改一下"));
    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(model().textComparison()->annotations.size(), 1u);
    const TextMarkupAnnotation note = model().textComparison()->annotations.front();
    EXPECT_EQ(note.note, QStringLiteral("改一下"));
    EXPECT_EQ(std::make_pair(note.location, note.length), std::make_pair(qint64(1), qint64(2)));
    EXPECT_TRUE(note.highlight);
    EXPECT_EQ(note.highlightColorHex, QStringLiteral("#FDE047"));
    EXPECT_FALSE(surface()->notePopover()->isVisible());
    EXPECT_TRUE(textView()->hasFocus());
    // The bubble is placed and reported.
    EXPECT_EQ(surface()->state().calloutRects.count(note.id), 1u);

    // Keypad "2" underlines in the chosen swatch; "3" strikes and removes the highlight.
    surface()->selectMarkupColor(QStringLiteral("#2563EB"));
    select(4, 6);
    key(Qt::Key_2, Qt::KeypadModifier);
    select(7, 9);
    key(Qt::Key_3);
    const auto &markups = model().textComparison()->annotations;
    ASSERT_EQ(markups.size(), 3u);
    EXPECT_TRUE(markups[1].underline);
    EXPECT_EQ(markups[1].underlineColorHex, QStringLiteral("#2563EB"));
    EXPECT_TRUE(markups[2].strikethrough);
    EXPECT_FALSE(markups[2].highlight);
    EXPECT_EQ(markups[2].highlightColorHex, QStringLiteral("none"));
    EXPECT_FALSE(surface()->state().pendingSelectionRange);
    EXPECT_EQ(edited(), QStringLiteral("1一二三四五六七八九十"));

    // Shift+1 is no shortcut: it types.
    select(10, 11);
    key(Qt::Key_Exclam, Qt::ShiftModifier);
    EXPECT_EQ(model().textComparison()->annotations.size(), 3u);
}

TEST_F(TextEditorWindowTest, SelectionIsTrimmedAndTiedToAnExactMarkup)
{
    openDocument(QStringLiteral("  abc \n第二行"));
    select(0, 7);
    EXPECT_EQ(surface()->state().selectionRange, (TextRange { 2, 3 }));
    EXPECT_EQ(textView()->textCursor().selectionStart(), 2);
    EXPECT_EQ(textView()->textCursor().selectionEnd(), 5);
    const QRectF rect = *surface()->state().selectionRect;
    EXPECT_GE(rect.width(), 24);
    EXPECT_GE(rect.height(), 18);

    const auto created = model().addTextMarkupAnnotation(2, 3);
    model().updateTextMarkupAnnotation(created->id, QStringLiteral("旧批注"), true, std::nullopt, std::nullopt,
                                       std::nullopt, std::nullopt);
    select(1, 5);
    select(2, 5);
    EXPECT_EQ(surface()->state().activeAnnotationID, created->id);
    EXPECT_EQ(surface()->state().activeNote, QStringLiteral("旧批注"));
    select(2, 6 + 1 + 1); // one character more: nothing active
    EXPECT_FALSE(surface()->state().activeAnnotationID);
    EXPECT_TRUE(surface()->state().activeNote.isEmpty());

    // A collapsed selection keeps the remembered range for the tools.
    select(2, 5);
    select(9, 9);
    EXPECT_FALSE(surface()->state().selectionRange);
    EXPECT_EQ(surface()->state().pendingSelectionRange, (TextRange { 2, 3 }));
    surface()->applyMarkupTool(TextComparisonMarkupTool::Underline);
    EXPECT_TRUE(model().textComparison()->annotations.front().underline);
}

TEST_F(TextEditorWindowTest, PopoverQuickNotesAndBlankNotes)
{
    openDocument(QStringLiteral("第一行文字\n第二行文字\n第三行文字"));
    select(6, 9);
    surface()->applyMarkupTool(TextComparisonMarkupTool::Note);
    ASSERT_TRUE(surface()->notePopover()->isVisible());
    // The card stands above the selection, its pointer over the selection's centre.
    const QRectF target = *surface()->markupTargetRect();
    const auto expected = TextComparisonSurface::popoverPlacement(surface()->editorBox()->width(), target);
    EXPECT_EQ(surface()->notePopover()->geometry().topLeft(),
              QPoint(int(std::lround(expected.x)), int(std::lround(expected.y))));
    EXPECT_EQ(surface()->notePopover()->width(), int(std::lround(expected.width)));

    // A note of spaces and line breaks closes the popover and creates nothing.
    surface()->setActiveNote(QStringLiteral("  \n "));
    click(surface()->confirmNoteButton(), QPoint(10, 10));
    EXPECT_FALSE(surface()->notePopover()->isVisible());
    EXPECT_TRUE(model().textComparison()->annotations.empty());

    // Choosing a swatch closes an open popover; the underline tool discards a typed note.
    select(6, 9);
    surface()->applyMarkupTool(TextComparisonMarkupTool::Note);
    surface()->selectMarkupColor(QStringLiteral("#16A34A"));
    EXPECT_FALSE(surface()->notePopover()->isVisible());
    surface()->applyMarkupTool(TextComparisonMarkupTool::Note);
    surface()->setActiveNote(QStringLiteral("没保存"));
    surface()->applyMarkupTool(TextComparisonMarkupTool::Underline);
    ASSERT_EQ(model().textComparison()->annotations.size(), 1u);
    EXPECT_TRUE(model().textComparison()->annotations.front().note.isEmpty());

    // A quick note with a selection saves at once, in the chosen colour.
    select(12, 15);
    click(surface()->quickNoteButtons()[1], QPoint(10, 10));
    ASSERT_EQ(model().textComparison()->annotations.size(), 2u);
    EXPECT_EQ(model().textComparison()->annotations[1].note, QStringLiteral("建议删除"));
    EXPECT_EQ(model().textComparison()->annotations[1].highlightColorHex, QStringLiteral("#16A34A"));
    EXPECT_FALSE(surface()->notePopover()->isVisible());
    // Without a target it only fills the note and asks for the popover.
    click(surface()->quickNoteButtons()[0], QPoint(10, 10));
    EXPECT_EQ(model().textComparison()->annotations.size(), 2u);
    EXPECT_TRUE(surface()->state().isNotePopoverPresented);
    EXPECT_EQ(surface()->state().activeNote, QStringLiteral("错别字"));
    shot(QStringLiteral("surface-quick-notes"));
}

TEST_F(TextEditorWindowTest, BubblesEditAndDeleteWithoutMovingTheCaret)
{
    openDocument(QStringLiteral("第一行\n第二行有两处批注\n第三行"));
    for (auto range : { std::make_pair(4, 2), std::make_pair(9, 2) }) {
        const auto created = model().addTextMarkupAnnotation(range.first, range.second);
        model().updateTextMarkupAnnotation(created->id, QStringLiteral("批注%1").arg(range.first), true, std::nullopt,
                                           std::nullopt, std::nullopt, std::nullopt);
    }
    select(1, 1);
    const auto &placements = textView()->calloutPlacements();
    ASSERT_EQ(placements.size(), 2u);
    const QPointF offset = textView()->scrollOffset();

    // The body opens the popover over that markup; the caret stays.
    const QRectF body = placements.front().bubbleRect.translated(-offset);
    click(textView()->viewport(), QPoint(int(body.left() + 10), int(body.center().y())));
    EXPECT_EQ(textView()->textCursor().position(), 1);
    EXPECT_EQ(surface()->state().activeAnnotationID, placements.front().annotation.id);
    EXPECT_TRUE(surface()->notePopover()->isVisible());
    shot(QStringLiteral("surface-popover"));

    // The delete button of the edited markup deletes it and closes the popover.
    const QUuid id = placements.front().annotation.id;
    const QRectF button = AnnotationTextView::deleteButtonRect(placements.front().bubbleRect).translated(-offset);
    click(textView()->viewport(), button.center().toPoint());
    ASSERT_EQ(model().textComparison()->annotations.size(), 1u);
    EXPECT_NE(model().textComparison()->annotations.front().id, id);
    EXPECT_FALSE(surface()->notePopover()->isVisible());
    EXPECT_EQ(textView()->textCursor().position(), 1);
}

TEST_F(TextEditorWindowTest, SearchListAndStripJumps)
{
    QStringList lines;
    for (int k = 0; k < 120; ++k)
        lines << QStringLiteral("第%1行 Résumé").arg(k);
    const QString original = lines.join(QLatin1Char('\n'));
    lines[100] = QStringLiteral("第100行 目标 TARGET");
    openDocument(lines.join(QLatin1Char('\n')), original);

    // The first match of a case- and accent-free query, in the edited text.
    surface()->searchField()->setText(QStringLiteral("  target "));
    Q_EMIT surface()->searchField()->returnPressed();
    const qint64 at = edited().indexOf(QStringLiteral("TARGET"));
    EXPECT_EQ(surface()->state().focusRange, (TextRange { at, 6 }));
    EXPECT_EQ(textView()->textCursor().selectionStart(), at);
    EXPECT_GT(textView()->verticalScrollBar()->value(), 0);
    // The original pane followed the scroll.
    EXPECT_GT(surface()->originalView()->verticalScrollBar()->value(), 0);
    surface()->setSearchText(QStringLiteral("resume"));
    surface()->performSearch();
    EXPECT_EQ(surface()->state().focusRange, (TextRange { 4, 6 }));

    // The list: only noted markups, a click focuses the row and opens the note.
    const auto first = model().addTextMarkupAnnotation(0, 2);
    const auto second = model().addTextMarkupAnnotation(at, 6);
    model().updateTextMarkupAnnotation(second->id, QStringLiteral("目标改写"), true, std::nullopt, std::nullopt,
                                       std::nullopt, std::nullopt);
    model().updateTextMarkupAnnotation(first->id, std::nullopt, std::nullopt, std::nullopt, true, std::nullopt,
                                       std::nullopt);
    auto rows = surface()->annotationListRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(surface()->annotationCountLabel()->text(), QStringLiteral("1"));
    textView()->verticalScrollBar()->setValue(0);
    click(rows.front(), QPoint(10, 10));
    EXPECT_EQ(surface()->state().focusedAnnotationID, second->id);
    EXPECT_TRUE(surface()->annotationListRows().front()->isFocused());
    EXPECT_EQ(textView()->textCursor().selectionStart(), at);
    EXPECT_TRUE(surface()->state().isNotePopoverPresented);
    EXPECT_EQ(surface()->state().activeNote, QStringLiteral("目标改写"));
    shot(QStringLiteral("surface-list"));
    // A failed search keeps the row focused; a successful one clears it.
    surface()->setSearchText(QStringLiteral("不存在"));
    surface()->performSearch();
    EXPECT_EQ(surface()->state().focusedAnnotationID, second->id);
    surface()->setSearchText(QStringLiteral("第3行"));
    surface()->performSearch();
    EXPECT_FALSE(surface()->state().focusedAnnotationID);
    EXPECT_FALSE(surface()->annotationListRows().front()->isFocused());

    // The list toggle hides and restores the panel.
    click(surface()->listToggleButton(), QPoint(10, 10));
    EXPECT_FALSE(surface()->annotationListPanel()->isVisible());
    ShellTest::settle();
    click(surface()->listToggleButton(), QPoint(10, 10));
    EXPECT_TRUE(surface()->annotationListPanel()->isVisible());
}

TEST_F(TextEditorWindowTest, ExportQuestionsGateEveryExport)
{
    openDocument(QStringLiteral("原文一行"));
    QStringList written;
    // Without markups: no scope question, a full export with the default title.
    exportDialogs->keepDefaultTitle = true;
    click(surface()->saveButton(), QPoint(10, 10));
    EXPECT_TRUE(exportDialogs->scopeTitles.isEmpty());
    EXPECT_EQ(exportDialogs->titleRequests, QStringList { QStringLiteral("保存图片|文案对比") });
    EXPECT_TRUE(model().statusMessage().contains(QStringLiteral("文案对比-文案对比-")));

    model().addTextMarkupAnnotation(0, 2);
    exportDialogs->titleRequests.clear();
    exportDialogs->scope = TextExportDialogs::Scope::EditedPage;
    exportDialogs->keepDefaultTitle = false;
    exportDialogs->title = QStringLiteral(" \n ");
    surface()->exportMenu()->actions()[1]->trigger();
    EXPECT_EQ(exportDialogs->scopeTitles, QStringList { QStringLiteral("导出 Word") });
    EXPECT_EQ(exportDialogs->titleRequests, QStringList { QStringLiteral("导出 Word|修改文案页") });
    EXPECT_TRUE(model().statusMessage().contains(QStringLiteral("修改文案页-修改文案页-")));

    // Cancelling the scope asks nothing more; cancelling the title exports nothing.
    exportDialogs->titleRequests.clear();
    exportDialogs->scope = TextExportDialogs::Scope::Cancel;
    surface()->exportMenu()->actions()[0]->trigger();
    EXPECT_EQ(exportDialogs->scopeTitles.last(), QStringLiteral("导出 PDF"));
    EXPECT_TRUE(exportDialogs->titleRequests.isEmpty());
    const QString before = model().statusMessage();
    exportDialogs->scope = TextExportDialogs::Scope::Full;
    exportDialogs->title.reset();
    surface()->exportMenu()->actions()[0]->trigger();
    EXPECT_EQ(model().statusMessage(), before);
    EXPECT_EQ(surface()->exportMenu()->actions()[0]->text(), QStringLiteral("PDF"));
}

TEST_F(TextEditorWindowTest, EscapeClosesThePopoverAndClearsTheSelection)
{
    openDocument(QStringLiteral("一段文字"));
    select(0, 2);
    key(Qt::Key_1);
    ASSERT_TRUE(surface()->notePopover()->isVisible());
    ASSERT_TRUE(ShellTest::waitUntil([&] { return surface()->noteInput()->hasFocus(); }));
    const int cancel = view().cancelSignal();
    key(Qt::Key_Escape);
    EXPECT_EQ(view().cancelSignal(), cancel + 1);
    EXPECT_FALSE(surface()->notePopover()->isVisible());
    EXPECT_FALSE(surface()->state().selectionRange);
    EXPECT_FALSE(surface()->state().pendingSelectionRange);
    EXPECT_FALSE(textView()->textCursor().hasSelection());
    EXPECT_EQ(surface()->state().textCancelSignal, 1);
    EXPECT_EQ(edited(), QStringLiteral("一段文字"));
}

TEST_F(TextEditorWindowTest, AFileDroppedOnTheEditorGoesToTheWindow)
{
    const QString image = directory.filePath(QStringLiteral("拖入.png"));
    ASSERT_TRUE(TestSupport::solidImage(20, 10).save(image));
    openDocument(QStringLiteral("不变的文字"));
    // No pane and no widget between the editor and the window's drop area takes the drop.
    QWidget *target = textView()->viewport();
    while (target && !target->acceptDrops())
        target = target->parentWidget();
    EXPECT_EQ(target, view().workspaceAreaWidget());
    EXPECT_FALSE(surface()->originalView()->viewport()->acceptDrops());
    EXPECT_FALSE(surface()->noteInput()->viewport()->acceptDrops());

    QMimeData mime;
    mime.setUrls({ QUrl::fromLocalFile(image) });
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    EXPECT_TRUE(ShellTest::waitUntil([&] { return !model().items().empty(); }));
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageMarkup);
    EXPECT_EQ(edited(), QStringLiteral("不变的文字"));
}

TEST_F(TextEditorWindowTest, AShortNoteIsOneLineInItsBubble)
{
    openDocument(QStringLiteral("第一行\n第二行有一处批注，需要拆分\n第三行"));
    const auto created = model().addTextMarkupAnnotation(4, 6);
    model().updateTextMarkupAnnotation(created->id, QStringLiteral("这句太长，建议拆分"), true, std::nullopt,
                                       std::nullopt, std::nullopt, std::nullopt);
    ASSERT_TRUE(ShellTest::waitUntil([&] { return textView()->calloutPlacements().size() == 1; }));
    ShellTest::settle();
    const auto &placements = textView()->calloutPlacements();
    ASSERT_EQ(placements.size(), 1u);
    const QRectF bubble = placements.front().bubbleRect.translated(-textView()->scrollOffset());
    const QImage pane = textView()->viewport()->grab().toImage();
    const double scale = pane.devicePixelRatio();
    const QRect pixels = QRectF(bubble.topLeft() * scale, bubble.size() * scale).toAlignedRect();
    ASSERT_TRUE(pane.rect().contains(pixels));
    // Read back from the pixels: the bubble drawn in the pane holds the note on one line.
    const std::optional<QRect> drawn = NoteBubbleMeasure::bubbleRect(pane, pixels.adjusted(-2, -2, 2, 2));
    ASSERT_TRUE(drawn);
    EXPECT_EQ(NoteBubbleMeasure::noteLineCount(pane, *drawn, scale), 1);
    shot(QStringLiteral("surface-short-note"));
}
