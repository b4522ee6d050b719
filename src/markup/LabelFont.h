#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

class QPainter;

// The label font shared by the canvas overlay, the hit tests and the renderer. Label sizes are
// fractional canvas units while QFont keeps only whole pixel sizes, so the font is built once at a
// fixed reference size and every width, height and glyph is scaled linearly from it. That keeps
// the three users in exact agreement at every zoom and output size.
namespace LabelFont {

// Pixel size the reference font is built at.
constexpr double referencePixelSize = 100;

// The semibold label face at the reference size, without hinting (hinting would snap widths to
// the reference size's pixel grid and break linear scaling).
QFont referenceFont();

// Metrics of the reference font. Building them looks the font up, which takes a lock shared by
// every thread; callers measuring many texts make them once.
QFontMetricsF referenceMetrics();

// Width of a one-line text at the reference size. advance() is exactly this times
// fontSize / referencePixelSize, so widths measured once can be scaled to any size.
double referenceAdvance(const QFontMetricsF &metrics, const QString &text);

// Width of a one-line text at a font size in canvas units (not rounded).
double advance(const QString &text, double fontSize);

// Ascent + descent + leading at a font size (descent counted positive).
double naturalLineHeight(double fontSize);

// Where a line's text stands in its rectangle: every line's baseline lies the label face's
// ascent below the rectangle's top, whichever fonts shape its characters, so a line keeps its
// place when a character of another script is typed into it and sits in the line height the
// layout measured with the label face. A font that fills in for another script has an ascent of
// its own; laying out by it would lift a line written only in that script above the others.
double baseline(double fontSize);

// Draws one line into a rectangle, aligned left on the baseline above, clipped to the rectangle
// when it does not fit there (wider than the rectangle, or the label face taller). The canvas
// and the export draw every label line through this or through the outlines of lineOutline,
// which place every glyph at the same spot.
void drawLine(QPainter &painter, const QRectF &rect, const QString &line, double fontSize);

// The glyph outlines drawLine fills for a line, each at its place, and whether drawLine clips
// them to the rectangle (it does when the line's box does not fit in it).
struct LineOutline {
    struct Glyph {
        // At the reference size, origin on the baseline.
        QPainterPath outline;
        // Where the origin goes, in reference units from the rectangle's top left (its y is the
        // baseline, the same for every glyph).
        QPointF position;
        // The same number for the same glyph of the same face, for callers that cache per glyph.
        quint64 id = 0;
    };
    std::vector<Glyph> glyphs;
    // Canvas units per reference unit, and the rectangle's top left in canvas units.
    double scale = 1;
    QPointF origin;
    bool clipped = false;
};
// Nothing when drawLine would draw nothing, or when a glyph has no outline (a bitmap glyph such
// as a colour emoji) or comes from no font (the boxes shown for a script no installed font
// shapes), which only the painter can draw.
std::optional<LineOutline> lineOutline(const QRectF &rect, const QString &line, double fontSize);

} // namespace LabelFont
