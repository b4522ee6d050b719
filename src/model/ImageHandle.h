#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

// A shared handle to an upright picture. Copies share one picture, so undo snapshots and list
// copies cost nothing.
//
// A handle holds its picture in one of three ways:
// - in memory (pictures made here: drops, crops, tests);
// - as its file plus a fingerprint of the file's content at import time;
// - as the encoded bytes (images read from a project file).
// The last two decode on demand into one process-wide cache bounded by memory, so a folder of
// camera photos does not keep gigabytes of pixels alive. A lazy handle gives exactly the pixels
// it was made from or none: when its file changed since, image() is a null image and the caller
// reports the image as failed rather than working on other pixels.
//
// All members may be called from any thread.
class ImageHandle {
public:
    ImageHandle() = default;
    // Holds the picture itself; a null image gives an empty handle.
    explicit ImageHandle(QImage image);

    // Backed by the file at `path`, whose upright picture is `size` pixels. Takes the file's
    // fingerprint now (byte size, modification time and a hash of the content); an empty handle
    // when the file cannot be read or `size` is empty.
    static ImageHandle fromFile(const QString &path, QSize size);
    // Backed by encoded bytes whose upright picture is `size` pixels. A `decoded` picture of that
    // size, when given, goes straight into the cache. An empty handle for empty bytes or size.
    static ImageHandle fromEncodedData(QByteArray data, QSize size, const QImage &decoded = QImage());

    // The full picture; a null image when the handle is empty or the picture cannot be made
    // again exactly (its file changed, vanished or no longer decodes).
    QImage image() const;
    // The same picture for one use (an export): the cached one when it is there, else decoded
    // without keeping it, so a batch over many images neither grows the cache nor pushes out the
    // pictures the canvas is using.
    QImage imageForOneUse() const;

    // The picture shrunk to ImageDecoding::thumbnailSize(size(), maxDimension), made without a
    // full-size copy where the format allows (a JPEG is decoded already reduced) and without
    // filling the cache; a null image where image() would give one.
    QImage thumbnail(double maxDimension) const;
    // The picture's size in pixels, known without decoding; 0 × 0 for an empty handle.
    QSize size() const;
    bool isNull() const;
    // Whether the picture is decoded on demand rather than held by the handle.
    bool isLazy() const;

    // Whether both handles share one picture.
    bool sharesPictureWith(const ImageHandle &other) const { return m_data == other.m_data; }

    // The cache of decoded pictures shared by all lazy handles. Least recently used pictures are
    // dropped once the total exceeds the limit, but the most recently used one always stays, so
    // the current image survives even when it alone is larger than the limit.
    static constexpr qint64 defaultCacheLimit = qint64(512) << 20;
    static void setCacheLimit(qint64 bytes);
    // Bytes of pixels the cache holds now.
    static qint64 cachedBytes();

private:
    struct Data;
    // The decoded picture, shared with the cache; a fresh decode is kept there only when asked.
    QImage picture(bool keepInCache) const;

    std::shared_ptr<const Data> m_data;
};
