#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QPainter;
class TextBandLayout;

// Output surfaces and drawing pieces shared by the comparison pages and the annotation pages.
namespace PageOutput {

using DrawPage = std::function<void(QPainter *)>;

// A PNG of the page drawn at max(scale, 1); nothing when the bitmap cannot be made or encoded.
std::optional<QByteArray> png(QSizeF pageSize, qreal scale, const DrawPage &draw);
// A one-page PDF whose page is exactly pageSize points; no title or creator.
std::optional<QByteArray> pdf(QSizeF pageSize, const DrawPage &draw);

// A font of the pages. It is drawn unshaped where the script allows it, so that every glyph is the
// font's own glyph for its character: a PDF's text layer maps only those back to text, and the
// glyphs that shaping puts in their place (digits after Latin letters, for one) would be missing
// from it, so that copying or searching "v2.0" in the PDF would find "v.".
QFont font(double pixelSize, QFont::Weight weight = QFont::Normal);

// Text with its top-left corner at the point (the way the pages anchor titles).
void drawTextAt(QPainter *painter, QPointF topLeft, const QString &text, const QFont &font, const QColor &color);

// Per-character decorations over a laid-out text, applied in order like text attributes: a later
// background or underline replaces an earlier one, a removal clears what is there.
class Decorations {
public:
    explicit Decorations(qsizetype length);
    void setBackground(qsizetype start, qsizetype end, std::optional<QColor> color);
    void setUnderline(qsizetype start, qsizetype end, std::optional<QColor> color, qreal thickness = 1);
    void setStrike(qsizetype start, qsizetype end, std::optional<QColor> color);

    // Backgrounds under the text of the laid-out lines whose text ends above maxBottom.
    void drawBackgrounds(QPainter *painter, const TextBandLayout &layout, QPointF origin, qreal maxBottom) const;
    // Underlines at the font's underline position, strikes through the middle of the x-height.
    void drawLines(QPainter *painter, const TextBandLayout &layout, const QFont &font, QPointF origin,
                   qreal maxBottom) const;

private:
    struct Line {
        QColor color;
        qreal thickness = 1;
        bool on = false;
    };
    std::vector<std::optional<QColor>> m_background;
    std::vector<Line> m_underline;
    std::vector<Line> m_strike;
};

// The band layout lines of [start, end) that are drawn (text bottom at or above maxBottom).
std::vector<std::pair<int, QRectF>> drawnSegments(const TextBandLayout &layout, qsizetype start, qsizetype end,
                                                  qreal maxBottom);

} // namespace PageOutput
