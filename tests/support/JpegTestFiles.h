#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <functional>
#include <optional>

// JPEGs in layouts Qt's writer never makes (other subsampling, grey, CMYK, progressive, restart
// markers, densities, comments, EXIF, profiles), written with the JPEG library directly.
namespace JpegTestFiles {

struct Layout {
    int lumaH = 2, lumaV = 2; // sampling factors of the luma component
    bool grey = false;
    bool cmyk = false; // the inverted RGB values as C, M, Y, with a little black
    bool progressive = false;
    bool arithmetic = false; // arithmetic-coded rather than Huffman-coded
    // Progressive with a scan for every AC coefficient of every component, each refined bit by bit
    // in this many further scans: 1 + components × 63 × (steps + 1) scans, all in order.
    std::optional<int> coefficientScansRefinedIn;
    int restartRows = 0;
    int restartInterval = 0; // in MCUs; takes the place of restartRows when set
    int densityUnit = 0, xDensity = 1, yDensity = 1;
    QByteArray comment;
    QByteArray app1;
    QByteArray iccProfile;
};

// The picture (RGB32) encoded at quality 90 in the layout.
QByteArray encoded(const QImage &picture, const Layout &layout);

// An EXIF segment (big-endian) holding only the orientation.
QByteArray exifOrientation(int orientation);

// A file the library wrote, with its last scan (and the tables written for it) repeated until it
// has `scans` of them: decoders warn about the repeated refinement and go on.
QByteArray withScans(const QByteArray &bytes, int scans);

// A file the library wrote, keeping `keptFraction` of its scan data and then its end marker: the
// data ends before the picture does, but the file looks whole.
QByteArray withScanDataCut(const QByteArray &bytes, double keptFraction);

// A file the library wrote, with each scan's entropy-coded data (restart markers included)
// replaced by what `replaced` makes of it.
QByteArray withScanDataReplaced(const QByteArray &bytes,
                                const std::function<QByteArray(int scan, const QByteArray &data)> &replaced);

} // namespace JpegTestFiles
