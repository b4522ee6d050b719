#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// Loading image files upright at full size, and the list thumbnails.
namespace ImageDecoding {

// The first image of a file, with its EXIF orientation applied, as 8-bit RGB32/ARGB32 in sRGB
// (pictures carrying another ICC profile are converted). Nothing when the file cannot be decoded
// or is larger than ImageLimits allows; the size is checked from the header before decoding.
std::optional<QImage> loadOrientedImage(const QString &path);
// The same for an image held as encoded bytes (a project file's images, cached file contents).
std::optional<QImage> loadOrientedImageData(const QByteArray &data);

// The upright size (EXIF orientation applied) of the file's first image, read from its header
// without decoding the pixels where the format allows. Nothing when the file cannot be read or
// the image is larger than ImageLimits allows.
std::optional<QSize> orientedImageSize(const QString &path);
// The same for an image held as encoded bytes.
std::optional<QSize> orientedImageSizeData(const QByteArray &data);

// Whether a picture that could not be decoded was refused for what it would cost rather than for
// being unreadable: its header declares more pixels than the cap allows (a GIF's screen), or more
// than its data can fill (a TIFF's strips or tiles, a BMP, PNM, XBM or XPM), or a JPEG's decode
// would cost more than its size allows (JpegFile::isTooCostly). The caller says "too large" then.
bool exceedsLimits(const QString &path);
// The same for an image held as encoded bytes.
bool exceedsLimitsData(const QByteArray &data);

// The size of the thumbnail of an image of `size`: scaled so that the longer side is
// maxDimension, never enlarged, each side at least 1 (rounded to whole pixels).
QSize thumbnailSize(QSize size, double maxDimension);

// The image smoothly scaled to thumbnailSize; an empty image is returned as it is.
QImage makeThumbnail(const QImage &image, double maxDimension);

// The thumbnail of a file without keeping its full-size picture or making a full-size 32-bit copy:
// a JPEG is decoded already reduced (DCT-domain scaling) and then smoothed to size, anything else
// is shrunk band by band. Equal in size to makeThumbnail of loadOrientedImage(path). Nothing when
// the file cannot be decoded.
std::optional<QImage> makeThumbnail(const QString &path, double maxDimension);

// What a list needs of an image held as encoded bytes: its upright size and its thumbnail, made
// without a full-size 32-bit copy of the picture (the thumbnail is null for a maxDimension of 0).
struct Preview {
    QSize size;
    QImage thumbnail;
};
std::optional<Preview> previewImageData(const QByteArray &data, double maxDimension);

} // namespace ImageDecoding
