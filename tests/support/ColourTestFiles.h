#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <vector>

// Files whose colours only come out right when their profile is honoured, built at test time.
namespace ColourTestFiles {

// A CMYK output profile whose inks print warm: half black (k = 128) is (127, 102, 76) in sRGB,
// where a reader that ignores the profile shows grey. Made with the colour management library; a
// version 4 profile stores its grid in an A-to-B table ('mAB '), a version 2 one in a 16-bit lut.
QByteArray warmCmykProfile(double version = 4.3);

// A CMYK JPEG of one ink mix (each 0…255, as printed), stored inverted with an Adobe segment as
// image programs write it, with `profile` embedded when it is not empty.
QByteArray cmykJpeg(QSize size, int c, int m, int y, int k, const QByteArray &profile);

// The image encoded as a JPEG (with its colour space's profile, as Qt writes it).
QByteArray jpeg(const QImage &image, int quality = 95);

// A little-endian, uncompressed 8-bit grey TIFF of `pages` pages of `size`.
QByteArray multiPageTiff(QSize size, int pages);

// An uncompressed TIFF of `size` whose every strip, one row each, points at the same single row
// of data: grey for one sample, CMYK ink for four (with `profile` embedded when not empty).
// libtiff and Qt read it as a whole picture from a few kilobytes.
QByteArray sharedRowTiff(QSize size, int samples, const QByteArray &profile = {});

// A PNG chunk of `type` holding the values as 32-bit big-endian numbers (gAMA, cHRM), with its CRC.
QByteArray pngChunk(const char *type, const std::vector<quint32> &values);
// The PNG with `chunks` put in right after its header chunk.
QByteArray pngWithChunks(const QByteArray &png, const QByteArray &chunks);
// sRGB's white point and primaries as a cHRM chunk holds them (x, y of white, red, green, blue).
const std::vector<quint32> &srgbChromaticities();

} // namespace ColourTestFiles
