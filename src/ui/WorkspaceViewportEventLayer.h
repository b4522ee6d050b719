#pragma once

#include "model/MarkupTools.h"
#include "ui/ViewportInteraction.h"

#include <QObject>
#include <QPointer>
#include <QSizeF>

#include <functional>

class QWidget;

// Gives a workspace's canvas area its pan, zoom and extra mouse buttons: the wheel and trackpad
// scrolling, pinch, the middle button and the two side buttons, according to the user's pointer
// settings. It filters at the level of the area's window (an application event filter that acts
// only on events for that QWindow), so it sees each event once, before any widget, wherever the
// pointer is over the area, even above floating panels. Only a visible, active area reacts: the
// workspaces share one window and hidden pages still exist.
class WorkspaceViewportEventLayer final : public QObject {
    Q_OBJECT

public:
    // The area is the widget whose rectangle takes the events; the layer lives as its child.
    explicit WorkspaceViewportEventLayer(QWidget *area);
    ~WorkspaceViewportEventLayer() override;

    void setPointerSettings(const PointerInteractionSettings &settings) { m_settings = settings; }
    const PointerInteractionSettings &pointerSettings() const { return m_settings; }

    // The two values the layer changes, owned elsewhere.
    std::function<double()> zoom;
    std::function<void(double)> setZoom;
    std::function<QSizeF()> panOffset;
    std::function<void(QSizeF)> setPanOffset;
    // Carries out a side-button action; true when it ran (the click is then consumed).
    std::function<bool(CanvasMouseButtonAction)> sideButtonAction;

    // Without an image there is nothing to pan or zoom: an inactive layer passes everything on.
    void setActive(bool active);
    bool isActive() const { return m_active; }
    bool isPanning() const { return m_pan.isPanning(); }

    // The zoom step about an anchor in area points, through the two bindings.
    void zoomAbout(double factor, QPointF anchor);
    void panBy(QSizeF delta);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isOurWindow(QObject *watched) const;
    bool containsGlobal(QPointF globalPosition) const;
    void updateInstallation();

    QPointer<QWidget> m_area;
    PointerInteractionSettings m_settings;
    ViewportInteraction::MiddlePanTracker m_pan;
    bool m_active = true;
    bool m_installed = false;
};
