#pragma once

#include "canvas/AnnotationOverlay.h"
#include "canvas/CanvasPanels.h"
#include "model/ImageHandle.h"
#include "platform/Rect.h"
#include "ui/ImagePyramid.h"

#include <QColor>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class CanvasFrameSource;
class CanvasInputWidget;
class CanvasPointerCoordinator;
class MarkupViewModel;

// The markup canvas: the current image (or a video frame) as a white card with rounded corners
// and a shadow, the live annotation overlay above it, the input widget over its visible part, and
// the floating panels of the current state above that.
//
// The widget is as large as the canvas area, never as large as the zoomed image (the zoom goes up
// to 30): the picture, the overlay and the card are painted, only where visible and only where
// something changed. The owner places the canvas by its fitted size (before zoom) and its centre;
// the displayed size follows the view model's zoom.
class CanvasSurface final : public QWidget {
    Q_OBJECT

public:
    explicit CanvasSurface(MarkupViewModel *viewModel, QWidget *parent = nullptr);
    ~CanvasSurface() override;

    MarkupViewModel *viewModel() const { return m_viewModel; }

    // The image size fitted into the area, before zoom, and the canvas centre in this widget.
    void setCanvasPlacement(QSizeF fitSize, QPointF centre);
    QSizeF fitSize() const { return m_fitSize; }
    // W × H: the fitted size times the zoom, each side at least 1.
    QSizeF canvasSize() const;
    // The canvas's top-left corner in this widget.
    QPointF canvasOrigin() const;
    // The part of the canvas visible in this widget, in canvas points; null when none is.
    Rect visibleCanvasRect() const;
    QPointF widgetPoint(QPointF canvasPoint) const { return canvasPoint + canvasOrigin(); }

    // Run by the delete keys; returns whether anything was deleted.
    void setDeleteAction(std::function<bool()> action) { m_deleteAction = std::move(action); }
    const std::function<bool()> &deleteAction() const { return m_deleteAction; }

    // A moving picture shown instead of the image while `shows` is true (the video workspace).
    void setFrameSource(CanvasFrameSource *source, bool shows);

    // Rectangles (widget coordinates) of the owner's floating controls whose shadows the canvas
    // paints, since a control cannot paint outside itself.
    void setControlShadows(std::vector<QRectF> rects);

    // The colour around the card.
    void setAreaBackground(const QColor &color);

    // Whether a crop drag is under way (set by the pointer handling, cleared by the crop toolbar).
    bool isCropping() const { return m_isCropping; }
    void setCropping(bool cropping) { m_isCropping = cropping; }

    CanvasInputWidget *inputWidget() const { return m_input; }
    AnnotationOverlay &overlay() { return m_overlay; }

    // The floating panels are made by their owners and placed in canvas points
    // (widgetPoint()); the surface stacks them in order and shows those the state asks for.
    void setPanel(CanvasPanel panel, QWidget *widget);
    QWidget *panel(CanvasPanel panel) const;
    CanvasPanelState panelState() const;

    // Brings the overlay and the picture up to date with the view model now and marks what changed
    // for repainting; returns that region (widget coordinates). Changes are otherwise gathered and
    // applied once per event loop pass.
    QRegion flushPendingChanges();

    // A zoom step of the wheel or a pinch to `zoom` follows: until the wheel has rested for a
    // moment (and while the view model's zoom is that value), the annotations are shown from
    // their kept picture, scaled; then they are drawn exactly at the new size.
    void beginTransientZoom(double zoom);
    bool isTransientZoom() const;

Q_SIGNALS:
    // The canvas moved or changed size: panels place themselves again.
    void canvasGeometryChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void scheduleSync();
    void syncPicture();
    void layoutInput();
    void updatePanels();
    const std::vector<MarkupAnnotation> &currentAnnotations() const;
    AnnotationOverlayDecorations currentDecorations() const;
    QRectF canvasRect() const;

    QPointer<MarkupViewModel> m_viewModel;
    QSizeF m_fitSize{0, 0};
    QPointF m_centre;
    std::function<bool()> m_deleteAction;
    QPointer<CanvasFrameSource> m_frameSource;
    bool m_showsFrameSource = false;
    QColor m_areaBackground;
    bool m_isCropping = false;

    CanvasInputWidget *m_input = nullptr;
    std::unique_ptr<CanvasPointerCoordinator> m_coordinator;
    std::map<CanvasPanel, QPointer<QWidget>> m_panels;

    AnnotationOverlay m_overlay;
    ImageHandle m_pictureHandle;
    ImagePyramid m_pyramid;
    QPixmap m_cardShadow;
    QPixmap m_controlShadow;
    std::vector<QRectF> m_controlShadows;
    bool m_syncPending = false;
    QSizeF m_syncedCanvasSize{0, 0};
    std::optional<double> m_transientZoom;
    QTimer *m_transientZoomRest = nullptr;
};
