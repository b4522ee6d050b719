// The widget-free rules of the editor: trimming, highlights, snippets, search and placement.

#include "texteditor/EditorTextRules.h"
#include "texteditor/TextComparisonSurface.h"

#include <gtest/gtest.h>

using namespace EditorTextRules;

namespace {

TextMarkupAnnotation markup(qint64 location, qint64 length)
{
    TextMarkupAnnotation annotation;
    annotation.id = QUuid::createUuid();
    annotation.location = location;
    annotation.length = length;
    return annotation;
}

} // namespace

TEST(EditorTextRules, SelectionsAndMarkupsAreCutToTheText)
{
    // Two spaces, "abc", a space and a line break give the word alone.
    EXPECT_EQ(trimmedSelection(QStringLiteral("  abc \nx"), 0, 7), (TextRange { 2, 3 }));
    EXPECT_EQ(trimmedSelection(QStringLiteral("a   b"), 1, 3), std::nullopt);
    EXPECT_EQ(trimmedSelection(QStringLiteral("ab"), 1, 50), (TextRange { 1, 1 }));
    EXPECT_EQ(trimmedSelection(QStringLiteral("ab"), 2, 1), std::nullopt);
    // A character outside the BMP at the end of the selection stays whole.
    EXPECT_EQ(trimmedSelection(QStringLiteral("a😀 "), 0, 4), (TextRange { 0, 3 }));
    // Stored 64-bit values never overflow into a valid range.
    EXPECT_EQ(clippedRange(3, std::numeric_limits<qint64>::max(), 10), (TextRange { 3, 7 }));
    EXPECT_EQ(clippedRange(std::numeric_limits<qint64>::max(), 1, 10), std::nullopt);
    EXPECT_EQ(clippedRange(-1, 4, 10), std::nullopt);
}

TEST(EditorTextRules, HighlightRunsFollowTheMarkupOrder)
{
    const QString text = QStringLiteral("abcd efgh ijkl");
    TextComparisonChange change { 1, 0, 9 };
    // A highlight paints over the change; "none" adds nothing of its own.
    TextMarkupAnnotation highlighted = markup(0, 4);
    highlighted.highlight = true;
    highlighted.highlightColorHex = QStringLiteral("#16A34A");
    TextMarkupAnnotation colourless = markup(5, 4);
    colourless.highlight = true;
    colourless.highlightColorHex = QStringLiteral("none");
    auto runs = highlightRuns(text, { change }, { highlighted, colourless });
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], (HighlightRun { 0, 4, QColor(0x16, 0xA3, 0x4A), true }));
    EXPECT_EQ(runs[1], (HighlightRun { 4, 9, QColor(0xFD, 0xE6, 0x8A), true }));

    // A strike clears every background on its visible characters, the space between keeps it;
    // a markup underline replaces the change's underline over its whole range.
    TextMarkupAnnotation struck = markup(0, 9);
    struck.strikethrough = true;
    TextMarkupAnnotation underlined = markup(5, 9);
    underlined.underline = true;
    runs = highlightRuns(text, { change }, { highlighted, struck, underlined });
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], (HighlightRun { 0, 4, std::nullopt, true }));
    EXPECT_EQ(runs[1], (HighlightRun { 4, 5, QColor(0xFD, 0xE6, 0x8A), true }));

    // Ranges outside the text are skipped, never clipped into a wrong place.
    EXPECT_TRUE(highlightRuns(text, { TextComparisonChange { 1, 10, 40 } }, { markup(40, 2) }).empty());
}

TEST(EditorTextRules, SnippetsFlattenAndCutAtCharacters)
{
    EXPECT_EQ(chipSnippet(QStringLiteral(" 第一行\n第二行 ")), QStringLiteral("第一行 第二行"));
    const QString twentyTwo = QString(22, QChar(u'字'));
    EXPECT_EQ(chipSnippet(twentyTwo), twentyTwo);
    EXPECT_EQ(chipSnippet(twentyTwo + QStringLiteral("尾")), twentyTwo + QStringLiteral("..."));
    // Characters, not UTF-16 units: 22 emoji are 44 units and still shown in full.
    QString emoji;
    for (int k = 0; k < 22; ++k)
        emoji += QStringLiteral("😀");
    EXPECT_EQ(chipSnippet(emoji), emoji);

    TextMarkupAnnotation outside = markup(20, 3);
    EXPECT_EQ(annotationSnippet(outside, QStringLiteral("short")), QString());
    EXPECT_EQ(annotationSnippet(markup(2, 100), QStringLiteral("ab c\nd ")), QStringLiteral("c d"));
}

TEST(EditorTextRules, SearchIgnoresCaseAndAccentsButNotWidth)
{
    const QString text = QStringLiteral("Café au lait, CAFE noir");
    EXPECT_EQ(findFirst(text, QStringLiteral("  cafe ")), (TextRange { 0, 4 }));
    EXPECT_EQ(findFirst(text, QStringLiteral("noir")), (TextRange { 19, 4 }));
    EXPECT_EQ(findFirst(text, QStringLiteral("   ")), std::nullopt);
    EXPECT_EQ(findFirst(text, QStringLiteral("thé")), std::nullopt);
    // A decomposed accent in the text maps back to its two units.
    EXPECT_EQ(findFirst(QStringLiteral("xe\u0301y"), QStringLiteral("é")), (TextRange { 1, 2 }));
    // Full-width letters stay distinct from ASCII ones.
    EXPECT_EQ(findFirst(QStringLiteral("ＡＢＣ"), QStringLiteral("abc")), std::nullopt);
    // A match must not end inside a character: a syllable's first jamo is not the syllable.
    EXPECT_EQ(findFirst(QStringLiteral("한글"), QStringLiteral("\u1112")), std::nullopt);
    EXPECT_EQ(findFirst(QStringLiteral("한글 한"), QStringLiteral("한")), (TextRange { 0, 1 }));
    // Emoji with a skin tone is one character; its base alone does not match.
    EXPECT_EQ(findFirst(QStringLiteral("👍🏽 👍"), QStringLiteral("👍")), (TextRange { 5, 2 }));
}

TEST(EditorTextRules, ListRowsShowNotedMarkupsWithTheirBadges)
{
    TextMarkupAnnotation blank = markup(0, 2);
    blank.note = QStringLiteral(" \n ");
    blank.underline = true;
    TextMarkupAnnotation note = markup(3, 2);
    note.note = QStringLiteral("改");
    note.highlightColorHex = QStringLiteral("none");
    const auto noted = notedAnnotations({ blank, note });
    ASSERT_EQ(noted.size(), 1u);
    EXPECT_EQ(noted.front().id, note.id);
    EXPECT_EQ(shownNumber(note), 1);
    EXPECT_EQ(badgeColorHex(note), QStringLiteral("#DC2626"));
    note.underline = true;
    note.strikethrough = true;
    note.underlineColorHex = QStringLiteral("#2563EB");
    EXPECT_EQ(badgeColorHex(note), QStringLiteral("#2563EB"));
    note.underline = false;
    EXPECT_EQ(badgeColorHex(note), QStringLiteral("#DC2626"));
}

TEST(EditorTextRules, PopoverStandsAboveItsTarget)
{
    using Surface = TextComparisonSurface;
    auto placement = Surface::popoverPlacement(300, QRectF(100, 200, 40, 18));
    EXPECT_EQ(placement.width, 320);
    EXPECT_EQ(placement.x, 10);
    EXPECT_EQ(placement.y, 200 - 143);
    placement = Surface::popoverPlacement(800, QRectF(780, 40, 20, 18));
    EXPECT_EQ(placement.width, 380);
    EXPECT_EQ(placement.x, 410);
    EXPECT_EQ(placement.y, 10);
    EXPECT_EQ(placement.pointerOffset, 172);
    // Near the left edge the pointer stays 18 from the card's edge.
    placement = Surface::popoverPlacement(800, QRectF(0, 300, 4, 18));
    EXPECT_EQ(placement.x, 10);
    EXPECT_EQ(placement.pointerOffset, 18 - 190);
}
