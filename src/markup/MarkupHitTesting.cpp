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

// Squared distance from p to the segment a–b, for the quick test before the exact one.
double squaredSegmentDistance(QPointF p, QPointF a, QPointF b)
{
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0 ? ((p.x() - a.x()) * dx + (p.y() - a.y()) * dy) / lengthSquared : 0;
    t = t > 0 ? (t < 1 ? t : 1) : 0;
    const double ex = a.x() + t * dx - p.x(), ey = a.y() + t * dy - p.y();
    return ex * ex + ey * ey;
}

bool isBrushHit(const MarkupAnnotation &annotation, QPointF point, QSizeF size, double tolerance)
{
    const QList<UnitPoint2D> &stored = annotation.points;
    if (stored.empty())
        return distance(point, annotation.start.toPoint(size), annotation.end.toPoint(size)) <= tolerance;
    const double w = size.width(), h = size.height();
    const auto at = [&](qsizetype i) { return QPointF(stored[i].x * w, stored[i].y * h); };
    if (stored.size() == 1)
        return pointDistance(at(0), point) <= tolerance;

    // Long strokes are tested on every pointer move: reject by the stroke's bounds first, then
    // compare squared distances and confirm only near misses exactly.
    double minX = stored[0].x, maxX = minX, minY = stored[0].y, maxY = minY;
    for (const UnitPoint2D &p : stored) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    if (!Rect::spanning(QPointF(minX * w, minY * h), QPointF(maxX * w, maxY * h)).grownBy(tolerance).containsInclusive(point))
        return false;
    const double nearEnough = tolerance * tolerance * (1 + 1e-9) + 1e-12;
    QPointF previous = at(0);
    for (qsizetype i = 1; i < stored.size(); ++i) {
        const QPointF current = at(i);
        if (squaredSegmentDistance(point, previous, current) <= nearEnough
            && distance(point, previous, current) <= tolerance)
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
