#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

// PNG files of opaque pictures, encoded in horizontal bands on several cores at once: for a large
// picture that must be written while the user waits (a saved video frame).
//
// Every row is predicted from the average of its left and upper neighbours, the first row of a band
// from the last row of the band above, exactly as in one pass; each band is deflated on its own
// (run-length matches, level 1, the strategy that suits photographic content) and the pieces are
// joined into the one zlib stream a PNG holds, with their checksums combined. Readers see an ordinary
// 8-bit RGB PNG with the same pixels a one-pass encoder writes.
namespace PngBandEncoder {

// 8-bit RGB PNG of the image, alpha (if any) dropped; the resolution is kept as pHYs. Nothing for an
// empty image or when encoding fails. `bands` pieces at most (at least one row each); 0 picks one
// per core.
std::optional<QByteArray> encodeOpaque(const QImage &image, int bands = 0);

} // namespace PngBandEncoder
