#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>

// The sizes and positions of the comparison canvas, in points.
namespace ComparisonGeometry {

// The smallest and largest divider position a drag writes.
constexpr double minimumDragFraction = 0.02;
constexpr double maximumDragFraction = 0.98;

// The component-wise maximum of the two pixel sizes.
QSizeF referenceSize(QSizeF beforePixels, QSizeF afterPixels);

// The reference size scaled (up or down) into the canvas area less 28 on each side, the box never
// smaller than 240 × 240; (0, 0) when the reference or the box is empty.
QSizeF fitSize(QSizeF reference, QSizeF area);

// The fitted size times the zoom, never below 1 × 1.
QSizeF canvasSize(QSizeF fitSize, double zoom);

// The drawn size of one image at the scale that fits the reference into the canvas; the whole
// canvas for an image or reference without area, (0, 0) for a canvas without area.
QSizeF layerSize(QSizeF pixelSize, QSizeF reference, QSizeF canvas);

// The visible width of a layer's mask: the part left of the divider for the before side
// (`trailing` false), right of it for the after side; never negative or above the width, and 0 for
// a fraction that is not a number.
double maskWidth(double fraction, double width, bool trailing);

// The rectangle of size `size` centred in `bounds`.
QRectF centred(QSizeF size, const QRectF &bounds);

// The divider's x within a canvas `width` wide: the fraction clamped to 0…1, not-a-number as 0.
double dividerX(double fraction, double width);

// The fraction a press or drag at x writes, or nothing for a canvas without width.
std::optional<double> dragFraction(double x, double width);

} // namespace ComparisonGeometry
