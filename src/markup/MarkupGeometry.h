#pragma once

#include "markup/MarkupLabelLayout.h"
#include "model/MarkupAnnotation.h"
#include "platform/Rect.h"

#include <QPointF>
#include <QSizeF>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// Turns annotations stored in unit coordinates into canvas geometry: stroke and font sizes, the
// arrow's arc, label bubbles with their line breaking, and bounds. The canvas overlay, the hit tests,
// the gestures and the renderer all use these functions, so what is drawn on screen, what reacts to
// the pointer and what is exported agree. Canvas space has its origin at the image's top-left
// corner, y downwards, in the units of the `size` argument (displayed points on screen, pixels in
// an export).
namespace MarkupGeometry {

// Number of points an arrow's arc is measured by (t = 0, 0.05, …, 1).
constexpr int arcSampleCount = 21;

// Stroke width for a per-mille line width: lineWidth × long side / 1000, at least 1.1.
double strokeWidth(double lineWidth, QSizeF size);
// Font size for a per-mille font size: fontSize × long side / 1000, at least 2.
double scaledFontSize(double fontSize, QSizeF size);

// Control point of the arrow's quadratic arc: off the chord's midpoint by 18 % of the chord
// (8…96 units), on the side chosen by the sign of `direction`.
QPointF arcControlPoint(QPointF start, QPointF end, double direction);
QPointF quadraticPoint(QPointF start, QPointF control, QPointF end, double t);
// Direction of the quadratic curve at t, in radians.
double quadraticTangentAngle(QPointF start, QPointF control, QPointF end, double t);
// The 21 points by which the arc is measured.
std::array<QPointF, arcSampleCount> arcSamples(QPointF start, QPointF control, QPointF end);

// The rectangle with these two opposite corners.
Rect normalizedRect(QPointF start, QPointF end);

// The end given to an annotation made by a click without a drag.
UnitPoint2D defaultEndPoint(UnitPoint2D from, AnnotationKind kind);

// A brush stroke's points in canvas space; start and end when no points are stored.
std::vector<QPointF> brushPoints(const MarkupAnnotation &annotation, QSizeF size);

// The top-left anchor of the label bubble before it is kept inside the canvas.
QPointF labelPoint(const MarkupAnnotation &annotation, QSizeF size);

// The label bubble, or nothing when the annotation shows no text.
std::optional<MarkupLabelLayout> labelLayout(const MarkupAnnotation &annotation, QSizeF size);

// The bubble grown by 8, or the null rectangle without a label.
Rect labelBounds(const MarkupAnnotation &annotation, QSizeF size);
// The shape's own bounds; a text annotation's are its label's (null without a label).
Rect shapeBounds(const MarkupAnnotation &annotation, QSizeF size);
// Shape and label together.
Rect annotationBounds(const MarkupAnnotation &annotation, QSizeF size);

// The ceiling of the width of a one-line text in the label font at a font size.
double textWidth(const QString &text, double fontSize);

// Greedy line breaking, character by character (user-perceived characters are never split). Every
// newline character splits; an empty piece gives the line " " of width 0; a line always holds at
// least one character; the result is never empty.
std::vector<WrappedLine> wrappedLines(const QString &text, double fontSize, double maxWidth);

} // namespace MarkupGeometry
