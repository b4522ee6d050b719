#pragma once

#include <QByteArray>

// What a PNG's colour chunks say of its pixels, read before the image data.
namespace PngColourChunks {

// How much of a PNG's start is enough for its colour chunks, which come before its image data.
constexpr qint64 headBytes = qint64(256) << 10;

// Whether the PNG states sRGB through its gamma alone: a gAMA chunk of 1/2.2 and, where it has
// one, a cHRM chunk of sRGB's primaries and white point, each within the tolerance libpng allows
// between them and sRGB, and no sRGB or iCCP chunk (those are read as they say). Many writers
// record an sRGB picture so; a converter building a pure 2.2 curve from it would shift every
// colour. False for any other file, and for a head that ends before the image data.
bool statesSrgbByGamma(const QByteArray &head);

} // namespace PngColourChunks
