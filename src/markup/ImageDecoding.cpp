#include "markup/ImageDecoding.h"

#include "platform/DecodeBudget.h"
#include "platform/ImageLimits.h"
#include "platform/ImageReduction.h"

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

// Opens a reader and refuses pictures above the pixel cap before anything is decoded. The
// orientation is applied by orientedImage(), not by the reader: the reader's own quarter turn
// loses the picture's colour space.
bool openReader(QImageReader &reader)
{
    reader.setAutoTransform(false);
    if (!reader.canRead())
        return false;
    const QSize stored = reader.size();
    if (stored.isValid() && !ImageLimits::isAcceptableSize(stored.width(), stored.height()))
        return false;
    return true;
}

// The share of the decode budget for reading `size` pixels in the reader's own format, plus
// `extraBytesPerPixel` for the copies made from them.
DecodeBudget::Reservation reserveDecode(const QImageReader &reader, QSize size, int extraBytesPerPixel)
{
    const QImage::Format format = reader.imageFormat();
    const int bits = format == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(format).bitsPerPixel();
    return DecodeBudget::Reservation(DecodeBudget::pixelBytes(size.width(), size.height(), bits, extraBytesPerPixel));
}

std::optional<QImage> decodeOriented(QImageReader &reader)
{
    if (!openReader(reader))
        return std::nullopt;
    const QImageIOHandler::Transformations transformation = reader.transformation();
    // The normalised copy, and a turned one.
    const DecodeBudget::Reservation held =
        reserveDecode(reader, reader.size(), swapsSides(transformation) ? 8 : 4);
    QImage image = reader.read();
    if (image.isNull() || !ImageLimits::isAcceptableSize(image.width(), image.height()))
        return std::nullopt;
    return orientedImage(normalized(std::move(image)), transformation);
}

// The upright size and (with a positive maxDimension) the thumbnail, without a full-size 32-bit
// copy: a JPEG is decoded already reduced (DCT-domain scaling), anything else in its own format and
// then shrunk band by band. The picture is still decoded whole, so a damaged file is refused.
std::optional<Preview> decodePreview(QImageReader &reader, double maxDimension)
{
    if (!openReader(reader))
        return std::nullopt;
    const QImageIOHandler::Transformations transformation = reader.transformation();
    const bool swapped = swapsSides(transformation);
    const QSize stored = reader.size();
    const auto finish = [&](const QImage &thumbnail, QSize storedSize) {
        Preview preview;
        preview.size = swapped ? storedSize.transposed() : storedSize;
        if (!thumbnail.isNull())
            preview.thumbnail = normalized(orientedImage(thumbnail, transformation));
        return preview;
    };
    if (maxDimension > 0 && reader.format() == "jpeg" && stored.isValid()) {
        // The reader scales in the stored orientation, before the EXIF transform: a photo stored
        // sideways needs its sides swapped, or its thumbnail comes out squashed.
        const QSize upright = swapped ? stored.transposed() : stored;
        const QSize target = thumbnailSize(upright, maxDimension);
        // Decode at about twice the target (whole DCT steps), then smooth the rest of the way.
        if (target.width() * 2 < upright.width() && target.height() * 2 < upright.height()) {
            const QSize reduced = swapped ? (target * 2).transposed() : target * 2;
            const DecodeBudget::Reservation held = reserveDecode(reader, reduced, 4);
            reader.setScaledSize(reduced);
            const QImage image = reader.read();
            if (image.isNull())
                return std::nullopt;
            const QSize storedTarget = swapped ? target.transposed() : target;
            return finish(image.scaled(storedTarget, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), stored);
        }
    }
    const DecodeBudget::Reservation held = reserveDecode(reader, stored, 0);
    QImage image = reader.read();
    if (image.isNull() || !ImageLimits::isAcceptableSize(image.width(), image.height()))
        return std::nullopt;
    if (maxDimension <= 0)
        return finish(QImage(), image.size());
    const QSize target = thumbnailSize(swapped ? image.size().transposed() : image.size(), maxDimension);
    const QSize storedTarget = swapped ? target.transposed() : target;
    const QImage thumbnail = storedTarget == image.size() ? image : ImageReduction::scaledSmoothly(image, storedTarget);
    if (thumbnail.isNull())
        return std::nullopt;
    return finish(thumbnail, image.size());
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
    std::optional<Preview> preview = decodePreview(reader, maxDimension);
    if (!preview)
        return std::nullopt;
    return std::move(preview->thumbnail);
}

std::optional<Preview> previewImageData(const QByteArray &data, double maxDimension)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    QImageReader reader(&buffer);
    return decodePreview(reader, maxDimension);
}

QImage orientedImage(QImage image, QImageIOHandler::Transformations transformation)
{
    if (image.isNull() || transformation == QImageIOHandler::TransformationNone)
        return image;
    const QColorSpace space = image.colorSpace();
    if (transformation == QImageIOHandler::TransformationRotate270) {
        image = image.transformed(QTransform().rotate(270));
    } else {
        if (transformation & (QImageIOHandler::TransformationMirror | QImageIOHandler::TransformationFlip))
            image = std::move(image).mirrored(transformation.testFlag(QImageIOHandler::TransformationMirror),
                                              transformation.testFlag(QImageIOHandler::TransformationFlip));
        if (swapsSides(transformation))
            image = image.transformed(QTransform().rotate(90));
    }
    image.setColorSpace(space);
    return image;
}

} // namespace ImageDecoding
