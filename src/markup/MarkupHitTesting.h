#pragma once

#include "model/MarkupAnnotation.h"
#include "platform/Rect.h"

#include <QPointF>
#include <QSizeF>
#include <QUuid>

#include <optional>
#include <vector>

// Which end of an arrow a press grabbed.
enum class MarkupAnnotationEndpoint { Start, End };

// The resize handle of a brush stroke.
enum class MarkupAnnotationResizeHandle { BottomRight };

struct ArrowEndpointHit {
    QUuid id;
    MarkupAnnotationEndpoint endpoint = MarkupAnnotationEndpoint::End;

    bool operator==(const ArrowEndpointHit &) const = default;
};

struct ResizeHandleHit {
    QUuid id;
    MarkupAnnotationResizeHandle handle = MarkupAnnotationResizeHandle::BottomRight;

    bool operator==(const ResizeHandleHit &) const = default;
};

// What lies under the pointer. Points are in canvas space; the annotation list is ordered bottom to
// top, so every test returning one annotation walks it from the last entry and the topmost wins.
// Tolerances are inclusive on every side: a point at exactly the tolerance is a hit.
namespace MarkupGeometry {

// Grow of a label bubble within which the label counts as hit.
constexpr double labelHitMargin = 8;

bool isShapeHit(const MarkupAnnotation &annotation, QPointF point, QSizeF size, double tolerance);
// The label bubble (grown by 8) or the shape.
bool isHit(const MarkupAnnotation &annotation, QPointF point, QSizeF size, double tolerance);
double distance(QPointF point, QPointF segmentStart, QPointF segmentEnd);

std::optional<QUuid> hitShapeAnnotationID(QPointF point, const std::vector<MarkupAnnotation> &annotations,
                                          QSizeF size, double tolerance);
std::optional<QUuid> hitAnnotationID(QPointF point, const std::vector<MarkupAnnotation> &annotations,
                                     QSizeF size, double tolerance);
// Arrows only; the end is tested before the start.
std::optional<ArrowEndpointHit> hitArrowEndpointHandle(QPointF point,
                                                       const std::vector<MarkupAnnotation> &annotations,
                                                       QSizeF size, double tolerance);
// Brush strokes only: the bottom-right corner of their points' bounds grown by 22.
std::optional<ResizeHandleHit> hitAnnotationResizeHandle(QPointF point,
                                                         const std::vector<MarkupAnnotation> &annotations,
                                                         QSizeF size, double tolerance);
// The 24 × 24 square centred on a label bubble's bottom-right corner (half-open containment).
std::optional<QUuid> hitLabelResizeHandleAnnotationID(QPointF point,
                                                      const std::vector<MarkupAnnotation> &annotations,
                                                      QSizeF size);
// A label that a double click edits: text annotations always, others when they show text.
std::optional<QUuid> hitEditableTextAnnotationID(QPointF point, const std::vector<MarkupAnnotation> &annotations,
                                                 QSizeF size);
// The ids, in list order, of annotations whose bounds intersect the rectangle.
std::vector<QUuid> annotationIDs(const Rect &intersecting, const std::vector<MarkupAnnotation> &annotations,
                                 QSizeF size);

} // namespace MarkupGeometry
