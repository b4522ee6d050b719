#include "model/MarkupViewModel.h"

#include "markup/AnnotationEditing.h"
#include "markup/MarkupGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using AnnotationEditing::clamped;

// After a handle drag the resized annotation is the one selected (its shape), no label is being
// edited, and the status names what changed.
void selectResizedShape(MarkupViewModel &model, const QUuid &id, const QString &status)
{
    model.setSelectedAnnotationID(id);
    model.setSelectedAnnotationIDs({id});
    model.setSelectedAnnotationPart(AnnotationSelectionPart::Shape);
    model.setEditingTextAnnotationID(std::nullopt);
    model.setPendingTextFocusID(std::nullopt);
    model.setStatusMessage(status);
}

// Narrowest label bubble a resize leaves, and the margin it keeps to the canvas's right edge.
constexpr double minimumLabelWidth = 64;
constexpr double labelWidthCanvasMargin = 30;
// Label width changes up to this fraction of the canvas are noise from the pointer.
constexpr double labelWidthEpsilon = 0.0001;
// How far one step of a brush resize may shrink or grow the stroke on each axis.
constexpr double minimumBrushScale = 0.2;
constexpr double maximumBrushScale = 6.0;

bool hasArea(QSizeF canvasSize)
{
    return canvasSize.width() > 0 && canvasSize.height() > 0;
}

// A pointer position or step without a number (NaN) moves nothing.
bool isNumber(QPointF point)
{
    return !std::isnan(point.x()) && !std::isnan(point.y());
}

UnitPoint2D unitPoint(QPointF point, QSizeF canvasSize)
{
    return UnitPoint2D(point.x() / canvasSize.width(), point.y() / canvasSize.height());
}

struct SelectionExtent {
    double minX = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();

    void add(double x, double y)
    {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
};

} // namespace

bool MarkupViewModel::duplicateSelectedAnnotationsForDrag()
{
    const std::optional<qsizetype> index = selectedIndex();
    const QSet<QUuid> targets = AnnotationEditing::selectionTargets(*this);
    if (!index || targets.isEmpty())
        return false;
    std::vector<MarkupAnnotation> copies;
    for (const MarkupAnnotation &annotation : m_items[size_t(*index)].annotations) {
        if (targets.contains(annotation.id))
            copies.push_back(AnnotationEditing::copyWithNewID(annotation));
    }
    if (copies.empty())
        return false;

    recordUndoSnapshot();
    std::vector<ImageMarkupItem> items = m_items;
    std::vector<MarkupAnnotation> &list = items[size_t(*index)].annotations;
    list.insert(list.end(), copies.begin(), copies.end());
    AnnotationEditing::renumber(list);
    setItems(std::move(items));

    // The drag that follows carries the copies away and leaves the originals in place.
    QSet<QUuid> copyIDs;
    for (const MarkupAnnotation &copy : copies)
        copyIDs.insert(copy.id);
    setSelectedAnnotationID(copies.back().id);
    setSelectedAnnotationIDs(copyIDs);
    setSelectedAnnotationPart(AnnotationSelectionPart::Shape);
    setEditingTextAnnotationID(std::nullopt);
    setPendingTextFocusID(std::nullopt);
    setStatusMessage(copies.size() == 1 ? QStringLiteral("已复制标注")
                                        : QStringLiteral("已复制 %1 个标注").arg(copies.size()));
    return true;
}

void MarkupViewModel::moveSelectedAnnotations(QSizeF by, QSizeF canvasSize, bool recordsUndo)
{
    const std::optional<qsizetype> index = selectedIndex();
    const QSet<QUuid> targets = AnnotationEditing::selectionTargets(*this);
    if (!index || !hasArea(canvasSize) || targets.isEmpty())
        return;
    const std::vector<MarkupAnnotation> &current = m_items[size_t(*index)].annotations;

    // The group's extent; label positions do not count, so a label may leave with its shape.
    SelectionExtent extent;
    bool anyTarget = false;
    for (const MarkupAnnotation &annotation : current) {
        if (!targets.contains(annotation.id))
            continue;
        anyTarget = true;
        if (annotation.kind == AnnotationKind::Brush && !annotation.points.empty()) {
            for (const UnitPoint2D &p : annotation.points)
                extent.add(p.x, p.y);
        } else {
            extent.add(annotation.start.x, annotation.start.y);
            extent.add(annotation.end.x, annotation.end.y);
        }
    }
    if (!anyTarget || !isNumber(QPointF(by.width(), by.height())))
        return;
    if (recordsUndo)
        recordUndoSnapshot();

    // The group stops at the image border as a whole rather than being squeezed against it.
    double dx = by.width() / canvasSize.width();
    double dy = by.height() / canvasSize.height();
    dx = std::min(std::max(dx, -extent.minX), 1 - extent.maxX);
    dy = std::min(std::max(dy, -extent.minY), 1 - extent.maxY);

    std::vector<ImageMarkupItem> items = m_items;
    for (MarkupAnnotation &annotation : items[size_t(*index)].annotations) {
        if (!targets.contains(annotation.id))
            continue;
        annotation.start = annotation.start.translated(dx, dy);
        annotation.end = annotation.end.translated(dx, dy);
        if (annotation.labelPosition)
            annotation.labelPosition = annotation.labelPosition->translated(dx, dy);
        for (UnitPoint2D &p : annotation.points)
            p = p.translated(dx, dy);
    }
    setItems(std::move(items));
    setStatusMessage(targets.size() < 2 ? QStringLiteral("已移动标注")
                                        : QStringLiteral("已移动 %1 个标注").arg(targets.size()));
}

void MarkupViewModel::moveAnnotationLabel(const QUuid &id, QSizeF by, QSizeF canvasSize, bool recordsUndo)
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!index || !hasArea(canvasSize) || !isNumber(QPointF(by.width(), by.height())))
        return;
    const std::optional<size_t> at = AnnotationEditing::indexOf(m_items[size_t(*index)].annotations, id);
    if (!at)
        return;
    if (recordsUndo)
        recordUndoSnapshot();
    std::vector<ImageMarkupItem> items = m_items;
    MarkupAnnotation &annotation = items[size_t(*index)].annotations[*at];
    // The first move of a label without a stored position fixes it from then on.
    const QPointF anchor = MarkupGeometry::labelPoint(annotation, canvasSize);
    annotation.labelPosition = unitPoint(anchor + QPointF(by.width(), by.height()), canvasSize);
    setItems(std::move(items));
    setStatusMessage(QStringLiteral("已移动标注文字"));
}

void MarkupViewModel::resizeAnnotationLabel(const QUuid &id, double width, QSizeF canvasSize, bool recordsUndo)
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!index || !(canvasSize.width() > 0) || std::isnan(width))
        return;
    const std::optional<size_t> at = AnnotationEditing::indexOf(m_items[size_t(*index)].annotations, id);
    if (!at)
        return;
    const double canvasWidth = canvasSize.width();
    const double w = clamped(width, minimumLabelWidth,
                             std::max(minimumLabelWidth, canvasWidth - labelWidthCanvasMargin));
    const double fraction = w / canvasWidth;
    const double previous = m_items[size_t(*index)].annotations[*at].labelWidth.value_or(0);
    if (std::abs(fraction - previous) <= labelWidthEpsilon)
        return;

    if (recordsUndo)
        recordUndoSnapshot();
    std::vector<ImageMarkupItem> items = m_items;
    items[size_t(*index)].annotations[*at].labelWidth = fraction;
    setItems(std::move(items));
    // Annotations drawn later take the same width.
    m_stylePreset.labelWidth = fraction;
    saveStylePreset();
    setStatusMessage(QStringLiteral("已调整文字框宽度"));
}

void MarkupViewModel::resizeArrowEndpoint(const QUuid &id, MarkupAnnotationEndpoint endpoint, QPointF to,
                                          QSizeF canvasSize, bool recordsUndo)
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!index || !hasArea(canvasSize) || !isNumber(to))
        return;
    const std::optional<size_t> at = AnnotationEditing::indexOf(m_items[size_t(*index)].annotations, id);
    if (!at || m_items[size_t(*index)].annotations[*at].kind != AnnotationKind::Arrow)
        return;
    if (recordsUndo)
        recordUndoSnapshot();
    std::vector<ImageMarkupItem> items = m_items;
    MarkupAnnotation &arrow = items[size_t(*index)].annotations[*at];
    (endpoint == MarkupAnnotationEndpoint::End ? arrow.end : arrow.start) = unitPoint(to, canvasSize);
    setItems(std::move(items));

    selectResizedShape(*this, id, QStringLiteral("已调整箭头长度"));
}

void MarkupViewModel::resizeBrushAnnotation(const QUuid &id, QPointF to, QSizeF canvasSize, bool recordsUndo)
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!index || !hasArea(canvasSize) || !isNumber(to))
        return;
    const std::optional<size_t> at = AnnotationEditing::indexOf(m_items[size_t(*index)].annotations, id);
    if (!at || m_items[size_t(*index)].annotations[*at].kind != AnnotationKind::Brush)
        return;
    const MarkupAnnotation &stroke = m_items[size_t(*index)].annotations[*at];
    const std::vector<QPointF> points = MarkupGeometry::brushPoints(stroke, canvasSize);
    if (points.size() == 1)
        return;
    SelectionExtent bounds;
    for (const QPointF &p : points)
        bounds.add(p.x(), p.y());
    if (bounds.maxX - bounds.minX <= 1 && bounds.maxY - bounds.minY <= 1)
        return;

    if (recordsUndo)
        recordUndoSnapshot();
    // Scaling about the stroke's top-left corner makes its bottom-right corner follow the handle.
    const double width = std::max(bounds.maxX - bounds.minX, 1.0);
    const double height = std::max(bounds.maxY - bounds.minY, 1.0);
    const double sx = clamped(std::max(to.x() - bounds.minX, 1.0) / width, minimumBrushScale, maximumBrushScale);
    const double sy = clamped(std::max(to.y() - bounds.minY, 1.0) / height, minimumBrushScale, maximumBrushScale);
    QList<UnitPoint2D> scaled;
    scaled.reserve(qsizetype(points.size()));
    for (const QPointF &p : points) {
        const double x = clamped(bounds.minX + sx * (p.x() - bounds.minX), 0, canvasSize.width());
        const double y = clamped(bounds.minY + sy * (p.y() - bounds.minY), 0, canvasSize.height());
        scaled.push_back(unitPoint(QPointF(x, y), canvasSize));
    }

    std::vector<ImageMarkupItem> items = m_items;
    MarkupAnnotation &changed = items[size_t(*index)].annotations[*at];
    changed.start = scaled.front();
    changed.end = scaled.back();
    changed.points = std::move(scaled);
    setItems(std::move(items));

    selectResizedShape(*this, id, QStringLiteral("已调整画笔大小"));
}
