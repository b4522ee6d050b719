#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>

// TIFF pages of CMYK ink, read here through libtiff in every layout (strips or tiles, samples
// interleaved or in planes, 8 or 16 bits) and converted through their CMYK profile to sRGB: Qt's
// reader turns CMYK into RGB without any profile (and drops a CMYK one), reads no 16-bit ink and
// no profile of a tiled or planar page, so print files came out in colours far from what their
// profile says.
namespace CmykTiff {

// What the first page's tags say, read without decoding its pixels.
struct Layout {
    QSize size;
    QByteArray iccProfile; // a CMYK profile; empty when the page has none (or another kind)
    int bitsPerSample = 8;  // 8 or 16
    bool planar = false;    // each ink in a plane of its own
    bool tiled = false;
    // The rows read at once: a strip's or a tile's (planar strips and tiles are gathered a band
    // of rows at a time); 1 for interleaved strips, which are read row by row.
    int bandRows = 1;
    int tileWidth = 0; // tiled pages only
};

// The layout when the first page is CMYK ink (four samples of 8 or 16 bits, any arrangement);
// nothing for any other file (read the ordinary way then).
std::optional<Layout> layout(const QByteArray &bytes);

// The first page converted to sRGB (RGB32): through its profile, with the sRGB colour space, when
// it has a usable one; otherwise the ink mixed as libtiff's own RGBA reader mixes it, with no
// colour space. Damaged when the page's data fails part-way.
struct Decoded {
    std::optional<QImage> image;
    bool damaged = false;
};
Decoded decode(const QByteArray &bytes, const Layout &layout);

// Bytes the decode holds besides its picture: the colour management library's tables and the
// band of rows gathered from strips or tiles.
qint64 heldBytes(const Layout &layout);

} // namespace CmykTiff
