#pragma once

#include "model/MarkupTools.h"

#include <QPointF>
#include <QSizeF>
#include <Qt>

#include <optional>

class QWheelEvent;

// The arithmetic of canvas pan and zoom, apart from any widget so it can be checked on its own.
// Sizes and points are in the workspace area's points, y downwards.
namespace ViewportInteraction {

constexpr double minimumZoom = 0.25;
constexpr double maximumZoom = 30;

// A scroll as the canvas reads it: "precise" deltas come from touchpads (points), the others from
// notched wheels (lines).
struct ScrollDeltas {
    double dx = 0;
    double dy = 0;
    bool isPrecise = false;

    bool operator==(const ScrollDeltas &) const = default;
};

// X11 often reports touchpads with angle deltas only, so precision is guessed: pixel deltas, or a
// touchpad device, mean precise. Line deltas are angle / 120; precise deltas are the pixel delta,
// else angle / 120 × 12.
ScrollDeltas scrollDeltas(const QWheelEvent &event);

// What one scroll does.
struct ScrollEffect {
    enum class Kind { None, Pan, Zoom };
    Kind kind = Kind::None;
    QSizeF pan{0, 0}; // for Pan
    double factor = 1; // for Zoom

    bool operator==(const ScrollEffect &) const = default;
};

// Ctrl or Alt always zoom; otherwise the trackpad setting applies to precise deltas and the wheel
// setting to line deltas. The dominant delta decides the zoom (and whether anything happens at
// all); a pan passes both components on.
ScrollEffect scrollEffect(const ScrollDeltas &deltas, Qt::KeyboardModifiers modifiers,
                          const PointerInteractionSettings &settings);

// Zoom factor of a pinch; nothing for a magnification of exactly 0 (the event is not ours).
std::optional<double> magnificationFactor(double magnification);

struct ZoomAndPan {
    double zoom = 1;
    QSizeF pan{0, 0};

    bool operator==(const ZoomAndPan &) const = default;
};

// Zooms by `factor` about `anchor` (a viewport point), keeping the content under it in place. At a
// limit, or for a zoom that is not positive, nothing changes.
ZoomAndPan zoomedAbout(ZoomAndPan current, double factor, QPointF anchor, QSizeF viewport);

// The anchor of an event: its viewport position clamped into the viewport.
QPointF clampedAnchor(QPointF position, QSizeF viewport);

// The side-button binding of a button: BackButton is side button 1, ForwardButton side button 2.
// Nothing for any other button.
std::optional<CanvasMouseButtonAction> sideButtonAction(Qt::MouseButton button,
                                                        const PointerInteractionSettings &settings);

// The middle-button pan: it starts with a middle press inside the area (when the setting pans),
// follows every move wherever the pointer is, and ends with the middle button's release.
class MiddlePanTracker {
public:
    // Whether the press starts a pan (and so is consumed).
    bool press(Qt::MouseButton button, bool insideArea, QPointF windowPoint,
               const PointerInteractionSettings &settings);
    // The pan step of a move while panning.
    std::optional<QSizeF> move(QPointF windowPoint);
    // Whether the release belongs to the pan (and so is consumed).
    bool release(Qt::MouseButton button, const PointerInteractionSettings &settings);
    void reset();
    bool isPanning() const { return m_isPanning; }

private:
    bool m_isPanning = false;
    std::optional<QPointF> m_previousWindowPoint;
};

} // namespace ViewportInteraction
