#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

// JPEGs in layouts Qt's writer never makes (other subsampling, grey, CMYK, progressive, restart
// markers, densities, comments, EXIF, profiles), written with the JPEG library directly.
namespace JpegTestFiles {

struct Layout {
    int lumaH = 2, lumaV = 2; // sampling factors of the luma component
    bool grey = false;
    bool cmyk = false; // the inverted RGB values as C, M, Y, with a little black
    bool progressive = false;
    int restartRows = 0;
    int densityUnit = 0, xDensity = 1, yDensity = 1;
    QByteArray comment;
    QByteArray app1;
    QByteArray iccProfile;
};

// The picture (RGB32) encoded at quality 90 in the layout.
QByteArray encoded(const QImage &picture, const Layout &layout);

// An EXIF segment (big-endian) holding only the orientation.
QByteArray exifOrientation(int orientation);

} // namespace JpegTestFiles
