#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>

// TIFF pages of CMYK ink that carry a CMYK profile, converted through it to sRGB: Qt's reader
// turns CMYK into RGB without any profile (and drops a CMYK one), so print files came out in
// colours far from what their profile says.
namespace CmykTiff {

// What the first page's tags say, read without decoding its pixels.
struct Layout {
    QSize size;
    QByteArray iccProfile; // a CMYK profile
};

// The layout when the first page is 8-bit CMYK ink, its samples interleaved in strips, with a
// CMYK profile embedded; nothing for any other file (read the ordinary way then).
std::optional<Layout> layout(const QByteArray &bytes);

// The first page converted through its profile to sRGB (RGB32, with the sRGB colour space). No
// picture and not damaged when the profile is unusable (the caller reads the file without it);
// damaged when the page's data fails part-way.
struct Decoded {
    std::optional<QImage> image;
    bool damaged = false;
};
Decoded decode(const QByteArray &bytes, const Layout &layout);

// Bytes the decode holds besides its picture: the colour management library's tables.
qint64 heldBytes(const Layout &layout);

} // namespace CmykTiff
