#include <gtest/gtest.h>

#include "markup/LabelFont.h"
#include "markup/MarkupGeometry.h"
#include "markup/MarkupTestSupport.h"

#include <cmath>

using namespace MarkupGeometry;

namespace {

QStringList texts(const std::vector<WrappedLine> &lines)
{
    QStringList result;
    for (const WrappedLine &line : lines)
        result << line.text;
    return result;
}

} // namespace

TEST(MarkupLabelLayout, WrappingSplitsAtEveryNewlineCharacter)
{
    const auto lines = wrappedLines(QStringLiteral("ab\n\ncd"), 20, 500);
    EXPECT_EQ(texts(lines), (QStringList{"ab", " ", "cd"}));
    EXPECT_EQ(lines[1].width, 0);
    EXPECT_EQ(lines[0].width, textWidth(QStringLiteral("ab"), 20));
    // CR LF leaves an empty piece between its two characters.
    EXPECT_EQ(texts(wrappedLines(QStringLiteral("a\r\nb"), 20, 500)), (QStringList{"a", " ", "b"}));
    EXPECT_EQ(texts(wrappedLines(QStringLiteral("a\vb\fc\u2028d\u0085e"), 20, 500)),
              (QStringList{"a", "b", "c", "d", "e"}));
    // Never empty.
    EXPECT_EQ(texts(wrappedLines(QString(), 20, 500)), QStringList{" "});
    EXPECT_EQ(texts(wrappedLines(QStringLiteral("\n"), 20, 500)), (QStringList{" ", " "}));
}

TEST(MarkupLabelLayout, WrappingIsGreedyPerCharacter)
{
    const double fs = 20;
    // A width equal to the limit still fits.
    const double fitsExactly = textWidth(QStringLiteral("abcd"), fs);
    EXPECT_EQ(texts(wrappedLines(QStringLiteral("abcd"), fs, fitsExactly)), QStringList{"abcd"});
    EXPECT_EQ(texts(wrappedLines(QStringLiteral("abcd"), fs, fitsExactly - 1)), (QStringList{"abc", "d"}));
    // Spaces are ordinary characters and may end a line.
    EXPECT_EQ(texts(wrappedLines(QStringLiteral("a b"), fs, textWidth(QStringLiteral("a "), fs))),
              (QStringList{"a ", "b"}));
    // A character wider than the limit stands alone; combined characters are never split.
    EXPECT_EQ(texts(wrappedLines(QStringLiteral("标注"), fs, 1)), (QStringList{"标", "注"}));
    const QString accented = QStringLiteral("e\u0301x");
    EXPECT_EQ(texts(wrappedLines(accented, fs, 1)), (QStringList{QStringLiteral("e\u0301"), "x"}));
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467a");
    EXPECT_EQ(wrappedLines(family, fs, 1).size(), 2u);
    // Widths scale linearly with the font size, so a label wraps the same at every zoom.
    const auto small = wrappedLines(QStringLiteral("标注文字标注文字标注文字"), 10, 60);
    const auto large = wrappedLines(QStringLiteral("标注文字标注文字标注文字"), 40, 240);
    EXPECT_EQ(texts(small), texts(large));
    EXPECT_NEAR(LabelFont::advance(QStringLiteral("标注"), 40), 4 * LabelFont::advance(QStringLiteral("标注"), 10),
                1e-9);
}

TEST(MarkupLabelLayout, ShowsOnlyVisibleText)
{
    const QSizeF size(1000, 1000);
    EXPECT_FALSE(labelLayout(makeAnnotation(AnnotationKind::Arrow, {0, 0}, {1, 1}, QStringLiteral(" \n ")), size));
    // A numbered arrow with blank text shows nothing, a numbered text annotation its number.
    EXPECT_FALSE(labelLayout(makeAnnotation(AnnotationKind::Arrow, {0, 0}, {1, 1}, QString(), 2), size));
    const auto number = labelLayout(makeAnnotation(AnnotationKind::Text, {0.5, 0.5}, {0.5, 0.5}, QString(), 2), size);
    ASSERT_TRUE(number);
    EXPECT_EQ(number->lines, QStringList{"2."});
    // The displayed text is trimmed at both ends.
    const auto trimmed = labelLayout(makeAnnotation(AnnotationKind::Text, {0.5, 0.5}, {0.5, 0.5},
                                                    QStringLiteral(" a \n"), 3), size);
    ASSERT_TRUE(trimmed);
    EXPECT_EQ(trimmed->lines, QStringList{"3.  a"});
}

TEST(MarkupLabelLayout, AutomaticAndRequestedWidths)
{
    // A one-letter label still gets a text column of 82, so a bubble 96 wide.
    const auto narrow = labelLayout(makeAnnotation(AnnotationKind::Arrow, {0, 0}, {1, 1}, QStringLiteral("a")),
                                    QSizeF(1000, 1000));
    ASSERT_TRUE(narrow);
    EXPECT_EQ(narrow->bubbleRect.width, 96);
    EXPECT_EQ(narrow->fontSize, 20);
    EXPECT_EQ(narrow->lineHeight, std::ceil(std::max(LabelFont::naturalLineHeight(20), 1.22 * 20)));
    EXPECT_EQ(narrow->bubbleRect.height, narrow->lineHeight + 10);
    EXPECT_EQ(narrow->textRect, narrow->bubbleRect.insetBy(7, 5));
    EXPECT_EQ(narrow->lineWidths.size(), 1u);

    // Automatic width wraps at max(0.32 W, 160) limited to the canvas.
    const QString longText = QString(60, QChar(u'标'));
    const auto wrapped = labelLayout(makeAnnotation(AnnotationKind::Text, {0, 0}, {0, 0}, longText), QSizeF(1000, 1000));
    ASSERT_TRUE(wrapped);
    EXPECT_GT(wrapped->lines.size(), 1);
    for (double w : wrapped->lineWidths)
        EXPECT_LE(w, 320);
    EXPECT_EQ(wrapped->bubbleRect.height, wrapped->lineHeight * wrapped->lines.size() + 10);

    MarkupAnnotation sized = makeAnnotation(AnnotationKind::Arrow, {0, 0}, {1, 1}, QStringLiteral("a"));
    const QSizeF canvas(800, 600);
    sized.labelWidth = 0.5; // a fraction of the canvas width
    EXPECT_EQ(labelLayout(sized, canvas)->bubbleRect.width, 414);
    sized.labelWidth = 10; // canvas units, raised to 32
    EXPECT_EQ(labelLayout(sized, canvas)->bubbleRect.width, 46);
    sized.labelWidth = 5000; // lowered to the canvas's text width, 800 − 16 − 14
    EXPECT_EQ(labelLayout(sized, canvas)->bubbleRect.width, 784);
    sized.labelWidth = std::nan("");
    EXPECT_EQ(labelLayout(sized, canvas)->bubbleRect.width, 46);
}

TEST(MarkupLabelLayout, BubbleStaysInsideTheCanvas)
{
    MarkupAnnotation a = makeAnnotation(AnnotationKind::Text, {0, 0}, {0, 0}, QStringLiteral("a"));
    a.labelWidth = 86; // bubble 100 wide
    a.labelPosition = UnitPoint2D(1, 0.5);
    const auto right = labelLayout(a, QSizeF(300, 200));
    ASSERT_TRUE(right);
    EXPECT_EQ(right->bubbleRect.width, 100);
    EXPECT_EQ(right->bubbleRect.x, 192);
    EXPECT_EQ(right->bubbleRect.y, 100);

    UnitPoint2D outside;
    outside.x = -0.2;
    outside.y = -0.2;
    a.labelPosition = outside;
    EXPECT_EQ(labelLayout(a, QSizeF(100, 100))->bubbleRect.x, 8);
    EXPECT_EQ(labelLayout(a, QSizeF(100, 100))->bubbleRect.y, 8);
    // The cached wrapping is shared, the placement is not.
    a.labelPosition = UnitPoint2D(0.5, 0.5);
    EXPECT_EQ(labelLayout(a, QSizeF(300, 200))->bubbleRect.x, 150);

    // Zero-sized canvas: bubble at the margin, minimum sizes.
    const auto tiny = labelLayout(a, QSizeF(0, 0));
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny->bubbleRect.x, 8);
    EXPECT_EQ(tiny->bubbleRect.width, 48);
    EXPECT_EQ(tiny->fontSize, 2);
}
