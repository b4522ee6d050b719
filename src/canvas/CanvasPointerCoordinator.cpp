#include "canvas/CanvasPointerCoordinator.h"

#include "markup/MarkupGeometry.h"
#include "markup/MarkupViewportGeometry.h"
#include "model/MarkupViewModel.h"
#include "platform/Rect.h"

#include <cmath>

namespace {

const std::vector<MarkupAnnotation> &emptyAnnotations()
{
    static const std::vector<MarkupAnnotation> none;
    return none;
}

// The current image's annotations without copying them.
const std::vector<MarkupAnnotation> &currentAnnotations(const MarkupViewModel &viewModel)
{
    const std::optional<qsizetype> index = viewModel.selectedIndex();
    if (!index)
        return emptyAnnotations();
    return viewModel.items()[size_t(*index)].annotations;
}

bool isSelected(const MarkupViewModel &viewModel, const QUuid &id)
{
    return viewModel.selectedAnnotationID() == id || viewModel.selectedAnnotationIDs().contains(id);
}

} // namespace

CanvasPointerCoordinator::CanvasPointerCoordinator(MarkupViewModel &viewModel, std::function<QSizeF()> canvasSize)
    : m_viewModel(viewModel), m_canvasSize(std::move(canvasSize))
{
}

std::optional<CropCorner> CanvasPointerCoordinator::cropCorner(QPointF point) const
{
    const std::optional<QRectF> &crop = m_viewModel.cropRect();
    if (!crop)
        return std::nullopt;
    const Rect rect = Rect::fromQRectF(*crop);
    if (rect.isEmpty())
        return std::nullopt;
    const std::pair<CropCorner, QPointF> corners[] = {
        {CropCorner::TopLeft, {rect.minX(), rect.minY()}},
        {CropCorner::TopRight, {rect.maxX(), rect.minY()}},
        {CropCorner::BottomLeft, {rect.minX(), rect.maxY()}},
        {CropCorner::BottomRight, {rect.maxX(), rect.maxY()}},
    };
    for (const auto &[corner, at] : corners) {
        if (Rect(at.x() - 14, at.y() - 14, 28, 28).contains(point))
            return corner;
    }
    return std::nullopt;
}

void CanvasPointerCoordinator::handleLeftDown(QPointF point, int clickCount, Qt::KeyboardModifiers modifiers)
{
    m_dragStart = m_previousPoint = point;
    m_hasStartedDrawing = m_hasRecordedMoveUndo = m_hasDuplicatedForMove = m_movingLabelCanDuplicate = false;
    m_isDuplicatingMove = modifiers.testFlag(Qt::AltModifier);
    m_resizeLabelOriginX = 0;
    m_cropCorner.reset();
    const QSizeF canvas = size();
    const MarkupTool tool = m_viewModel.selectedTool();

    if (tool == MarkupTool::Eyedropper) {
        m_viewModel.sampleColor(point, canvas);
        m_mode = {};
        return;
    }
    if (tool == MarkupTool::Crop) {
        m_cropCorner = cropCorner(point);
        m_mode = Mode::of(ModeKind::Cropping);
        m_isCropping = true;
        if (!m_cropCorner)
            m_viewModel.updateCropRect(point, point, canvas);
        return;
    }
    if (clickCount >= 2) {
        m_viewModel.beginTextEditing(point, canvas);
        m_mode = {};
        return;
    }

    const std::vector<MarkupAnnotation> all = currentAnnotations(m_viewModel);
    std::vector<MarkupAnnotation> selected;
    for (const MarkupAnnotation &annotation : all) {
        if (isSelected(m_viewModel, annotation.id))
            selected.push_back(annotation);
    }

    if (const auto hit = MarkupGeometry::hitArrowEndpointHandle(point, selected, canvas, 14)) {
        m_viewModel.selectAnnotation(std::optional<QUuid>(hit->id));
        m_mode = Mode::of(ModeKind::ResizingArrowEndpoint, tool, hit->id, hit->endpoint);
        return;
    }
    if (const auto hit = MarkupGeometry::hitAnnotationResizeHandle(point, selected, canvas, 16)) {
        m_viewModel.selectAnnotation(std::optional<QUuid>(hit->id));
        m_mode = Mode::of(ModeKind::ResizingBrush, tool, hit->id);
        return;
    }
    if (const auto id = MarkupGeometry::hitLabelResizeHandleAnnotationID(point, all, canvas)) {
        m_viewModel.selectAnnotationLabel(id);
        m_mode = {};
        for (const MarkupAnnotation &annotation : currentAnnotations(m_viewModel)) {
            if (annotation.id != *id)
                continue;
            if (const auto layout = MarkupGeometry::labelLayout(annotation, canvas)) {
                m_mode = Mode::of(ModeKind::ResizingLabel, tool, *id);
                m_resizeLabelOriginX = layout->bubbleRect.minX();
            }
            break;
        }
        return;
    }
    if (const auto id = MarkupGeometry::hitEditableTextAnnotationID(point, all, canvas)) {
        if (m_isDuplicatingMove) {
            m_viewModel.selectAnnotationForDrag(*id);
            m_mode = Mode::of(ModeKind::MovingAnnotation);
        } else {
            m_viewModel.selectAnnotationLabelForDrag(*id);
            m_movingLabelCanDuplicate = true;
            m_mode = Mode::of(ModeKind::MovingLabel, tool, *id);
        }
        return;
    }
    if (const auto id = m_viewModel.hitShapeAnnotationID(point, canvas)) {
        m_viewModel.selectAnnotationForDrag(*id);
        m_mode = Mode::of(ModeKind::MovingAnnotation);
        return;
    }
    switch (tool) {
    case MarkupTool::Select:
        m_mode = Mode::of(ModeKind::Selecting);
        m_viewModel.setSelectionRect(QRectF(point, QSizeF(0, 0)));
        break;
    case MarkupTool::Arrow:
    case MarkupTool::Rectangle:
        m_mode = Mode::of(ModeKind::PendingDrawing, tool);
        break;
    case MarkupTool::Text:
    case MarkupTool::Brush:
        m_hasStartedDrawing = true;
        m_mode = Mode::of(ModeKind::Drawing);
        m_viewModel.beginGesture(tool, MarkupGeometry::normalizedPoint(point, canvas));
        break;
    case MarkupTool::Crop:
    case MarkupTool::Eyedropper:
        break;
    }
}

void CanvasPointerCoordinator::recordMoveUndoOnce()
{
    if (m_hasRecordedMoveUndo)
        return;
    m_viewModel.recordUndoSnapshot(std::nullopt);
    m_hasRecordedMoveUndo = true;
}

void CanvasPointerCoordinator::updateCrop(QPointF point)
{
    if (m_cropCorner)
        m_viewModel.resizeCropRect(*m_cropCorner, point, size());
    else
        m_viewModel.updateCropRect(m_dragStart, point, size());
}

void CanvasPointerCoordinator::handleLeftDrag(QPointF point, Qt::KeyboardModifiers modifiers)
{
    const QSizeF canvas = size();
    const UnitPoint2D unit = MarkupGeometry::normalizedPoint(point, canvas);
    const bool altNow = modifiers.testFlag(Qt::AltModifier);
    switch (m_mode.kind) {
    case ModeKind::PendingDrawing: {
        const QPointF d = point - m_dragStart;
        if (std::hypot(d.x(), d.y()) < 4)
            return;
        m_viewModel.beginGesture(m_mode.tool, MarkupGeometry::normalizedPoint(m_dragStart, canvas));
        m_viewModel.updateGesture(unit);
        m_hasStartedDrawing = true;
        m_mode = Mode::of(ModeKind::Drawing);
        return;
    }
    case ModeKind::Drawing:
        m_viewModel.updateGesture(unit);
        return;
    case ModeKind::MovingAnnotation: {
        const QPointF delta = point - m_previousPoint;
        if (!delta.isNull()) {
            if ((m_isDuplicatingMove || altNow) && !m_hasDuplicatedForMove) {
                // The duplication is the press's undo step.
                const bool ok = m_viewModel.duplicateSelectedAnnotationsForDrag();
                m_hasDuplicatedForMove = m_hasRecordedMoveUndo = ok;
            } else {
                recordMoveUndoOnce();
            }
        }
        m_viewModel.moveSelectedAnnotations(QSizeF(delta.x(), delta.y()), canvas, false);
        m_previousPoint = point;
        return;
    }
    case ModeKind::MovingLabel: {
        const QPointF delta = point - m_previousPoint;
        if (!delta.isNull()) {
            if (altNow && m_movingLabelCanDuplicate && !m_hasDuplicatedForMove) {
                const bool ok = m_viewModel.duplicateSelectedAnnotationsForDrag();
                m_hasDuplicatedForMove = m_hasRecordedMoveUndo = m_isDuplicatingMove = ok;
                m_movingLabelCanDuplicate = false;
                m_viewModel.moveSelectedAnnotations(QSizeF(delta.x(), delta.y()), canvas, false);
                m_previousPoint = point;
                // The copies are the selection now; the rest of the drag carries them, as an
                // Alt-drag that started on the shape would.
                if (ok)
                    m_mode = Mode::of(ModeKind::MovingAnnotation);
                return;
            }
            recordMoveUndoOnce();
        }
        m_viewModel.moveAnnotationLabel(m_mode.id, QSizeF(delta.x(), delta.y()), canvas, false);
        m_previousPoint = point;
        return;
    }
    case ModeKind::ResizingLabel:
        if (point != m_previousPoint)
            recordMoveUndoOnce();
        m_viewModel.resizeAnnotationLabel(m_mode.id, point.x() - m_resizeLabelOriginX - 14, canvas, false);
        return;
    case ModeKind::ResizingArrowEndpoint:
        if (point != m_previousPoint)
            recordMoveUndoOnce();
        m_viewModel.resizeArrowEndpoint(m_mode.id, m_mode.endpoint, point, canvas, false);
        return;
    case ModeKind::ResizingBrush:
        if (point != m_previousPoint)
            recordMoveUndoOnce();
        m_viewModel.resizeBrushAnnotation(m_mode.id, point, canvas, false);
        return;
    case ModeKind::Cropping:
        m_isCropping = true;
        updateCrop(point);
        return;
    case ModeKind::Selecting:
        m_viewModel.setSelectionRect(MarkupGeometry::normalizedRect(m_dragStart, point).toQRectF());
        return;
    case ModeKind::None:
        return;
    }
}

void CanvasPointerCoordinator::handleLeftUp(QPointF point)
{
    const QSizeF canvas = size();
    switch (m_mode.kind) {
    case ModeKind::PendingDrawing:
        m_viewModel.selectAnnotation(point, canvas);
        break;
    case ModeKind::Drawing:
        if (m_hasStartedDrawing)
            m_viewModel.finishGesture(MarkupGeometry::normalizedPoint(point, canvas));
        break;
    case ModeKind::Selecting:
        m_viewModel.finishMarqueeSelection(m_dragStart, point, canvas);
        break;
    case ModeKind::Cropping: {
        updateCrop(point);
        const std::optional<QRectF> &crop = m_viewModel.cropRect();
        m_isCropping = crop && !Rect::fromQRectF(*crop).isEmpty();
        break;
    }
    default:
        break;
    }
    resetPress();
}

void CanvasPointerCoordinator::resetPress()
{
    m_mode = {};
    m_hasStartedDrawing = m_hasRecordedMoveUndo = m_isDuplicatingMove = false;
    m_hasDuplicatedForMove = m_movingLabelCanDuplicate = false;
    m_resizeLabelOriginX = 0;
    m_cropCorner.reset();
}

void CanvasPointerCoordinator::handleHover(std::optional<QPointF> point)
{
    if (point) {
        m_viewModel.updateColorSamplePreview(*point, size());
        return;
    }
    if (!m_viewModel.isColorSampleLocked()) {
        m_viewModel.setColorSamplePreview(std::nullopt);
        m_viewModel.setColorSampleLocked(false);
    }
}

void CanvasPointerCoordinator::handleEscape()
{
    m_viewModel.cancelCurrentOperation();
    m_isCropping = false;
}

void CanvasPointerCoordinator::handleDelete()
{
    if (deleteAction)
        deleteAction();
}
