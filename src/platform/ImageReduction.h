#pragma once

#include <QImage>
#include <QSize>

// Shrinking large pictures without a full-size 32-bit copy. QImage's smooth scaling first converts
// the whole source to 32 bits per pixel (a one-bit 196-megapixel scan becomes 784 MB), and an
// ARGB32 source to a premultiplied copy of the same size. Here each target pixel is the mean of
// the source area it covers, and the source is converted a few megabytes of rows at a time.
namespace ImageReduction {

// The image smoothly scaled to `target` (RGB32, or ARGB32_Premultiplied when it has alpha), with
// its colour space kept. Reductions to more than half a side are left to QImage::scaled.
QImage scaledSmoothly(const QImage &image, QSize target);

// Whether scaledSmoothly averages areas for this reduction (by at least half on each side) rather
// than leaving it to QImage::scaled.
bool reducesByArea(const QImage &image, QSize target);

// After the pixels of `image` in `changed` changed, brings `scaled` (what scaledSmoothly made of the
// image before, or a zero-filled image of that size and format while everything outside `changed`
// is transparent black) up to date, touching only the target pixels those source pixels reach. The
// result is pixel for pixel what scaledSmoothly would make now. False when the reduction is not
// one of averaged areas or memory runs out.
bool updateScaled(const QImage &image, QImage &scaled, QRect changed);

} // namespace ImageReduction
