#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QRgb>

#include <vector>

// Coverage rasterisation of annotation shapes straight into a bitmap, for the renderer's fast path.
//
// The painter's own rasteriser spends most of an export on wide round-joined brush strokes and on
// large label glyphs, which it fills as paths: both give it outlines with many short, overlapping
// edges, and its cell bookkeeping grows badly with them. Here a stroke with round caps and joins is
// rasterised as what it is, the set of points within half the width of the centre line (each pixel
// takes its distance to the nearest segment), and filled outlines use signed-area accumulation,
// which gives the same area coverage with the non-zero rule. Rows are independent in both, so the
// bitmap is cut into horizontal bands painted in parallel, each band drawing every shape in order.
namespace AnnotationRaster {

struct Segment {
    QPointF a;
    QPointF b;
};

struct Shape {
    enum class Kind { Stroke, Fill };
    Kind kind = Kind::Fill;
    // Stroke: the centre line's segments (caps and joins are round, so their order and closure
    // do not matter). Fill: the edges of closed outlines, each in its drawing direction.
    std::vector<Segment> segments;
    // Half the stroke width in device pixels (strokes only).
    double halfWidth = 0;
    // Premultiplied colour with the painter's opacity applied.
    QRgb colour = 0;
    // Device pixels the shape may change; the bitmap's rectangle when unclipped.
    QRect clip;
    // Device-space bounds of the covered area (segments grown by the half width).
    QRectF bounds;
};

// Whether the bitmap's pixel format is one the compositing below writes (32-bit, premultiplied or
// opaque).
bool supportsFormat(QImage::Format format);

// Draws the shapes in list order with source-over compositing and antialiased edges.
void paint(QImage &image, const std::vector<Shape> &shapes);

// Fraction of a unit pixel whose centre is at `s` from a straight edge with unit normal (nx, ny)
// that lies on the inner side (a box filter, exact for a straight edge).
double edgeCoverage(double s, double nx, double ny);

} // namespace AnnotationRaster
