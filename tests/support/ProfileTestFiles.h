#pragma once

#include <QByteArray>
#include <QImage>

#include <vector>

// Colour profiles of the sizes and forms the colour management library writes, built with it at
// test time, and what the library holds while it reads one.
namespace ProfileTestFiles {

// How a CMYK profile's AToB0 grid is stored.
enum class GridTable {
    lut8,        // version 2, an 8-bit lut ('mft1')
    aToB8,       // version 4, an A-to-B table with 8-bit grid entries ('mAB ')
    floatStages, // version 4, a DToB0 tag of float elements ('mpet': segmented curves and a grid)
};

// A CMYK output profile whose grid has `points` on each of its four sides.
QByteArray cmykGridProfile(int points, GridTable table);

// A grey input profile with a gamma of 1.0 (a linear grey, far from sRGB's curve), version 4.
QByteArray linearGreyProfile();

// The most bytes the library holds at once while it opens the profile, builds the transform to
// sRGB that the decoders build (8-bit samples in, RGB32 pixels out, perceptual) and converts a
// few pixels with it; -1 when it cannot build the transform.
qint64 libraryPeakBytes(const QByteArray &profile, bool cmyk);

// The profile with `extra` more entries in its tag directory (each naming a tag of its own, all
// pointing at the first tag's data).
QByteArray withExtraTags(const QByteArray &profile, int extra);

// A grey picture (Grayscale8) as a JPEG at quality 100 and as a PNG, with `profile` embedded.
QByteArray greyJpeg(const QImage &grey, const QByteArray &profile);
QByteArray greyPng(const QImage &grey, const QByteArray &profile);

// What the library makes of each pixel of a grey picture through the profile, in sRGB (RGB32).
QImage librarySrgb(const QImage &grey, const QByteArray &profile);

// CMYK ink (four bytes a pixel, 0 none … 255 full, row by row) of patches of several mixes.
std::vector<uchar> cmykPatches(QSize size);
// How a CMYK TIFF is laid out: strips of 8 rows or tiles of 16 × 16, its inks interleaved or each
// in a plane of its own, 8 or 16 bits a sample (16-bit ink is the 8-bit ink times 257).
struct CmykTiffShape {
    bool tiled = false;
    bool planar = false;
    int bits = 8;
};
// The ink as an LZW-compressed CMYK TIFF of that shape, with `profile` embedded when not empty.
QByteArray cmykTiff(QSize size, const std::vector<uchar> &ink, const QByteArray &profile, CmykTiffShape shape = {});
// What the library makes of the ink through the profile, in sRGB (RGB32).
QImage librarySrgb(QSize size, const std::vector<uchar> &ink, const QByteArray &profile);

// The mean difference of two pictures of one size, over every colour channel of every pixel.
double meanDifference(const QImage &a, const QImage &b);

} // namespace ProfileTestFiles
