#include "compression/ImageCompressionService.h"

#include "compression/TempFileGuard.h"

// The compression entry point and the path for still images.
namespace ImageCompressionService {

ImageCompressionResult compress(const ImageCompressionSource &source, const ImageCompressionSettings &settings,
                                const QString &destinationDirectory)
{
    if (source.isGIF)
        return compressGIF(source, settings, destinationDirectory);
    return compressStillImage(source, settings, destinationDirectory);
}

QSize resizedSize(QSize size, ImageCompressionMaxDimension maxDimension)
{
    return CompressionImageIO::fittedSize(size, ImageCompressionMaxDimensions::rawValue(maxDimension));
}

QImage resizedImage(const QImage &image, ImageCompressionMaxDimension maxDimension, bool keepsAlpha)
{
    return CompressionImageIO::redrawn(image, resizedSize(image.size(), maxDimension), keepsAlpha);
}

ImageCompressionResult compressStillImage(const ImageCompressionSource &source,
                                          const ImageCompressionSettings &settings,
                                          const QString &destinationDirectory)
{
    const int limit = ImageCompressionMaxDimensions::rawValue(settings.maxDimension);
    const OutputType type = outputType(source.url);
    const QString extension = fileExtension(type);
    const TempFileGuard temporary(temporaryOutputURL(extension));
    // A JPEG kept at its size goes from decoder to encoder without a picture in between.
    QSize outputSize;
    if (type == OutputType::jpeg) {
        const auto recoded = CompressionImageIO::recodeJpeg(source.url, limit, temporary.path(), settings.jpegQuality);
        if (recoded)
            outputSize = *recoded;
    }
    if (outputSize.isEmpty()) {
        // A large reduction is decoded at a reduced scale where the format allows it; the one
        // smooth scale below then brings it to exactly the size computed from the full image.
        const auto loaded = CompressionImageIO::loadUprightImage(source.url, limit);
        if (loaded.image.isNull())
            throw loaded.tooLarge ? ImageCompressionServiceError::imageTooLarge(source.url)
                                  : ImageCompressionServiceError::noReadableImage(source.url);
        const QSize target = resizedSize(loaded.fullSize, settings.maxDimension);
        const QImage output = CompressionImageIO::redrawn(loaded.image, target, type == OutputType::png);
        CompressionImageIO::writeImage(output, temporary.path(), type, settings.jpegQuality);
        outputSize = output.size();
    }
    const qint64 encodedBytes = fileSize(temporary.path());

    // The original is kept only when it already is the output's format: a WebP, say, copied
    // unchanged under a ".jpg" name would be a JPEG in name only.
    const bool keepsOriginal = encodedBytes >= source.originalBytes
        && source.pixelSize == QSizeF(outputSize)
        && CompressionImageIO::contentMatches(source.url, type);
    return deliverOutput(source, keepsOriginal ? source.url : temporary.path(), keepsOriginal,
                         {keepsOriginal ? source.pixelSize : QSizeF(outputSize), 1, 1}, destinationDirectory,
                         extension);
}

} // namespace ImageCompressionService
