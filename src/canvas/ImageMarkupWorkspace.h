#pragma once

#include "model/MarkupTools.h"
#include "platform/Rect.h"

#include <QPointer>
#include <QSizeF>
#include <QWidget>

#include <functional>

class CanvasSurface;
class FeedbackButton;
class MarkupViewModel;
class WorkspaceViewportEventLayer;

// Where the canvas stands in the canvas area.
struct WorkspaceCanvasGeometry {
    // The image fitted into the area less a margin of 28 on each side (at least 240 × 240); may be
    // larger than the image.
    QSizeF fitSize{0, 0};
    // fitSize × zoom, each side at least 1.
    QSizeF displayedSize{0, 0};
    QPointF centre;
    // In area coordinates; the pan is never clamped, so it may lie partly or wholly outside.
    QRectF canvasRect;
    // The visible part in the canvas's own coordinates; null when nothing is visible.
    Rect visibleCanvasRect = Rect::null();

    bool operator==(const WorkspaceCanvasGeometry &) const = default;
};

namespace WorkspaceGeometry {
WorkspaceCanvasGeometry compute(QSizeF area, QSizeF pixelSize, double zoom, QSizeF panOffset);
// The part of the canvas inside the area (0, 0, area), in the canvas's own coordinates; null when
// nothing is visible.
Rect visibleCanvasPart(const QRectF &canvasRect, QSizeF area);
} // namespace WorkspaceGeometry

// The canvas area of the image markup workspace: the current image on the canvas at the fitted
// size times the zoom, moved by the pan offset, over a neutral background; the wheel, pinch,
// middle and side buttons over the whole area; the fit button in the bottom-right corner; and the
// owner's empty state while there is no current image.
//
// Zoom lives in the view model. The pan offset is the owner's (the root view's): the workspace
// holds a copy, reports every change it makes through panOffsetChanged, and takes the owner's
// value through setPanOffset.
class ImageMarkupWorkspace final : public QWidget {
    Q_OBJECT

public:
    explicit ImageMarkupWorkspace(MarkupViewModel *viewModel, QWidget *parent = nullptr);
    ~ImageMarkupWorkspace() override;

    QSizeF panOffset() const { return m_panOffset; }
    void setPanOffset(QSizeF offset);
    // The root view's Escape counter: every change resets the pan offset (not the zoom).
    void setCancelSignal(int signal);

    // Shown instead of the canvas while there is no current image; the workspace takes it over.
    void setEmptyState(QWidget *emptyState);
    // Handed to the canvas for its delete keys.
    void setDeleteAction(std::function<bool()> action);
    // Run by the fit button.
    void setFitCanvasAction(std::function<void()> action) { m_fitCanvasAction = std::move(action); }
    // Carries out a side-button action; true when it ran.
    void setMouseButtonAction(std::function<bool(CanvasMouseButtonAction)> action);

    WorkspaceCanvasGeometry canvasGeometry() const;
    CanvasSurface *surface() const { return m_surface; }
    WorkspaceViewportEventLayer *viewportLayer() const { return m_viewport; }
    FeedbackButton *fitButton() const { return m_fitButton; }
    QWidget *emptyState() const { return m_emptyState; }
    bool hasCanvas() const;

Q_SIGNALS:
    void panOffsetChanged(QSizeF offset);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void relayout();

    QPointer<MarkupViewModel> m_viewModel;
    QSizeF m_panOffset{0, 0};
    int m_cancelSignal = 0;
    std::function<void()> m_fitCanvasAction;
    std::function<bool(CanvasMouseButtonAction)> m_mouseButtonAction;
    CanvasSurface *m_surface = nullptr;
    WorkspaceViewportEventLayer *m_viewport = nullptr;
    FeedbackButton *m_fitButton = nullptr;
    QPointer<QWidget> m_emptyState;
};
