#include "ui/WorkspaceViewportEventLayer.h"

#include <QApplication>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

WorkspaceViewportEventLayer::WorkspaceViewportEventLayer(QWidget *area) : QObject(area), m_area(area)
{
    // The area's own show and hide decide whether the application filter is installed.
    area->installEventFilter(this);
    updateInstallation();
}

WorkspaceViewportEventLayer::~WorkspaceViewportEventLayer()
{
    if (m_installed && qApp)
        qApp->removeEventFilter(this);
}

void WorkspaceViewportEventLayer::setActive(bool active)
{
    m_active = active;
    if (!active)
        m_pan.reset();
    updateInstallation();
}

void WorkspaceViewportEventLayer::updateInstallation()
{
    const bool wanted = m_active && m_area && m_area->isVisible();
    if (wanted == m_installed)
        return;
    if (wanted)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
    m_installed = wanted;
    if (!wanted)
        m_pan.reset();
}

bool WorkspaceViewportEventLayer::isOurWindow(QObject *watched) const
{
    if (!m_active || !m_area || !m_area->isVisible())
        return false;
    const QWidget *top = m_area->window();
    return top && top->windowHandle() && watched == top->windowHandle();
}

bool WorkspaceViewportEventLayer::containsGlobal(QPointF globalPosition) const
{
    return m_area->rect().contains(m_area->mapFromGlobal(globalPosition.toPoint()));
}

void WorkspaceViewportEventLayer::zoomAbout(double factor, QPointF anchor)
{
    if (!zoom || !setZoom || !panOffset || !setPanOffset || !m_area)
        return;
    const ViewportInteraction::ZoomAndPan current{zoom(), panOffset()};
    const ViewportInteraction::ZoomAndPan next =
        ViewportInteraction::zoomedAbout(current, factor, anchor, QSizeF(m_area->size()));
    if (next.zoom == current.zoom)
        return;
    setZoom(next.zoom);
    setPanOffset(next.pan);
}

void WorkspaceViewportEventLayer::panBy(QSizeF delta)
{
    if (panOffset && setPanOffset)
        setPanOffset(panOffset() + delta);
}

bool WorkspaceViewportEventLayer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_area) {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
            updateInstallation();
        return false;
    }
    switch (event->type()) {
    case QEvent::Wheel: {
        if (!isOurWindow(watched))
            return false;
        auto *wheel = static_cast<QWheelEvent *>(event);
        if (!containsGlobal(wheel->globalPosition()))
            return false;
        const ViewportInteraction::ScrollEffect effect = ViewportInteraction::scrollEffect(
            ViewportInteraction::scrollDeltas(*wheel), wheel->modifiers(), m_settings);
        using Kind = ViewportInteraction::ScrollEffect::Kind;
        if (effect.kind == Kind::Pan)
            panBy(effect.pan);
        else if (effect.kind == Kind::Zoom)
            zoomAbout(effect.factor, ViewportInteraction::clampedAnchor(
                                         m_area->mapFromGlobal(wheel->globalPosition()), QSizeF(m_area->size())));
        return true;
    }
    case QEvent::NativeGesture: {
        if (!isOurWindow(watched))
            return false;
        auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() != Qt::ZoomNativeGesture || !containsGlobal(gesture->globalPosition()))
            return false;
        const std::optional<double> factor = ViewportInteraction::magnificationFactor(gesture->value());
        if (!factor)
            return false;
        zoomAbout(*factor, ViewportInteraction::clampedAnchor(m_area->mapFromGlobal(gesture->globalPosition()),
                                                              QSizeF(m_area->size())));
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        if (!isOurWindow(watched))
            return false;
        auto *mouse = static_cast<QMouseEvent *>(event);
        const Qt::MouseButton button = mouse->button();
        if (button == Qt::LeftButton || button == Qt::RightButton)
            return false;
        if (!containsGlobal(mouse->globalPosition()))
            return false;
        if (m_pan.press(button, true, mouse->scenePosition(), m_settings))
            return true;
        const std::optional<CanvasMouseButtonAction> action =
            ViewportInteraction::sideButtonAction(button, m_settings);
        if (!action || *action == CanvasMouseButtonAction::None || !sideButtonAction)
            return false;
        return sideButtonAction(*action);
    }
    case QEvent::MouseMove: {
        if (!m_pan.isPanning() || !isOurWindow(watched))
            return false;
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (const std::optional<QSizeF> step = m_pan.move(mouse->scenePosition())) {
            panBy(*step);
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonRelease: {
        if (!isOurWindow(watched))
            return false;
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton)
            return false;
        return m_pan.release(mouse->button(), m_settings);
    }
    default:
        return false;
    }
}
