#pragma once

#include "model/MarkupAnnotation.h"
#include "platform/Rect.h"

#include <QPointF>
#include <QSizeF>

// Conversions between canvas, unit and viewport coordinates for the canvas's zoom and pan.
namespace MarkupGeometry {

// The point as fractions of the size, clamped to 0…1; (0, 0) for a size without area.
UnitPoint2D normalizedPoint(QPointF point, QSizeF size);
QPointF canvasPoint(QPointF interactionPoint, QPointF interactionOrigin);
// The image size scaled (up or down) to fit the container; 0 × 0 when either has no area.
QSizeF aspectFitSize(QSizeF imageSize, QSizeF containerSize);
// The part of a canvas at `canvasOrigin` that a viewport at (0, 0) shows, in the canvas's own
// coordinates; the null rectangle when nothing is visible.
Rect visibleCanvasRect(QPointF canvasOrigin, QSizeF canvasSize, QSizeF viewportSize);
// The pan that keeps the content under `workspacePoint` in place when the zoom changes by `scale`,
// for content centred in the workspace and shifted by the pan.
QSizeF panOffsetAfterZoom(QSizeF currentPan, QPointF workspacePoint, QSizeF workspaceSize, double scale);
// The image shown at the scale at which the base image fits the canvas.
QSizeF proportionalComparisonLayerSize(QSizeF imageSize, QSizeF baseSize, QSizeF canvasSize);

// The boxes the fit commands fit a picture into. The video canvas shares its workspace with the
// transport panel below it, so its box is 60 points lower than the image markup canvas's.
inline constexpr QSizeF imageMarkupFitBox(960, 620);
inline constexpr QSizeF videoFrameFitBox(960, 560);

// The view model's zoom that shows a picture of this pixel size fitted into the box, within the
// zoom limits. The canvas already shows a picture at its fitted size, so any picture with an area
// gets 1; one without gets the largest zoom (a quotient by zero is infinite).
double fittedZoom(QSizeF pixelSize, QSizeF box);

} // namespace MarkupGeometry
