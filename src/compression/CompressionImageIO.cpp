#include "compression/CompressionImageIO.h"

#include "compression/ImageCompressionModel.h"
#include "platform/CmykTiff.h"
#include "platform/DecodeBudget.h"
#include "platform/GifCodec.h"
#include "platform/GreyProfile.h"
#include "platform/ImageContentFormat.h"
#include "platform/ImageLimits.h"
#include "platform/ImageOrientation.h"
#include "platform/ImageReduction.h"
#include "platform/JpegFile.h"
#include "platform/NewFile.h"
#include "platform/PngColourChunks.h"
#include "platform/TiffFile.h"

#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <cmath>

namespace CompressionImageIO {

SniffedFormat sniffFormat(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return SniffedFormat::other;
    const QByteArray head = file.read(8);
    if (head.startsWith("\xFF\xD8\xFF"))
        return SniffedFormat::jpeg;
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return SniffedFormat::png;
    if (GifCodec::hasGifSignature(head))
        return SniffedFormat::gif;
    return SniffedFormat::other;
}

bool contentMatches(const QString &path, OutputType type)
{
    const SniffedFormat format = sniffFormat(path);
    return type == OutputType::png ? format == SniffedFormat::png : format == SniffedFormat::jpeg;
}

QSize fittedSize(QSize size, int longEdgeLimit)
{
    double w = size.width();
    double h = size.height();
    const double longEdge = std::max(w, h);
    if (longEdgeLimit > 0 && longEdgeLimit < longEdge) {
        const double scale = longEdgeLimit / longEdge;
        w *= scale;
        h *= scale;
    }
    return QSize(std::max<long>(std::lround(w), 1), std::max<long>(std::lround(h), 1));
}

UprightImage loadUprightImage(const QString &path, int fitLongEdge, bool countFrames, bool /*pixelsOnly*/)
{
    // The decoder is the one the file's content names, never its name's.
    QFile source(path);
    QImageReader reader(&source);
    if (!source.open(QIODevice::ReadOnly) || !ImageContentFormat::prepare(reader, source.peek(ImageContentFormat::headBytes)))
        return {};
    // The orientation is applied below, keeping the colour space that the reader's own turn loses.
    reader.setAutoTransform(false);
    UprightImage result;
    // Asked before the size: a multi-page TIFF reports a single page once its size was read.
    if (countFrames)
        result.frameCount = std::max(reader.imageCount(), 1);
    const QSize stored = ImageContentFormat::decodedSize(reader);
    // The header's size (a GIF's screen) is checked before anything is decoded, so a file that
    // claims an enormous size costs nothing.
    if (stored.isValid()
        && (!ImageLimits::isAcceptableSize(stored.width(), stored.height())
            || !ImageContentFormat::canHold(reader.format(), stored, source.size()))) {
        UprightImage refused;
        refused.tooLarge = true;
        return refused;
    }
    const QImageIOHandler::Transformations transformation = reader.transformation();
    const bool quarterTurn = ImageOrientation::swapsSides(transformation);
    if (stored.isValid())
        result.fullSize = quarterTurn ? stored.transposed() : stored;

    // A JPEG cut short decodes with a grey lower part and only a warning: it is no picture to
    // compress. A CMYK one with its own profile goes through the colour management library.
    QByteArray jpegBytes;
    std::optional<JpegFile::Layout> jpeg;
    if (reader.format() == "jpeg") {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            jpegBytes = file.readAll();
        jpeg = JpegFile::layout(jpegBytes);
        if (jpeg && JpegFile::isTooCostly(*jpeg)) {
            UprightImage refused;
            refused.tooLarge = true;
            return refused;
        }
        if (!jpeg || JpegFile::endsEarly(*jpeg) || JpegFile::isUndecodable(*jpeg))
            return {};
    }

    QSize reduced;
    if (fitLongEdge > 0 && stored.isValid() && jpeg) {
        const QSize uprightNeed = fittedSize(result.fullSize, fitLongEdge);
        const QSize need = quarterTurn ? uprightNeed.transposed() : uprightNeed;
        for (const int denominator : {8, 4, 2}) {
            const QSize scaled((stored.width() + denominator - 1) / denominator,
                               (stored.height() + denominator - 1) / denominator);
            if (scaled.width() >= need.width() && scaled.height() >= need.height()) {
                reduced = scaled;
                break;
            }
        }
    }

    // A TIFF whose data cannot fill its picture is refused before any pixel is held; a CMYK one is
    // read here, through its own profile where it has one.
    QByteArray tiffBytes;
    std::optional<CmykTiff::Layout> tiff;
    if (reader.format() == "tiff") {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            tiffBytes = file.readAll();
        if (!TiffFile::dataCanFill(tiffBytes)) {
            UprightImage refused;
            refused.tooLarge = true;
            return refused;
        }
        tiff = CmykTiff::layout(tiffBytes);
    }

    // The decoded picture and its upright copy, and what the JPEG decoder or the colour management
    // library holds besides, within the budget shared with other decodes.
    const QSize decoded = reduced.isValid() ? reduced : stored;
    const DecodeBudget::Reservation held(
        (decoded.isValid() ? DecodeBudget::pixelBytes(decoded.width(), decoded.height(), 32, 4) : 0)
        + (jpeg ? JpegFile::decoderHeldBytes(*jpeg) : 0) + (tiff ? CmykTiff::heldBytes(*tiff) : 0));
    if (jpeg && jpeg->components == 4) {
        // Through its own profile when it has a usable one, otherwise converted as Qt's reader
        // converts CMYK; either way a picture whose data ends early is refused.
        JpegFile::CheckedDecode checked = JpegFile::decodeCmykWithProfile(jpegBytes, *jpeg, reduced);
        if (!checked.image && !checked.damaged) {
            checked = JpegFile::decodeCmykAsReader(jpegBytes, *jpeg, reduced);
            if (checked.image)
                JpegFile::attachReaderMetadata(*checked.image, reader, *jpeg);
        }
        if (checked.damaged)
            return {};
        if (checked.image)
            result.image = std::move(*checked.image);
    } else if (jpeg && stored.isValid()) {
        // Decoded here rather than by Qt's reader, which passes scan data that ends early off as
        // a picture.
        JpegFile::CheckedDecode checked = JpegFile::decodeScaledChecked(jpegBytes, *jpeg, decoded);
        if (checked.damaged)
            return {};
        if (checked.image) {
            result.image = std::move(*checked.image);
            JpegFile::attachReaderMetadata(result.image, reader, *jpeg);
        }
    } else if (tiff) {
        CmykTiff::Decoded checked = CmykTiff::decode(tiffBytes, *tiff);
        if (checked.damaged)
            return {};
        if (checked.image)
            result.image = std::move(*checked.image);
    }
    jpegBytes.clear();
    tiffBytes.clear();
    if (result.image.isNull()) {
        if (reduced.isValid())
            reader.setScaledSize(reduced);
        result.image = reader.read();
    }
    if (result.image.isNull())
        return {};
    if (!ImageLimits::isAcceptableSize(result.image.width(), result.image.height()))
        return {};
    // A PNG that says sRGB through its gamma and primaries is sRGB, not a pure 2.2 curve.
    if (const QColorSpace space = result.image.colorSpace(); space.isValid() && space != QColorSpace(QColorSpace::SRgb)) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && PngColourChunks::statesSrgbByGamma(file.read(PngColourChunks::headBytes)))
            result.image.setColorSpace(QColorSpace(QColorSpace::SRgb));
    }
    // A grey picture's grey profile, which Qt's reader drops, is applied here: its levels become
    // sRGB's, and it carries no profile on (none that would fit grey pixels).
    if (result.image.format() == QImage::Format_Grayscale8 || result.image.format() == QImage::Format_Grayscale16) {
        QByteArray profile;
        if (jpeg) {
            profile = jpeg->iccProfile;
        } else { // a PNG, by its signature
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                profile = GreyProfile::pngProfile(file.read(qint64(4) << 20));
        }
        if (GreyProfile::toSrgb(result.image, profile))
            result.image.setColorSpace(QColorSpace());
    }
    result.image = ImageOrientation::upright(std::move(result.image), transformation);
    if (!result.fullSize.isValid() || !reduced.isValid())
        result.fullSize = result.image.size();
    return result;
}

QImage redrawn(const QImage &image, QSize target, bool keepsAlpha)
{
    if (image.size() == target && (keepsAlpha || !image.hasAlphaChannel()))
        return image;
    QImage scaled = image;
    if (image.size() != target) {
        // Smooth scaling works on RGB32 and premultiplied ARGB32 in place; any other format
        // (a GIF frame's ARGB32 canvas, a grey scan) would first be copied whole into one of them.
        const bool scalesInPlace =
            image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32_Premultiplied;
        scaled = scalesInPlace ? image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                               : ImageReduction::scaledSmoothly(image, target);
    }
    if (scaled.isNull())
        return image;
    if (keepsAlpha || !scaled.hasAlphaChannel())
        return scaled;
    // Transparent areas become white, not black as a bare format conversion would give.
    QImage opaque(scaled.size(), QImage::Format_RGB32);
    if (opaque.isNull())
        return image;
    // The pixels keep their meaning: a picture with a profile keeps it.
    opaque.setColorSpace(scaled.colorSpace());
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, scaled);
    painter.end();
    return opaque;
}

namespace {

// A new image over the same pixels without the text entries that Qt's writers would copy into
// the file (PNG text chunks, JPEG comments).
QImage withoutMetadata(const QImage &image)
{
    if (image.textKeys().isEmpty())
        return image;
    QImage bare(image.constBits(), image.width(), image.height(), image.bytesPerLine(), image.format());
    bare.setColorTable(image.colorTable());
    bare.setColorSpace(image.colorSpace());
    return bare.copy();
}

} // namespace

void writeImage(const QImage &image, const QString &path, OutputType type, double jpegQuality)
{
    ReasonedFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw ImageCompressionServiceError::cannotCreateDestination(path, file.errorNumber());
    QImageWriter writer(&file, type == OutputType::png ? "png" : "jpeg");
    if (type == OutputType::jpeg) {
        writer.setQuality(static_cast<int>(std::lround(jpegQuality * 100)));
        writer.setOptimizedWrite(true);
    }
    if (!writer.write(withoutMetadata(JpegFile::withoutForeignProfile(image))) || !file.flush())
        throw ImageCompressionServiceError::cannotFinalize(path, file.errorNumber());
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw ImageCompressionServiceError::cannotFinalize(path, file.errorNumber());
}

} // namespace CompressionImageIO
