#include "markup/MarkupGeometry.h"

#include <algorithm>
#include <cmath>

namespace MarkupGeometry {

namespace {

double longSide(QSizeF size)
{
    return std::max(size.width(), size.height());
}

// The bounding box of points, grown by `amount`; null for no points.
Rect boundingBox(const QPointF *points, size_t count, double amount)
{
    if (count == 0)
        return Rect::null();
    double left = points[0].x(), right = left, top = points[0].y(), bottom = top;
    for (size_t i = 1; i < count; ++i) {
        left = std::min(left, points[i].x());
        right = std::max(right, points[i].x());
        top = std::min(top, points[i].y());
        bottom = std::max(bottom, points[i].y());
    }
    return Rect(left, top, right - left, bottom - top).grownBy(amount);
}

} // namespace

double strokeWidth(double lineWidth, QSizeF size)
{
    const double width = lineWidth * longSide(size) / 1000;
    return std::isnan(width) ? 1.1 : std::max(width, 1.1);
}

double scaledFontSize(double fontSize, QSizeF size)
{
    const double scaled = fontSize * longSide(size) / 1000;
    return std::isnan(scaled) ? 2.0 : std::max(scaled, 2.0);
}

QPointF arcControlPoint(QPointF start, QPointF end, double direction)
{
    const double dx = end.x() - start.x();
    const double dy = end.y() - start.y();
    const double d = std::sqrt(dx * dx + dy * dy);
    double offset = 8;
    double unit = 1;
    if (d >= 1) {
        offset = std::clamp(0.18 * d, 8.0, 96.0);
        unit = d;
    }
    const double sign = direction >= 0 ? 1.0 : -1.0;
    return {(start.x() + end.x()) / 2 - sign * offset * dy / unit,
            (start.y() + end.y()) / 2 + sign * offset * dx / unit};
}

QPointF quadraticPoint(QPointF start, QPointF control, QPointF end, double t)
{
    const double u = 1 - t;
    return u * u * start + 2 * t * u * control + t * t * end;
}

double quadraticTangentAngle(QPointF start, QPointF control, QPointF end, double t)
{
    const double u = 1 - t;
    const QPointF d = 2 * u * (control - start) + 2 * t * (end - control);
    return std::atan2(d.y(), d.x());
}

std::array<QPointF, arcSampleCount> arcSamples(QPointF start, QPointF control, QPointF end)
{
    std::array<QPointF, arcSampleCount> samples;
    for (int i = 0; i < arcSampleCount; ++i)
        samples[i] = quadraticPoint(start, control, end, i == arcSampleCount - 1 ? 1.0 : i * 0.05);
    return samples;
}

Rect normalizedRect(QPointF start, QPointF end)
{
    return Rect::spanning(start, end);
}

UnitPoint2D defaultEndPoint(UnitPoint2D from, AnnotationKind kind)
{
    switch (kind) {
    case AnnotationKind::Arrow:
        return UnitPoint2D(from.x + 0.18, from.y - 0.14);
    case AnnotationKind::Text:
        return from;
    case AnnotationKind::Rectangle:
        return UnitPoint2D(from.x + 0.24, from.y + 0.16);
    case AnnotationKind::Brush:
        return UnitPoint2D(from.x + 0.015, from.y + 0.015);
    }
    return from;
}

std::vector<QPointF> brushPoints(const MarkupAnnotation &annotation, QSizeF size)
{
    std::vector<QPointF> result;
    if (annotation.points.empty()) {
        result = {annotation.start.toPoint(size), annotation.end.toPoint(size)};
        return result;
    }
    result.reserve(annotation.points.size());
    for (const UnitPoint2D &p : annotation.points)
        result.push_back(p.toPoint(size));
    return result;
}

QPointF labelPoint(const MarkupAnnotation &annotation, QSizeF size)
{
    if (annotation.labelPosition)
        return annotation.labelPosition->toPoint(size);
    const QPointF s = annotation.start.toPoint(size);
    const QPointF e = annotation.end.toPoint(size);
    switch (annotation.kind) {
    case AnnotationKind::Arrow: {
        const QPointF c = arcControlPoint(s, e, annotation.curveDirection);
        return 0.25 * s + 0.5 * c + 0.25 * e + QPointF(12, -12);
    }
    case AnnotationKind::Text:
    case AnnotationKind::Brush:
        return s;
    case AnnotationKind::Rectangle:
        return QPointF(std::min(s.x(), e.x()) + 8, std::min(s.y(), e.y()) + 8);
    }
    return s;
}

Rect labelBounds(const MarkupAnnotation &annotation, QSizeF size)
{
    const std::optional<MarkupLabelLayout> layout = labelLayout(annotation, size);
    return layout ? layout->bubbleRect.grownBy(8) : Rect::null();
}

Rect shapeBounds(const MarkupAnnotation &annotation, QSizeF size)
{
    const QPointF s = annotation.start.toPoint(size);
    const QPointF e = annotation.end.toPoint(size);
    switch (annotation.kind) {
    case AnnotationKind::Arrow: {
        const auto samples = arcSamples(s, arcControlPoint(s, e, annotation.curveDirection), e);
        return boundingBox(samples.data(), samples.size(), 16);
    }
    case AnnotationKind::Text:
        return labelBounds(annotation, size);
    case AnnotationKind::Rectangle:
        return normalizedRect(s, e).grownBy(8);
    case AnnotationKind::Brush: {
        const std::vector<QPointF> points = brushPoints(annotation, size);
        return boundingBox(points.data(), points.size(), 16);
    }
    }
    return Rect::null();
}

Rect annotationBounds(const MarkupAnnotation &annotation, QSizeF size)
{
    const Rect shape = shapeBounds(annotation, size);
    const Rect label = labelBounds(annotation, size);
    return label.isNull() ? shape : shape.united(label);
}

} // namespace MarkupGeometry
