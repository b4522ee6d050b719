#pragma once

#include <QImage>
#include <QSize>

// Shrinking large pictures without a full-size 32-bit copy. QImage's smooth scaling first converts
// the whole source to 32 bits per pixel (a one-bit 196-megapixel scan becomes 784 MB), and an
// ARGB32 source to a premultiplied copy of the same size. Here the source is first averaged down
// in blocks of whole pixels, band by band, to about twice the target, and only that small picture
// is scaled smoothly the rest of the way.
namespace ImageReduction {

// The image smoothly scaled to `target` (RGB32, or ARGB32_Premultiplied when it has alpha), with
// its colour space kept. Small reductions are left to QImage::scaled.
QImage scaledSmoothly(const QImage &image, QSize target);

} // namespace ImageReduction
