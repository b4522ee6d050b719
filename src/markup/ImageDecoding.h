#pragma once

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

// The size of the thumbnail of an image of `size`: scaled so that the longer side is
// maxDimension, never enlarged, each side at least 1 (rounded to whole pixels).
QSize thumbnailSize(QSize size, double maxDimension);

// The image smoothly scaled to thumbnailSize; an empty image is returned as it is.
QImage makeThumbnail(const QImage &image, double maxDimension);

// The thumbnail of a file without keeping its full-size picture: a JPEG is decoded already
// reduced (DCT-domain scaling) and then smoothed to size. Equal in size to makeThumbnail of
// loadOrientedImage(path). Nothing when the file cannot be decoded.
std::optional<QImage> makeThumbnail(const QString &path, double maxDimension);

} // namespace ImageDecoding
