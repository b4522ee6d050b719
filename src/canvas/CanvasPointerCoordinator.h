#pragma once

#include "markup/MarkupHitTesting.h"
#include "model/MarkupTools.h"
#include "model/MarkupViewModelTypes.h"

#include <QPointF>
#include <QSizeF>
#include <QUuid>
#include <Qt>

#include <functional>
#include <optional>

class MarkupViewModel;

// Turns the left button on the canvas into editing gestures: colour sampling, the crop rectangle,
// inline editing on a double click, dragging arrow ends, resizing brush strokes and label widths,
// moving labels and annotations (Alt-drag duplicates), the marquee, and drawing. It keeps only the
// state of the press in progress; every change of the document is a view model operation.
//
// Points are canvas points (origin at the canvas's top-left, y down), already clamped into the
// canvas. The calling order is one press, any number of drags, one release; hover, Escape and
// Delete may come at any time.
class CanvasPointerCoordinator {
public:
    enum class ModeKind {
        PendingDrawing,
        MovingLabel,
        ResizingLabel,
        ResizingArrowEndpoint,
        ResizingBrush,
        None,
        Cropping,
        Drawing,
        Selecting,
        MovingAnnotation,
    };

    struct Mode {
        ModeKind kind = ModeKind::None;
        MarkupTool tool = MarkupTool::Select;                              // PendingDrawing
        QUuid id = {};                                                     // label, endpoint, brush
        MarkupAnnotationEndpoint endpoint = MarkupAnnotationEndpoint::End; // ResizingArrowEndpoint

        static Mode of(ModeKind kind, MarkupTool tool = MarkupTool::Select, QUuid id = {},
                       MarkupAnnotationEndpoint endpoint = MarkupAnnotationEndpoint::End)
        {
            Mode mode;
            mode.kind = kind;
            mode.tool = tool;
            mode.id = id;
            mode.endpoint = endpoint;
            return mode;
        }

        bool operator==(const Mode &) const = default;
    };

    // The view model must outlive the coordinator. The canvas size is read at every event.
    CanvasPointerCoordinator(MarkupViewModel &viewModel, std::function<QSizeF()> canvasSize);

    void handleLeftDown(QPointF point, int clickCount, Qt::KeyboardModifiers modifiers);
    void handleLeftDrag(QPointF point, Qt::KeyboardModifiers modifiers);
    void handleLeftUp(QPointF point);
    // Nothing when the pointer left the canvas.
    void handleHover(std::optional<QPointF> point);
    // Cancels the view model's transient state; a drag in progress still runs to its release.
    void handleEscape();
    void handleDelete();

    // Whether a crop drag is under way; shared with the canvas and cleared by the crop toolbar.
    bool isCropping() const { return m_isCropping; }
    void setCropping(bool cropping) { m_isCropping = cropping; }
    std::function<bool()> deleteAction;

    // The crop corner whose 28 × 28 handle square contains the point.
    std::optional<CropCorner> cropCorner(QPointF point) const;

    const Mode &mode() const { return m_mode; }
    QPointF dragStart() const { return m_dragStart; }

private:
    QSizeF size() const { return m_canvasSize ? m_canvasSize() : QSizeF(0, 0); }
    void recordMoveUndoOnce();
    void updateCrop(QPointF point);
    void resetPress();

    MarkupViewModel &m_viewModel;
    std::function<QSizeF()> m_canvasSize;
    Mode m_mode;
    QPointF m_dragStart;
    QPointF m_previousPoint;
    bool m_hasStartedDrawing = false;
    bool m_hasRecordedMoveUndo = false;
    bool m_isDuplicatingMove = false;
    bool m_hasDuplicatedForMove = false;
    bool m_movingLabelCanDuplicate = false;
    double m_resizeLabelOriginX = 0;
    std::optional<CropCorner> m_cropCorner;
    bool m_isCropping = false;
};
