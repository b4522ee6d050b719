#include "markup/ImageDecoding.h"

#include "platform/ImageLimits.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageIOHandler>
#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace ImageDecoding {

namespace {

bool swapsSides(QImageIOHandler::Transformations transformation)
{
    return transformation.testFlag(QImageIOHandler::TransformationRotate90);
}

// Every decoded picture is 8 bits per channel, so one pixel cap covers every source; pictures
// with another ICC profile are brought to sRGB so that they do not export washed out.
QImage normalized(QImage image)
{
    const bool wide = image.depth() > 32;
    const auto to8Bit = [](const QImage &source) {
        const QImage::Format format = source.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
        return source.format() == format ? source : source.convertToFormat(format);
    };
    // 16-bit and float pictures are converted after the colour conversion, to keep its precision.
    if (!wide)
        image = to8Bit(image);
    const QColorSpace space = image.colorSpace();
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    if (wide)
        image = to8Bit(image);
    return image;
}

// Opens a reader and refuses pictures above the pixel cap before anything is decoded.
bool openReader(QImageReader &reader)
{
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return false;
    const QSize stored = reader.size();
    if (stored.isValid() && !ImageLimits::isAcceptableSize(stored.width(), stored.height()))
        return false;
    return true;
}

std::optional<QImage> decodeOriented(QImageReader &reader)
{
    if (!openReader(reader))
        return std::nullopt;
    QImage image = reader.read();
    if (image.isNull() || !ImageLimits::isAcceptableSize(image.width(), image.height()))
        return std::nullopt;
    return normalized(std::move(image));
}

} // namespace

std::optional<QImage> loadOrientedImage(const QString &path)
{
    QImageReader reader(path);
    return decodeOriented(reader);
}

std::optional<QImage> loadOrientedImageData(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    QImageReader reader(&buffer);
    return decodeOriented(reader);
}

std::optional<QSize> orientedImageSize(const QString &path)
{
    QImageReader reader(path);
    if (!openReader(reader))
        return std::nullopt;
    const QSize stored = reader.size();
    if (!stored.isValid()) {
        // Some formats only know their size after decoding.
        const std::optional<QImage> image = decodeOriented(reader);
        return image ? std::optional<QSize>(image->size()) : std::nullopt;
    }
    return swapsSides(reader.transformation()) ? stored.transposed() : stored;
}

QSize thumbnailSize(QSize size, double maxDimension)
{
    const double w = size.width();
    const double h = size.height();
    const double scale = maxDimension / std::max(w, h);
    if (!(scale < 1))
        return QSize(std::max(size.width(), 1), std::max(size.height(), 1));
    const auto side = [scale](double length) { return std::max(1, int(std::lround(length * scale))); };
    return QSize(side(w), side(h));
}

QImage makeThumbnail(const QImage &image, double maxDimension)
{
    if (image.isNull())
        return image;
    const QSize target = thumbnailSize(image.size(), maxDimension);
    if (target == image.size())
        return image;
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

std::optional<QImage> makeThumbnail(const QString &path, double maxDimension)
{
    QImageReader reader(path);
    if (!openReader(reader))
        return std::nullopt;
    const QSize stored = reader.size();
    if (reader.format() == "jpeg" && stored.isValid()) {
        // The reader scales in the stored orientation, before the EXIF transform: a photo stored
        // sideways needs its sides swapped, or its thumbnail comes out squashed.
        const bool swapped = swapsSides(reader.transformation());
        const QSize upright = swapped ? stored.transposed() : stored;
        const QSize target = thumbnailSize(upright, maxDimension);
        // Decode at about twice the target (whole DCT steps), then smooth the rest of the way.
        if (target.width() * 2 < upright.width() && target.height() * 2 < upright.height()) {
            const QSize reduced = swapped ? (target * 2).transposed() : target * 2;
            reader.setScaledSize(reduced);
            QImage image = reader.read();
            if (image.isNull())
                return std::nullopt;
            return normalized(image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        }
    }
    QImage image = reader.read();
    if (image.isNull() || !ImageLimits::isAcceptableSize(image.width(), image.height()))
        return std::nullopt;
    return makeThumbnail(normalized(std::move(image)), maxDimension);
}

} // namespace ImageDecoding
