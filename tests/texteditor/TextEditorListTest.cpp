// The note list beside the editor while the text is typed in.

#include "TextEditorWindowFixture.h"

#include "texteditor/AnnotationListRow.h"
#include "texteditor/EditorTextRules.h"

#include <algorithm>

TEST_F(TextEditorWindowTest, TheListKeepsItsRowsWhileTypingAndShowsTheCurrentNotes)
{
    openDocument(QStringLiteral("春眠不觉晓\n处处闻啼鸟\n夜来风雨声"));
    const auto first = model().addTextMarkupAnnotation(6, 2);
    const auto second = model().addTextMarkupAnnotation(12, 3);
    for (const auto &markup : { first, second })
        model().updateTextMarkupAnnotation(markup->id, QStringLiteral("注"), true, std::nullopt, std::nullopt,
                                           std::nullopt, std::nullopt);
    const auto rows = surface()->annotationListRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1]->snippet(), QStringLiteral("夜来风"));

    // Typing before the notes changes the text they stand on: the same rows show it.
    select(0, 0);
    typeText(QStringLiteral("新"));
    ASSERT_EQ(surface()->annotationListRows(), rows);
    for (AnnotationListRow *row : rows) {
        const auto &markups = model().textComparison()->annotations;
        const auto markup = std::find_if(markups.begin(), markups.end(),
                                         [&](const TextMarkupAnnotation &m) { return m.id == row->annotation().id; });
        ASSERT_NE(markup, markups.end());
        EXPECT_EQ(row->annotation(), *markup);
        EXPECT_EQ(row->snippet(), EditorTextRules::annotationSnippet(*markup, edited()));
    }
    EXPECT_NE(rows[1]->snippet(), QStringLiteral("夜来风"));

    // A note edited in the model shows in its row; a click on a refilled row jumps to its markup.
    model().updateTextMarkupAnnotation(second->id, QStringLiteral("第二条"), true, std::nullopt, std::nullopt,
                                       std::nullopt, std::nullopt);
    ASSERT_EQ(surface()->annotationListRows(), rows);
    EXPECT_EQ(rows[1]->annotation().note, QStringLiteral("第二条"));
    click(rows[1], QPoint(10, 10));
    EXPECT_EQ(surface()->state().focusedAnnotationID, second->id);
    EXPECT_TRUE(rows[1]->isFocused());
    EXPECT_FALSE(rows[0]->isFocused());
    EXPECT_EQ(surface()->state().activeNote, QStringLiteral("第二条"));

    // Fewer notes: the surplus row goes; more: a new one comes.
    model().deleteTextMarkupAnnotation(first->id);
    ASSERT_EQ(surface()->annotationListRows().size(), 1u);
    EXPECT_EQ(surface()->annotationListRows().front()->annotation().id, second->id);
    const auto third = model().addTextMarkupAnnotation(0, 1);
    model().updateTextMarkupAnnotation(third->id, QStringLiteral("第三条"), true, std::nullopt, std::nullopt,
                                       std::nullopt, std::nullopt);
    EXPECT_EQ(surface()->annotationListRows().size(), 2u);
}
