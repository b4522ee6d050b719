#pragma once

#include "model/MarkupAnnotation.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>
#include <vector>

// Where the floating canvas panels stand, in canvas points (origin at the image's top-left, y
// down) for a canvas of size W × H. Panels are placed by their centre and kept a fixed margin
// inside the canvas; on a canvas too small for a panel the low bound wins, so the panel sits at
// the top-left margin and overhangs to the right and bottom.
namespace PanelPlacement {

// min(max(high, low), max(value, low)): like a clamp, but well defined when low > high, where
// the low bound wins (std::clamp is undefined there and qBound asserts).
double clampLowWins(double value, double low, double high);

// The rectangle of the given size centred on `centre`.
QRectF rectAround(QPointF centre, QSizeF size);

// Inline label text panel: 38 % of the canvas wide (280…380, at most W − 20, at least 176), 142
// high, its top-left on the label point pushed 10 inside the canvas.
QRectF inlineTextPanelRect(QPointF labelPoint, QSizeF canvas);
// The same for an annotation (its label point on this canvas).
QRectF inlineTextPanelRect(const MarkupAnnotation &annotation, QSizeF canvas);

// The top-left of the label bubble grown by 8, or the label point without a bubble.
QPointF labelAnchor(const MarkupAnnotation &annotation, QSizeF canvas);
// A brush stroke's size editor hangs above the stroke: the top-left of its shape bounds, or the
// label anchor when it has none.
QPointF brushAnchor(const MarkupAnnotation &annotation, QSizeF canvas);

// Size editor: 238 wide, 38 high for a brush (one row) and 58 otherwise (two rows).
QSizeF sizeEditorSize(AnnotationKind kind);
// Its bottom edge 44 (brush) or 12 points above the anchor, its left edge on the anchor, kept 8
// inside the canvas.
QPointF sizeEditorCentre(const MarkupAnnotation &annotation, QSizeF canvas);

// Text style editor: 238 × 68 above the label anchor.
QSizeF textStyleEditorSize();
QPointF textStyleEditorCentre(const MarkupAnnotation &annotation, QSizeF canvas);

// Curve toggle: a 32-point circle up-left of the label point.
QSizeF curveToggleSize();
QPointF curveToggleCentre(const MarkupAnnotation &annotation, QSizeF canvas);

// Label width handle: 16 points on the bottom-right corner of the label bubble, not clamped;
// nothing without a bubble.
QSizeF labelWidthHandleSize();
std::optional<QPointF> labelWidthHandleCentre(const MarkupAnnotation &annotation, QSizeF canvas);

// Eyedropper panel: 228 wide, 164 high with the alpha row (alpha < 255) and 146 without; its
// top-left 18 points right of and below the pointer, kept 8 inside the canvas.
QSizeF eyedropperPanelSize(int alpha);
QPointF eyedropperPanelCentre(QPointF pointer, int alpha, QSizeF canvas);

// The panels of one selection never cover each other: the panel moved straight up or down, the
// least distance, so that it stays 8 clear of every taken rectangle and 8 inside the canvas.
// Unchanged when it overlaps none, or when no such place exists.
QRectF clearOf(const QRectF &panel, const std::vector<QRectF> &taken, QSizeF canvas);

// Crop toolbar: centred over the crop rectangle, 98 above its top edge, its centre kept 206
// points from the left and right and 54 from the top and bottom edges.
QPointF cropToolbarCentre(const QRectF &cropRect, QSizeF canvas);

} // namespace PanelPlacement
