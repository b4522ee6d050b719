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

} // namespace ImageReduction
