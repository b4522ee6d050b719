#include "ui/ViewportInteraction.h"

#include <QInputDevice>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace ViewportInteraction {

ScrollDeltas scrollDeltas(const QWheelEvent &event)
{
    const QPoint pixel = event.pixelDelta();
    const QPoint angle = event.angleDelta();
    const QInputDevice *device = event.device();
    const bool touchpad = device && device->type() == QInputDevice::DeviceType::TouchPad;
    if (!pixel.isNull())
        return {double(pixel.x()), double(pixel.y()), true};
    const double lineX = angle.x() / 120.0;
    const double lineY = angle.y() / 120.0;
    if (touchpad)
        return {lineX * 12, lineY * 12, true};
    return {lineX, lineY, false};
}

ScrollEffect scrollEffect(const ScrollDeltas &deltas, Qt::KeyboardModifiers modifiers,
                          const PointerInteractionSettings &settings)
{
    CanvasScrollAction action = deltas.isPrecise ? settings.trackpadScrollAction : settings.mouseWheelAction;
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier))
        action = CanvasScrollAction::Zoom;
    const double dominant = std::abs(deltas.dx) > std::abs(deltas.dy) ? deltas.dx : deltas.dy;
    if (dominant == 0 || std::isnan(dominant))
        return {};
    if (action == CanvasScrollAction::Pan) {
        const double scale = deltas.isPrecise ? 1 : 12;
        return {ScrollEffect::Kind::Pan, QSizeF(deltas.dx * scale, deltas.dy * scale), 1};
    }
    const double clamped = std::clamp(dominant, -18.0, 18.0);
    const double k = deltas.isPrecise ? 0.012 : 0.075;
    return {ScrollEffect::Kind::Zoom, QSizeF(0, 0), std::exp(clamped * k)};
}

std::optional<double> magnificationFactor(double magnification)
{
    if (magnification == 0 || std::isnan(magnification))
        return std::nullopt;
    return std::max(std::min(1 + magnification, 4.0), 0.1);
}

ZoomAndPan zoomedAbout(ZoomAndPan current, double factor, QPointF anchor, QSizeF viewport)
{
    const double old = current.zoom;
    if (!(old > 0) || !std::isfinite(factor))
        return current;
    const double next = std::clamp(old * factor, minimumZoom, maximumZoom);
    if (next == old)
        return current;
    const double keep = 1 - next / old;
    const QSizeF pan = current.pan;
    return {next, QSizeF(pan.width() + (anchor.x() - viewport.width() * 0.5 - pan.width()) * keep,
                         pan.height() + (anchor.y() - viewport.height() * 0.5 - pan.height()) * keep)};
}

QPointF clampedAnchor(QPointF position, QSizeF viewport)
{
    return QPointF(std::min(std::max(position.x(), 0.0), viewport.width()),
                   std::min(std::max(position.y(), 0.0), viewport.height()));
}

std::optional<CanvasMouseButtonAction> sideButtonAction(Qt::MouseButton button,
                                                        const PointerInteractionSettings &settings)
{
    switch (button) {
    case Qt::BackButton:
        return settings.sideButton1Action;
    case Qt::ForwardButton:
        return settings.sideButton2Action;
    default:
        return std::nullopt;
    }
}

bool MiddlePanTracker::press(Qt::MouseButton button, bool insideArea, QPointF windowPoint,
                             const PointerInteractionSettings &settings)
{
    if (button != Qt::MiddleButton || !insideArea || settings.middleMouseDragAction != CanvasDragAction::Pan)
        return false;
    m_isPanning = true;
    m_previousWindowPoint = windowPoint;
    return true;
}

std::optional<QSizeF> MiddlePanTracker::move(QPointF windowPoint)
{
    if (!m_isPanning || !m_previousWindowPoint)
        return std::nullopt;
    const QPointF step = windowPoint - *m_previousWindowPoint;
    m_previousWindowPoint = windowPoint;
    return QSizeF(step.x(), step.y());
}

bool MiddlePanTracker::release(Qt::MouseButton button, const PointerInteractionSettings &settings)
{
    // Only the buttons this layer owns end a pan: a left release belongs to the canvas and must
    // reach it untouched.
    const bool ours = button == Qt::MiddleButton || button == Qt::BackButton || button == Qt::ForwardButton;
    if (m_isPanning && ours) {
        reset();
        return true;
    }
    if (button == Qt::MiddleButton && settings.middleMouseDragAction == CanvasDragAction::Pan) {
        reset();
        return true;
    }
    return false;
}

void MiddlePanTracker::reset()
{
    m_isPanning = false;
    m_previousWindowPoint.reset();
}

} // namespace ViewportInteraction
