#pragma once

#include "markup/AnnotationRendererRaster.h"
#include "markup/MarkupLabelLayout.h"

#include <QColor>
#include <QPen>
#include <QRectF>
#include <QTransform>

#include <map>
#include <memory>
#include <tuple>
#include <vector>

class QPainter;
class QPainterPath;
class QString;

// Where the renderer's strokes, fills and label lines go. The renderer describes each annotation
// once in canvas space; a target either hands it to the painter (any device: screen, PDF, printer,
// transformed painters) or rasterises it straight into the painter's bitmap.
class AnnotationDrawTarget {
public:
    virtual ~AnnotationDrawTarget() = default;
    // Strokes with the pen. The raster target draws solid pens with round caps and joins itself,
    // and other pens too when the path is closed and has no corners (only there caps and joins
    // do not show); everything else it leaves to the painter.
    virtual void strokePath(const QPainterPath &path, const QPen &pen) = 0;
    virtual void fillPath(const QPainterPath &path, const QColor &color) = 0;
    // One label line as LabelFont::drawLine draws it, in the colour.
    virtual void drawTextLine(const QRectF &rect, const QString &line, double fontSize, const QColor &color) = 0;
};

class PainterDrawTarget final : public AnnotationDrawTarget {
public:
    explicit PainterDrawTarget(QPainter &painter) : m_painter(painter) {}
    void strokePath(const QPainterPath &path, const QPen &pen) override;
    void fillPath(const QPainterPath &path, const QColor &color) override;
    void drawTextLine(const QRectF &rect, const QString &line, double fontSize, const QColor &color) override;

private:
    QPainter &m_painter;
};

// Collects shapes in device pixels and paints them into the painter's bitmap in one parallel pass
// (finish(), or before a label line that the painter draws itself, to keep the stacking order).
class RasterDrawTarget final : public AnnotationDrawTarget {
public:
    // Only for a painter on a 32-bit bitmap, antialiased, source-over, unclipped, whose transform
    // is a translation and a scale equal on both axes (round pens stay round); nothing otherwise.
    static std::unique_ptr<RasterDrawTarget> create(QPainter &painter);
    ~RasterDrawTarget() override;

    void strokePath(const QPainterPath &path, const QPen &pen) override;
    void fillPath(const QPainterPath &path, const QColor &color) override;
    void drawTextLine(const QRectF &rect, const QString &line, double fontSize, const QColor &color) override;
    void finish();

private:
    RasterDrawTarget(QPainter &painter, QImage &image);
    QRgb deviceColour(const QColor &color) const;
    void addFill(const QPainterPath &path, const QTransform &transform, const QColor &color, const QRect &clip);

    QPainter &m_painter;
    QImage &m_image;
    QTransform m_transform;
    double m_scale = 1;
    double m_opacity = 1;
    std::vector<AnnotationRaster::Shape> m_shapes;
    // Label glyphs cut into lines at a device size, relative to their origin: labels repeat the
    // same glyphs, and cutting curves is most of the cost of placing them.
    std::map<std::tuple<quint64, double, double>, std::vector<AnnotationRaster::Segment>> m_glyphLines;
};

// A label's lines, top to bottom, each in its line of the text rectangle, in the colour. The
// export and the canvas both draw label text through this, so a label stands at the same place
// on screen and in the saved file whichever fonts shape it.
void drawLabelText(AnnotationDrawTarget &target, const MarkupLabelLayout &layout, const QColor &color);
