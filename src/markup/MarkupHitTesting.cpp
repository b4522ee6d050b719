#include "markup/MarkupHitTesting.h"

#include "markup/MarkupGeometry.h"
#include "model/TextRules.h"

#include <algorithm>
#include <cmath>

namespace MarkupGeometry {

namespace {

double pointDistance(QPointF a, QPointF b)
{
    const double dx = a.x() - b.x();
    const double dy = a.y() - b.y();
    return std::sqrt(dx * dx + dy * dy);
}

bool isLabelHit(const MarkupAnnotation &annotation, QPointF point, QSizeF size)
{
    const std::optional<MarkupLabelLayout> layout = labelLayout(annotation, size);
    return layout && layout->bubbleRect.grownBy(labelHitMargin).containsInclusive(point);
}

bool isBrushHit(const MarkupAnnotation &annotation, QPointF point, QSizeF size, double tolerance)
{
    // Converted on the fly: long strokes are tested on every pointer move.
    const auto at = [&](size_t i) {
        return annotation.points.empty() ? (i == 0 ? annotation.start : annotation.end).toPoint(size)
                                         : annotation.points[i].toPoint(size);
    };
    const size_t count = annotation.points.empty() ? 2 : annotation.points.size();
    if (count == 1)
        return pointDistance(at(0), point) <= tolerance;
    QPointF previous = at(0);
    for (size_t i = 1; i < count; ++i) {
        const QPointF current = at(i);
        if (distance(point, previous, current) <= tolerance)
            return true;
        previous = current;
    }
    return false;
}

template <typename Test>
std::optional<QUuid> topmost(const std::vector<MarkupAnnotation> &annotations, Test test)
{
    for (auto it = annotations.rbegin(); it != annotations.rend(); ++it) {
        if (test(*it))
            return it->id;
    }
    return std::nullopt;
}

} // namespace

double distance(QPointF point, QPointF segmentStart, QPointF segmentEnd)
{
    const QPointF d = segmentEnd - segmentStart;
    const double lengthSquared = QPointF::dotProduct(d, d);
    if (!(lengthSquared > 0))
        return pointDistance(point, segmentStart);
    double t = QPointF::dotProduct(point - segmentStart, d) / lengthSquared;
    if (!(t >= 0))
        t = 0;
    else if (t > 1)
        t = 1;
    return pointDistance(point, segmentStart + t * d);
}

bool isShapeHit(const MarkupAnnotation &annotation, QPointF point, QSizeF size, double tolerance)
{
    const QPointF s = annotation.start.toPoint(size);
    const QPointF e = annotation.end.toPoint(size);
    switch (annotation.kind) {
    case AnnotationKind::Arrow: {
        const auto samples = arcSamples(s, arcControlPoint(s, e, annotation.curveDirection), e);
        return std::any_of(samples.begin(), samples.end(),
                           [&](QPointF sample) { return pointDistance(sample, point) <= tolerance; });
    }
    case AnnotationKind::Text:
        return isLabelHit(annotation, point, size);
    case AnnotationKind::Rectangle: {
        // The border band: inside the rectangle grown by the tolerance, but not strictly inside it
        // shrunk by the tolerance (which is null for a rectangle thinner than twice the tolerance).
        const Rect rect = normalizedRect(s, e);
        return rect.grownBy(tolerance).containsInclusive(point)
            && !rect.insetBy(tolerance, tolerance).containsStrictly(point);
    }
    case AnnotationKind::Brush:
        return isBrushHit(annotation, point, size, tolerance);
    }
    return false;
}

bool isHit(const MarkupAnnotation &annotation, QPointF point, QSizeF size, double tolerance)
{
    return isLabelHit(annotation, point, size) || isShapeHit(annotation, point, size, tolerance);
}

std::optional<QUuid> hitShapeAnnotationID(QPointF point, const std::vector<MarkupAnnotation> &annotations,
                                          QSizeF size, double tolerance)
{
    return topmost(annotations, [&](const MarkupAnnotation &a) { return isShapeHit(a, point, size, tolerance); });
}

std::optional<QUuid> hitAnnotationID(QPointF point, const std::vector<MarkupAnnotation> &annotations,
                                     QSizeF size, double tolerance)
{
    return topmost(annotations, [&](const MarkupAnnotation &a) { return isHit(a, point, size, tolerance); });
}

std::optional<ArrowEndpointHit> hitArrowEndpointHandle(QPointF point,
                                                       const std::vector<MarkupAnnotation> &annotations,
                                                       QSizeF size, double tolerance)
{
    for (auto it = annotations.rbegin(); it != annotations.rend(); ++it) {
        if (it->kind != AnnotationKind::Arrow)
            continue;
        if (pointDistance(it->end.toPoint(size), point) <= tolerance)
            return ArrowEndpointHit{it->id, MarkupAnnotationEndpoint::End};
        if (pointDistance(it->start.toPoint(size), point) <= tolerance)
            return ArrowEndpointHit{it->id, MarkupAnnotationEndpoint::Start};
    }
    return std::nullopt;
}

std::optional<ResizeHandleHit> hitAnnotationResizeHandle(QPointF point,
                                                         const std::vector<MarkupAnnotation> &annotations,
                                                         QSizeF size, double tolerance)
{
    for (auto it = annotations.rbegin(); it != annotations.rend(); ++it) {
        if (it->kind != AnnotationKind::Brush)
            continue;
        const std::vector<QPointF> points = brushPoints(*it, size);
        Rect bounds = Rect::null();
        for (const QPointF &p : points)
            bounds = bounds.united(Rect(p.x(), p.y(), 0, 0));
        bounds = bounds.grownBy(16 + 6);
        if (bounds.isEmpty())
            continue;
        if (pointDistance(bounds.bottomRight(), point) <= tolerance)
            return ResizeHandleHit{it->id, MarkupAnnotationResizeHandle::BottomRight};
    }
    return std::nullopt;
}

std::optional<QUuid> hitLabelResizeHandleAnnotationID(QPointF point,
                                                      const std::vector<MarkupAnnotation> &annotations,
                                                      QSizeF size)
{
    return topmost(annotations, [&](const MarkupAnnotation &a) {
        if (!TextRules::hasVisibleText(a.displayText()))
            return false;
        const std::optional<MarkupLabelLayout> layout = labelLayout(a, size);
        if (!layout)
            return false;
        const QPointF corner = layout->bubbleRect.bottomRight();
        return Rect(corner.x() - 12, corner.y() - 12, 24, 24).contains(point);
    });
}

std::optional<QUuid> hitEditableTextAnnotationID(QPointF point, const std::vector<MarkupAnnotation> &annotations,
                                                 QSizeF size)
{
    return topmost(annotations, [&](const MarkupAnnotation &a) {
        if (a.kind != AnnotationKind::Text && !TextRules::hasVisibleText(a.displayText()))
            return false;
        return isLabelHit(a, point, size);
    });
}

std::vector<QUuid> annotationIDs(const Rect &intersecting, const std::vector<MarkupAnnotation> &annotations,
                                 QSizeF size)
{
    std::vector<QUuid> ids;
    for (const MarkupAnnotation &a : annotations) {
        if (annotationBounds(a, size).intersects(intersecting))
            ids.push_back(a.id);
    }
    return ids;
}

} // namespace MarkupGeometry
