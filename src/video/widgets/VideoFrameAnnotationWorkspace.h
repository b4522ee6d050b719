#pragma once

#include "canvas/ImageMarkupWorkspace.h"
#include "model/MarkupTools.h"
#include "video/widgets/VideoTransportPanel.h"

#include <QPointer>
#include <QSizeF>
#include <QWidget>

#include <functional>
#include <map>

class CanvasFrameSource;
class CanvasSurface;
class FeedbackButton;
class MarkupViewModel;
class ToolColumnButton;
class VideoFrameAnnotationStore;
class WorkspaceViewportEventLayer;

namespace VideoCanvasGeometry {
// The video canvas in an area W × H: the transport panel takes the bottom, so the frame is fitted
// into A = H − 104 less margins (at least 240 each way) and centred in A; the visible part is
// measured against the whole area.
WorkspaceCanvasGeometry compute(QSizeF area, QSizeF pixelSize, double zoom, QSizeF panOffset);
} // namespace VideoCanvasGeometry

// The video frame annotation workspace: the column of the five video tools, and the area with
// the frame (the player's picture under the annotations) or the empty state, the fit button and
// the floating transport panel. It keeps no document state: it reads the store and the video view
// model and calls the owner's actions.
//
// Every press and key that reaches the canvas or its editors asks prepareEditAction first, so that
// nothing is drawn on a picture that is playing or about to be replaced.
//
// The pan offset is the owner's: the workspace holds a copy, reports every change through
// panOffsetChanged and takes the owner's value through setPanOffset.
class VideoFrameAnnotationWorkspace final : public QWidget {
    Q_OBJECT

public:
    VideoFrameAnnotationWorkspace(VideoFrameAnnotationStore *store, MarkupViewModel *viewModel,
                                  CanvasFrameSource *frameSource, VideoWorkspaceActions actions,
                                  QWidget *parent = nullptr);
    ~VideoFrameAnnotationWorkspace() override;

    QSizeF panOffset() const { return m_panOffset; }
    void setPanOffset(QSizeF offset);
    // The root view's Escape counter: every change resets the pan offset (not the zoom).
    void setCancelSignal(int signal);

    std::vector<ToolColumnButton *> toolButtons() const;
    CanvasSurface *surface() const { return m_surface; }
    WorkspaceViewportEventLayer *viewportLayer() const { return m_viewport; }
    FeedbackButton *fitButton() const { return m_fitButton; }
    FeedbackButton *emptyStateButton() const { return m_emptyButton; }
    QWidget *emptyState() const { return m_emptyState; }
    VideoTransportPanel *transportPanel() const { return m_transport; }
    bool hasCanvas() const;
    WorkspaceCanvasGeometry canvasGeometry() const;

    static constexpr int toolColumnWidth = 86;

Q_SIGNALS:
    void panOffsetChanged(QSizeF offset);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void buildToolColumn();
    void rebuildToolButtons();
    void refreshToolButtons();
    void selectTool(MarkupTool tool);
    void ensureVideoToolSelected();
    void buildArea();
    void relayout();
    // The canvas and every widget in it (its editors) pass their presses and keys by eventFilter.
    void watchCanvasInput(QObject *object);
    bool isCanvasInput(QObject *object) const;

    QPointer<VideoFrameAnnotationStore> m_store;
    QPointer<MarkupViewModel> m_viewModel;
    QPointer<CanvasFrameSource> m_frameSource;
    VideoWorkspaceActions m_actions;
    QSizeF m_panOffset{0, 0};
    int m_cancelSignal = 0;
    bool m_frameSourceSet = false;
    bool m_showsPlayer = false;

    QWidget *m_toolColumn = nullptr;
    std::vector<ToolColumnButton *> m_toolButtons;
    QWidget *m_area = nullptr;
    CanvasSurface *m_surface = nullptr;
    QWidget *m_viewportArea = nullptr;
    WorkspaceViewportEventLayer *m_viewport = nullptr;
    FeedbackButton *m_fitButton = nullptr;
    QWidget *m_emptyState = nullptr;
    FeedbackButton *m_emptyButton = nullptr;
    VideoTransportPanel *m_transport = nullptr;
};
