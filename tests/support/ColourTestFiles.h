#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

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

} // namespace ColourTestFiles
