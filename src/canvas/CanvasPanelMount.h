#pragma once

#include <QRect>

class CanvasPanelSet;
class CanvasSurface;
class MarkupViewModel;
class QPainter;
class QWidget;

// Puts the floating panels on a markup canvas: one panel set per canvas surface, each panel in its
// slot (the surface shows the ones the state asks for), filled and placed again on every change of
// the view model or of the canvas geometry.
namespace CanvasPanelMount {

CanvasPanelSet *mount(CanvasSurface &surface, MarkupViewModel &viewModel);

// The soft shadows of the surface's visible floating panels that reach into `clip`; the surface
// paints them over the canvas, under the panels themselves.
void paintShadows(QPainter &painter, const QWidget &surface, const QRect &clip);

} // namespace CanvasPanelMount
