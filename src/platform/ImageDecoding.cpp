#include "platform/ImageDecoding.h"

#include "platform/CmykTiff.h"
#include "platform/DecodeBudget.h"
#include "platform/ImageContentFormat.h"
#include "platform/GreyProfile.h"
#include "platform/ImageLimits.h"
#include "platform/ImageOrientation.h"
#include "platform/ImageReduction.h"
#include "platform/JpegFile.h"
#include "platform/PngColourChunks.h"
#include "platform/TiffFile.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageIOHandler>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <functional>

namespace ImageDecoding {

namespace {

using ImageOrientation::swapsSides;

// Every decoded picture is 8 bits per channel, so one pixel cap covers every source; pictures
// with another ICC profile are brought to sRGB so that they do not export washed out.
QImage normalized(QImage image)
{
    image = JpegFile::withoutForeignProfile(std::move(image));
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

// Whether a picture of the stored `size` (invalid when its header does not tell) is over the pixel
// cap or more than its file's data can fill.
bool decodingExceedsLimits(const QImageReader &reader, QSize size)
{
    return size.isValid()
        && (!ImageLimits::isAcceptableSize(size.width(), size.height())
            || !ImageContentFormat::canHold(reader.format(), size, reader.device()->size()));
}

// Opens a reader and refuses pictures above the pixel cap before anything is decoded: the size of
// the picture it will decode (invalid when the header does not tell), or nothing when refused. The
// orientation is applied by ImageOrientation::upright(), not by the reader.
std::optional<QSize> openReader(QImageReader &reader)
{
    reader.setAutoTransform(false);
    if (!reader.canRead())
        return std::nullopt;
    const QSize stored = ImageContentFormat::decodedSize(reader);
    if (decodingExceedsLimits(reader, stored))
        return std::nullopt;
    return stored;
}

// A JPEG's bytes and what its markers say, read once for both the budget and the decode.
struct JpegSource {
    QByteArray bytes;
    std::optional<JpegFile::Layout> layout;
};

// A CMYK TIFF's bytes and what its tags say; for any TIFF, whether its data can fill its picture.
struct TiffSource {
    QByteArray bytes;
    std::optional<CmykTiff::Layout> layout;
    bool unfillable = false;
};

// The share of the decode budget for reading `size` pixels in the reader's own format, plus
// `extraBytesPerPixel` for the copies made from them, plus what the JPEG decoder or the colour
// management library holds besides.
DecodeBudget::Reservation reserveDecode(const QImageReader &reader, QSize size, int extraBytesPerPixel,
                                        const JpegSource &jpeg, const TiffSource &tiff = {})
{
    // Asked only of a header that gave a size: for a damaged one, Qt's JPEG reader answers with
    // an uninitialised value.
    const QImage::Format format = size.isValid() ? reader.imageFormat() : QImage::Format_Invalid;
    const bool known = format > QImage::Format_Invalid && format < QImage::NImageFormats;
    const int bits = known ? QImage::toPixelFormat(format).bitsPerPixel() : 32;
    const qint64 decoderBytes = (jpeg.layout ? JpegFile::decoderHeldBytes(*jpeg.layout) : 0)
        + (tiff.layout ? CmykTiff::heldBytes(*tiff.layout) : 0);
    return DecodeBudget::Reservation(
        DecodeBudget::pixelBytes(size.width(), size.height(), bits, extraBytesPerPixel) + decoderBytes);
}

// The file's bytes, fetched only when a JPEG needs a closer look: at most `limit` of them from
// the start (all of them for a negative limit; bytes already in memory come whole).
using Contents = std::function<QByteArray(qint64 limit)>;

// A JPEG's bytes, all of them: the scans are counted over the whole file before any decoder sees it.
JpegSource jpegSource(const QImageReader &reader, const Contents &contents)
{
    JpegSource jpeg;
    if (reader.format() != "jpeg")
        return jpeg;
    jpeg.bytes = contents(-1);
    jpeg.layout = JpegFile::layout(jpeg.bytes);
    return jpeg;
}

// A TIFF's bytes when its first page is CMYK ink (none otherwise), and whether the page's data
// can fill the picture it declares: one that cannot is refused before any pixel is held.
TiffSource tiffSource(const QImageReader &reader, const Contents &contents)
{
    TiffSource tiff;
    if (reader.format() != "tiff")
        return tiff;
    tiff.bytes = contents(-1);
    tiff.unfillable = !TiffFile::dataCanFill(tiff.bytes);
    if (!tiff.unfillable)
        tiff.layout = CmykTiff::layout(tiff.bytes);
    if (!tiff.layout)
        tiff.bytes.clear();
    return tiff;
}

// A JPEG decoded here, where scan data that ends early is seen (Qt's reader fills the rest with
// grey and only warns): the picture, or damaged, or neither when this decoder does not take the
// file. A CMYK file goes through its own profile when it has a usable one, otherwise it is
// converted as Qt's reader converts it; with a valid `scaledSize` it is decoded reduced, to about
// that size.
JpegFile::CheckedDecode decodeJpeg(const QImageReader &reader, const JpegSource &jpeg, QSize scaledSize)
{
    const JpegFile::Layout &layout = *jpeg.layout;
    JpegFile::CheckedDecode decoded;
    if (layout.components == 4) {
        // Converted through the profile, the picture is in sRGB and carries nothing else.
        decoded = JpegFile::decodeCmykWithProfile(jpeg.bytes, layout, scaledSize);
        if (decoded.image || decoded.damaged)
            return decoded;
        decoded = JpegFile::decodeCmykAsReader(jpeg.bytes, layout, scaledSize);
    } else {
        decoded = JpegFile::decodeScaledChecked(jpeg.bytes, layout,
                                                scaledSize.isValid() ? scaledSize : QSize(layout.width, layout.height));
    }
    if (decoded.image)
        JpegFile::attachReaderMetadata(*decoded.image, reader, layout);
    return decoded;
}

// The picture as stored; with a valid `scaledSize` a JPEG is decoded reduced, to about that size.
// A JPEG no decoder should work through, or whose data ends before the picture does, gives nothing.
QImage readStored(QImageReader &reader, const JpegSource &jpeg, QSize scaledSize = QSize(), const TiffSource &tiff = {})
{
    if (tiff.layout) {
        // A CMYK page is read here, through its profile where it has a usable one.
        CmykTiff::Decoded decoded = CmykTiff::decode(tiff.bytes, *tiff.layout);
        if (decoded.damaged)
            return QImage();
        if (decoded.image)
            return std::move(*decoded.image);
    }
    if (jpeg.layout) {
        if (JpegFile::isUndecodable(*jpeg.layout))
            return QImage();
        JpegFile::CheckedDecode decoded = decodeJpeg(reader, jpeg, scaledSize);
        if (decoded.damaged)
            return QImage();
        if (decoded.image)
            return std::move(*decoded.image);
    }
    if (scaledSize.isValid())
        reader.setScaledSize(scaledSize);
    return reader.read();
}

// How much of a PNG is read for its profile, which comes before the image data.
constexpr qint64 pngProfileHeadBytes = qint64(4) << 20;

// A grey picture whose file carries a grey profile, its levels brought through that profile to
// sRGB's: Qt's reader takes RGB profiles only and would show the levels as they are.
void applyGreyProfile(QImage &image, const JpegSource &jpeg, const Contents &contents)
{
    if (image.format() != QImage::Format_Grayscale8 && image.format() != QImage::Format_Grayscale16)
        return;
    // Any other file is looked at as a PNG, by its signature: the reader's format is gone once it
    // has read.
    GreyProfile::toSrgb(image, jpeg.layout ? jpeg.layout->iccProfile : GreyProfile::pngProfile(contents(pngProfileHeadBytes)));
}

// A PNG that says sRGB through its gamma and primaries is sRGB: Qt's reader would give it a pure
// 2.2 curve, and the conversion from it would shift every colour.
void takeGammaStatedSrgb(QImage &image, const Contents &contents)
{
    const QColorSpace space = image.colorSpace();
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb)
        && PngColourChunks::statesSrgbByGamma(contents(PngColourChunks::headBytes)))
        image.setColorSpace(QColorSpace(QColorSpace::SRgb));
}

Contents fileContents(const QString &path)
{
    return [path](qint64 limit) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray();
        return limit < 0 ? file.readAll() : file.read(limit);
    };
}

// A reader over the file, which it opens, with the format its content names.
bool openDecodingFile(QImageReader &reader, QFile &file)
{
    return file.open(QIODevice::ReadOnly) && ImageContentFormat::prepare(reader, file.peek(ImageContentFormat::headBytes));
}

Contents heldContents(const QByteArray &data)
{
    return [&data](qint64) { return data; };
}

std::optional<QImage> decodeOriented(QImageReader &reader, const Contents &contents)
{
    const std::optional<QSize> stored = openReader(reader);
    if (!stored)
        return std::nullopt;
    const QImageIOHandler::Transformations transformation = reader.transformation();
    const JpegSource jpeg = jpegSource(reader, contents);
    const TiffSource tiff = tiffSource(reader, contents);
    if (tiff.unfillable)
        return std::nullopt;
    // The normalised copy, and a turned one.
    const DecodeBudget::Reservation held =
        reserveDecode(reader, *stored, swapsSides(transformation) ? 8 : 4, jpeg, tiff);
    QImage image = readStored(reader, jpeg, QSize(), tiff);
    if (image.isNull() || !ImageLimits::isAcceptableSize(image.width(), image.height()))
        return std::nullopt;
    takeGammaStatedSrgb(image, contents);
    applyGreyProfile(image, jpeg, contents);
    return ImageOrientation::upright(normalized(std::move(image)), transformation);
}

// The upright size and (with a positive maxDimension) the thumbnail, without a full-size 32-bit
// copy: a JPEG is decoded already reduced (DCT-domain scaling), anything else in its own format and
// then shrunk band by band. The picture is still decoded whole, so a damaged file is refused.
std::optional<Preview> decodePreview(QImageReader &reader, const Contents &contents, double maxDimension)
{
    const std::optional<QSize> opened = openReader(reader);
    if (!opened)
        return std::nullopt;
    const QSize stored = *opened;
    const QImageIOHandler::Transformations transformation = reader.transformation();
    const bool swapped = swapsSides(transformation);
    const JpegSource jpeg = jpegSource(reader, contents);
    const auto finish = [&](const QImage &thumbnail, QSize storedSize) {
        Preview preview;
        preview.size = swapped ? storedSize.transposed() : storedSize;
        if (!thumbnail.isNull())
            preview.thumbnail = normalized(ImageOrientation::upright(thumbnail, transformation));
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
            const DecodeBudget::Reservation held = reserveDecode(reader, reduced, 4, jpeg);
            QImage image = readStored(reader, jpeg, reduced);
            if (image.isNull())
                return std::nullopt;
            applyGreyProfile(image, jpeg, contents);
            const QSize storedTarget = swapped ? target.transposed() : target;
            return finish(image.scaled(storedTarget, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), stored);
        }
    }
    const TiffSource tiff = tiffSource(reader, contents);
    if (tiff.unfillable)
        return std::nullopt;
    const DecodeBudget::Reservation held = reserveDecode(reader, stored, 0, jpeg, tiff);
    QImage image = readStored(reader, jpeg, QSize(), tiff);
    if (image.isNull() || !ImageLimits::isAcceptableSize(image.width(), image.height()))
        return std::nullopt;
    takeGammaStatedSrgb(image, contents);
    applyGreyProfile(image, jpeg, contents);
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
    QFile file(path);
    QImageReader reader(&file);
    if (!openDecodingFile(reader, file))
        return std::nullopt;
    return decodeOriented(reader, fileContents(path));
}

std::optional<QImage> loadOrientedImageData(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    QImageReader reader(&buffer);
    if (!ImageContentFormat::prepare(reader, data.left(ImageContentFormat::headBytes)))
        return std::nullopt;
    return decodeOriented(reader, heldContents(data));
}

namespace {

std::optional<QSize> readOrientedSize(QImageReader &reader, const Contents &contents)
{
    const std::optional<QSize> opened = openReader(reader);
    if (!opened)
        return std::nullopt;
    const QSize stored = *opened;
    if (!stored.isValid()) {
        // Some formats only know their size after decoding.
        const std::optional<QImage> image = decodeOriented(reader, contents);
        return image ? std::optional<QSize>(image->size()) : std::nullopt;
    }
    return swapsSides(reader.transformation()) ? stored.transposed() : stored;
}

} // namespace

std::optional<QSize> orientedImageSize(const QString &path)
{
    QFile file(path);
    QImageReader reader(&file);
    if (!openDecodingFile(reader, file))
        return std::nullopt;
    return readOrientedSize(reader, fileContents(path));
}

std::optional<QSize> orientedImageSizeData(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    QImageReader reader(&buffer);
    if (!ImageContentFormat::prepare(reader, data.left(ImageContentFormat::headBytes)))
        return std::nullopt;
    return readOrientedSize(reader, heldContents(data));
}

namespace {

bool readerExceedsLimits(QImageReader &reader, const Contents &contents)
{
    if (decodingExceedsLimits(reader, ImageContentFormat::decodedSize(reader)))
        return true;
    if (reader.format() == "jpeg") {
        const std::optional<JpegFile::Layout> layout = JpegFile::layout(contents(-1));
        return layout && JpegFile::isTooCostly(*layout);
    }
    return reader.format() == "tiff" && !TiffFile::dataCanFill(contents(-1));
}

} // namespace

bool exceedsLimits(const QString &path)
{
    QFile file(path);
    QImageReader reader(&file);
    return openDecodingFile(reader, file) && readerExceedsLimits(reader, fileContents(path));
}

bool exceedsLimitsData(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    QImageReader reader(&buffer);
    return ImageContentFormat::prepare(reader, data.left(ImageContentFormat::headBytes))
        && readerExceedsLimits(reader, heldContents(data));
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
    QFile file(path);
    QImageReader reader(&file);
    if (!openDecodingFile(reader, file))
        return std::nullopt;
    std::optional<Preview> preview = decodePreview(reader, fileContents(path), maxDimension);
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
    if (!ImageContentFormat::prepare(reader, data.left(ImageContentFormat::headBytes)))
        return std::nullopt;
    return decodePreview(reader, heldContents(data), maxDimension);
}

} // namespace ImageDecoding
