#include <gtest/gtest.h>

#include "markup/LabelFont.h"
#include "markup/MarkupGeometry.h"

#include <QTextBoundaryFinder>

#include <cmath>

// Line breaking reuses reference-size widths kept per text; these tests hold it to breaking
// exactly as measuring every string at the requested size does, at every zoom.

namespace {

bool isSeparator(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x000A && u <= 0x000D) || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

// Greedy breaking that measures each string afresh through LabelFont::advance.
std::vector<WrappedLine> measuredLines(const QString &text, double fontSize, double maxWidth)
{
    std::vector<WrappedLine> out;
    auto wrapPiece = [&](const QString &piece) {
        const double nearLimit = maxWidth - std::max(fontSize, 1.0);
        QString current;
        double currentWidth = 0;
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, piece);
        qsizetype position = 0;
        for (qsizetype next = finder.toNextBoundary(); next > position; next = finder.toNextBoundary()) {
            const QString character = piece.mid(position, next - position);
            position = next;
            double candidate = currentWidth + LabelFont::advance(character, fontSize);
            if (!current.isEmpty() && candidate > nearLimit)
                candidate = LabelFont::advance(current + character, fontSize);
            if (!current.isEmpty() && std::ceil(candidate) > maxWidth) {
                out.push_back({current, std::ceil(LabelFont::advance(current, fontSize))});
                current = character;
                currentWidth = LabelFont::advance(character, fontSize);
            } else {
                current += character;
                currentWidth = candidate;
            }
            if (next >= piece.size())
                break;
        }
        out.push_back({current, std::ceil(LabelFont::advance(current, fontSize))});
    };
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isSeparator(text.at(i)))
            continue;
        const QString piece = text.mid(start, i - start);
        if (piece.isEmpty())
            out.push_back({QStringLiteral(" "), 0});
        else
            wrapPiece(piece);
        start = i + 1;
    }
    return out;
}

} // namespace

TEST(LabelWrappingCache, BreaksAsMeasuringAtEverySizeDoes)
{
    const QStringList texts{
        QStringLiteral("标注文字 12"),
        QStringLiteral("标注文字标注文字标注文字标注文字标注文字"),
        QStringLiteral("Wide WWW words and narrow iii ones, AV To Ty kerning pairs"),
        QStringLiteral("first line\nsecond line that is longer\r\n\nlast"),
        QStringLiteral("e\u0301e\u0301e\u0301 \U0001F468\u200D\U0001F469\u200D\U0001F467 混合 mixed 文字"),
        QStringLiteral("x"),
    };
    // Canvas sizes from a tiny thumbnail to a canvas at zoom 30, with the label font scaled by the
    // canvas (per mille of its long side, never below 2) and wrap widths with their floors, as the
    // layout asks for them, plus sizes below the floors.
    const double longSides[] = {12, 40, 150.5, 400, 999.9, 1600, 1760, 4800, 16000, 48000};
    const double fontSizes[] = {10, 26, 64};
    for (const QString &text : texts) {
        for (const double side : longSides) {
            for (const double perMille : fontSizes) {
                const double fontSize = std::max(perMille * side / 1000, 2.0);
                for (const double width : {std::max(0.32 * side, 160.0), 32.0, 0.2 * side, 5 * fontSize, 1.0}) {
                    // Twice: the second call is answered from kept widths.
                    for (int pass = 0; pass < 2; ++pass)
                        ASSERT_EQ(MarkupGeometry::wrappedLines(text, fontSize, width),
                                  measuredLines(text, fontSize, width))
                            << text.toStdString() << " font " << fontSize << " width " << width;
                }
            }
        }
        // Font sizes below the floor of 1 that the near-limit test uses.
        for (const double fontSize : {0.01, 0.5, 1.0})
            EXPECT_EQ(MarkupGeometry::wrappedLines(text, fontSize, 3), measuredLines(text, fontSize, 3));
    }
}

TEST(LabelWrappingCache, LabelLayoutsMatchAfterZoomSteps)
{
    MarkupAnnotation a;
    a.kind = AnnotationKind::Rectangle;
    a.start = UnitPoint2D(0.2, 0.3);
    a.end = UnitPoint2D(0.4, 0.5);
    a.fontSize = 26;
    a.text = QStringLiteral("一段比较长的标注文字，会在较窄的画布上换行 with some Latin text");
    a.sequenceNumber = 3;
    // Zoom in and out and back: a layout after other zoom levels equals one made first.
    std::vector<std::optional<MarkupLabelLayout>> first;
    const double zooms[] = {0.25, 0.5, 1, 1.1, 2, 8, 30};
    for (const double zoom : zooms)
        first.push_back(MarkupGeometry::labelLayout(a, QSizeF(1500 * zoom, 1000 * zoom)));
    for (size_t i = std::size(zooms); i-- > 0;)
        EXPECT_EQ(MarkupGeometry::labelLayout(a, QSizeF(1500 * zooms[i], 1000 * zooms[i])), first[i]);
    for (size_t i = 0; i < std::size(zooms); ++i) {
        ASSERT_TRUE(first[i]);
        const double fontSize = first[i]->fontSize;
        double widest = 0;
        for (const WrappedLine &line : measuredLines(a.displayText(), fontSize, first[i]->textRect.width))
            widest = std::max(widest, line.width);
        EXPECT_LE(widest, first[i]->textRect.width) << zooms[i];
    }
}

TEST(LabelWrappingCache, LineOutlinesKeptPerLineStillFollowTheRectangle)
{
    const QString line = QStringLiteral("标注 Text 12");
    const double width = LabelFont::advance(line, 40);
    const auto wide = LabelFont::lineOutline(QRectF(10, 20, width + 4, 60), line, 40);
    // The same line again, smaller and in a rectangle too narrow for it.
    const auto narrow = LabelFont::lineOutline(QRectF(5, 6, width / 4, 60), line, 20);
    ASSERT_TRUE(wide && narrow);
    EXPECT_FALSE(wide->clipped);
    EXPECT_TRUE(narrow->clipped);
    EXPECT_EQ(wide->origin, QPointF(10, 20));
    EXPECT_EQ(narrow->origin, QPointF(5, 6));
    EXPECT_DOUBLE_EQ(wide->scale, 2 * narrow->scale);
    ASSERT_EQ(wide->glyphs.size(), narrow->glyphs.size());
    ASSERT_FALSE(wide->glyphs.empty());
    for (size_t i = 0; i < wide->glyphs.size(); ++i) {
        EXPECT_EQ(wide->glyphs[i].position, narrow->glyphs[i].position);
        EXPECT_EQ(wide->glyphs[i].id, narrow->glyphs[i].id);
    }
    EXPECT_FALSE(LabelFont::lineOutline(QRectF(0, 0, 0, 10), line, 20));
}
