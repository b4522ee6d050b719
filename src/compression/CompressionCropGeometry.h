#pragma once

#include "model/MarkupViewModelTypes.h"
#include "platform/Rect.h"

#include <QPointF>
#include <QSizeF>

#include <array>
#include <optional>
#include <utility>

// The geometry of the compression crop editor and of the preview it draws on. Rectangles are in
// preview points: origin at the preview's top-left corner, x to the right, y downwards.
namespace CompressionCropGeometry {

// The grab distance of a corner on each axis, and the smallest side a confirmed crop may have.
inline constexpr double cornerGrabDistance = 18;
inline constexpr double minimumCropSide = 8;

// The pixel size scaled by min(520 / w, 340 / h) (small images are enlarged); 320 × 240 when a
// side is not positive.
QSizeF previewSize(QSizeF pixelSize);

// The preview inset by a tenth on every side.
Rect startRect(QSizeF preview);

// The largest rectangle of ratio r inside `rect`, about the same centre and kept inside the
// preview; `rect` unchanged when it does not overlap the preview with a positive size.
Rect fittedRect(const Rect &rect, double ratio, QSizeF preview);

// The four corners in the fixed order top-left, top-right, bottom-left, bottom-right.
std::array<std::pair<QPointF, CropCorner>, 4> handlePoints(const Rect &rect);
// The first corner (in handle order) within the grab distance of the point on both axes.
std::optional<CropCorner> cornerAt(const Rect &rect, QPointF point);
// The corner diagonally across from the given one.
QPointF oppositeCorner(const Rect &rect, CropCorner corner);

// Each coordinate kept within 0…W and 0…H.
QPointF clampedPoint(QPointF point, QSizeF preview);

// The rectangle a drag from the anchor to the (clamped) point spans, with the ratio when there is
// one, growing towards the point and cut to the preview.
Rect dragRect(QPointF anchor, QPointF point, std::optional<double> ratio, QSizeF preview);

// The rectangle in unit coordinates of the image, or nothing when a side is below the minimum or
// the preview has no area.
std::optional<QRectF> unitRect(const Rect &rect, QSizeF preview);

} // namespace CompressionCropGeometry
