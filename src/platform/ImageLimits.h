#pragma once

#include <QtGlobal>

// Limits on decoded images. Qt refuses any image whose decoded buffer exceeds its allocation
// limit (128 MB by default, which already turns away an ordinary 40-megapixel photo), so start-up
// raises it; the pixel cap below still keeps hostile files ("decompression bombs") from asking for
// gigabytes.
namespace ImageLimits {

// Largest decoded buffer QImageReader may allocate, in megabytes.
constexpr int allocationLimitMB = 1024;

// Largest image we accept, in pixels (width × height): about 200 megapixels.
constexpr qint64 maxPixels = 200'000'000;

// Applies the allocation limit to QImageReader; call once at start-up.
void configure();

// Whether an image of this size may be decoded.
bool isAcceptableSize(qint64 width, qint64 height);

} // namespace ImageLimits
