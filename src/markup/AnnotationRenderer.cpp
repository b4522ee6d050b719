#include "markup/AnnotationRenderer.h"

#include "markup/AnnotationRendererTargets.h"
#include "markup/MarkupGeometry.h"
#include "model/HexColor.h"
#include "model/TextRules.h"
#include "platform/ImageLimits.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace AnnotationRenderer {

namespace {

// Annotations read from a project file are not range-checked; sizes that overflow to infinity
// would make the painter's stroker and text layout misbehave, so such an annotation is skipped.
bool isDrawableSize(double value)
{
    return std::isfinite(value);
}

QPen strokePen(const QColor &color, double width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void setQualityHints(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::TextAntialiasing);
}

void drawArrowOn(AnnotationDrawTarget &target, const MarkupAnnotation &annotation, QSizeF canvasSize)
{
    const double sw = MarkupGeometry::strokeWidth(annotation.lineWidth, canvasSize);
    if (!isDrawableSize(sw))
        return;
    const QColor color = HexColor::drawingColor(annotation.colorHex);
    const QPointF s = annotation.start.toPoint(canvasSize);
    const QPointF e = annotation.end.toPoint(canvasSize);
    const QPointF c = MarkupGeometry::arcControlPoint(s, e, annotation.curveDirection);

    // The shaft is a cubic with both controls at the arc's control point: it bows a little further
    // than the quadratic arc the hit tests measure.
    QPainterPath shaft;
    shaft.moveTo(s);
    shaft.cubicTo(c, c, e);
    target.strokePath(shaft, strokePen(color, sw));

    // An open chevron at the tip, its wings at ±π/7 to the tangent at the end.
    const double theta = std::atan2(e.y() - c.y(), e.x() - c.x());
    const double length = std::max(4.2 * sw, 8.0);
    const double spread = std::numbers::pi / 7;
    QPainterPath head;
    head.moveTo(e - length * QPointF(std::cos(theta - spread), std::sin(theta - spread)));
    head.lineTo(e);
    head.lineTo(e - length * QPointF(std::cos(theta + spread), std::sin(theta + spread)));
    target.strokePath(head, strokePen(color, sw));
}

void drawRectangleOn(AnnotationDrawTarget &target, const MarkupAnnotation &annotation, QSizeF canvasSize)
{
    const double sw = MarkupGeometry::strokeWidth(annotation.lineWidth, canvasSize);
    if (!isDrawableSize(sw))
        return;
    const Rect rect = MarkupGeometry::normalizedRect(annotation.start.toPoint(canvasSize),
                                                     annotation.end.toPoint(canvasSize));
    QPainterPath path;
    path.addRoundedRect(rect.toQRectF(), 5, 5);
    target.strokePath(path, strokePen(HexColor::drawingColor(annotation.colorHex), sw));
}

void drawBrushOn(AnnotationDrawTarget &target, const MarkupAnnotation &annotation, QSizeF canvasSize)
{
    const double sw = MarkupGeometry::strokeWidth(annotation.lineWidth, canvasSize);
    if (!isDrawableSize(sw))
        return;
    const std::vector<QPointF> points = MarkupGeometry::brushPoints(annotation, canvasSize);
    if (points.empty())
        return;
    QPainterPath path;
    path.moveTo(points.front());
    for (size_t i = 1; i < points.size(); ++i)
        path.lineTo(points[i]);
    target.strokePath(path, strokePen(HexColor::drawingColor(annotation.colorHex), std::max(sw, 2.0)));
}

void drawLabelOn(AnnotationDrawTarget &target, const QString &text, const MarkupAnnotation &annotation, QSizeF canvasSize)
{
    if (!TextRules::hasVisibleText(text))
        return;
    const std::optional<MarkupLabelLayout> layout = MarkupGeometry::labelLayout(annotation, canvasSize);
    if (!layout)
        return;
    const Rect bubble = layout->bubbleRect;
    if (!isDrawableSize(layout->fontSize) || !isDrawableSize(bubble.width) || !isDrawableSize(bubble.height))
        return;
    const double sw = MarkupGeometry::strokeWidth(annotation.lineWidth, canvasSize);
    const QColor color = HexColor::drawingColor(annotation.colorHex);

    QPainterPath path;
    path.addRoundedRect(bubble.toQRectF(), 8, 8);
    QColor fill(Qt::white);
    fill.setAlphaF(0.86f);
    target.fillPath(path, fill);
    if (isDrawableSize(sw)) {
        QColor border = color;
        border.setAlphaF(0.22f);
        target.strokePath(path, QPen(border, std::max(0.28 * sw, 1.0)));
    }

    drawLabelText(target, *layout, color);
}

void drawAnnotation(AnnotationDrawTarget &target, const MarkupAnnotation &annotation, QSizeF canvasSize)
{
    switch (annotation.kind) {
    case AnnotationKind::Arrow:
        drawArrowOn(target, annotation, canvasSize);
        break;
    case AnnotationKind::Text:
        break;
    case AnnotationKind::Rectangle:
        drawRectangleOn(target, annotation, canvasSize);
        break;
    case AnnotationKind::Brush:
        drawBrushOn(target, annotation, canvasSize);
        break;
    }
    // Each annotation's label is drawn before the next annotation, so later ones cover it.
    drawLabelOn(target, annotation.displayText(), annotation, canvasSize);
}

// Bitmaps painted without a transform the raster path cannot follow are rasterised directly
// (much faster for wide brush strokes and large label text); every other painter, PDF included,
// gets the same shapes through its own calls.
template <typename Draw>
void withTarget(QPainter &painter, Draw draw)
{
    if (std::unique_ptr<RasterDrawTarget> raster = RasterDrawTarget::create(painter)) {
        draw(*raster);
        raster->finish();
        return;
    }
    PainterDrawTarget direct(painter);
    draw(direct);
}

} // namespace

std::optional<QImage> renderedBitmap(const QImage &baseImage, const std::vector<MarkupAnnotation> &annotations)
{
    if (baseImage.isNull())
        return std::nullopt;
    const int width = baseImage.width();
    const int height = baseImage.height();
    if (!ImageLimits::isAcceptableSize(width, height))
        return std::nullopt;
    QImage bitmap(width, height, QImage::Format_ARGB32_Premultiplied);
    if (bitmap.isNull())
        return std::nullopt;
    bitmap.fill(Qt::white);
    {
        QPainter painter(&bitmap);
        setQualityHints(painter);
        const QRectF whole(0, 0, width, height);
        // Drawn by pixel rectangle so that a device pixel ratio on the source cannot rescale it.
        painter.drawImage(whole, baseImage, whole);
        drawAnnotations(painter, annotations, QSizeF(width, height));
    }
    // Everything was drawn over opaque white, so every pixel is opaque: say so, and the encoders
    // write no alpha channel.
    bitmap.reinterpretAsFormat(QImage::Format_RGB32);
    return bitmap;
}

void drawAnnotations(QPainter &painter, const std::vector<MarkupAnnotation> &annotations, QSizeF canvasSize)
{
    withTarget(painter, [&](AnnotationDrawTarget &target) {
        for (const MarkupAnnotation &annotation : annotations)
            drawAnnotation(target, annotation, canvasSize);
    });
}

void drawArrow(QPainter &painter, const MarkupAnnotation &annotation, QSizeF canvasSize)
{
    withTarget(painter, [&](AnnotationDrawTarget &target) { drawArrowOn(target, annotation, canvasSize); });
}

} // namespace AnnotationRenderer
