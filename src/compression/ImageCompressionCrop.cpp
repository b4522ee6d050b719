#include "compression/ImageCompressionService.h"

#include "compression/TempFileGuard.h"
#include "model/TextRules.h"
#include "model/UuidText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <numeric>

// Cutting a still source down to a rectangle, into a crop file that becomes the source's file.
namespace ImageCompressionService {

namespace {

constexpr int kMinimumCropSide = 8;
const QString kCropPrefix = QStringLiteral("kivo-compression-crop-");

// Ratios with terms up to this size are met exactly, as whole multiples of the terms; an image's
// own ratio in larger terms (4000 × 2252 is 1000 : 563) gets the nearest height to a rounded width.
constexpr int kLargestExactTerm = 64;

// The pixel rectangle of a fixed-ratio crop: its size from one rounded side and the ratio, not
// each edge rounded on its own (which gives 2401 × 2400 for a square), kept about the chosen
// centre and inside the image.
QRect fixedRatioPixelRect(const QRectF &unit, QSize imageSize, QSize terms)
{
    const int imageWidth = imageSize.width(), imageHeight = imageSize.height();
    const double chosenWidth = unit.width() * imageWidth;
    const double chosenHeight = unit.height() * imageHeight;
    const int a = terms.width(), b = terms.height();
    const int fitting = std::min(imageWidth / a, imageHeight / b);
    int width = 0, height = 0;
    if (std::max(a, b) <= kLargestExactTerm && fitting >= 1) {
        const double multiple = std::round(std::min(chosenWidth / a, chosenHeight / b));
        const int k = std::clamp(int(std::min(multiple, double(fitting))), 1, fitting);
        width = k * a;
        height = k * b;
    } else {
        const double side = std::min(chosenWidth, chosenHeight * a / b);
        width = std::clamp(int(std::round(side)), 1, imageWidth);
        height = std::clamp(int(std::round(double(width) * b / a)), 1, imageHeight);
    }
    const double centreX = (unit.left() + unit.width() / 2) * imageWidth;
    const double centreY = (unit.top() + unit.height() / 2) * imageHeight;
    const int left = std::clamp(int(std::round(centreX - width / 2.0)), 0, std::max(0, imageWidth - width));
    const int top = std::clamp(int(std::round(centreY - height / 2.0)), 0, std::max(0, imageHeight - height));
    return QRect(left, top, width, height);
}

double clampedUnit(double value)
{
    // Written so that NaN ends at 0 rather than flowing into the pixel arithmetic.
    return value > 0 ? (value < 1 ? value : 1) : 0;
}

} // namespace

QRectF clampedUnitRect(const QRectF &rect)
{
    const double x0 = clampedUnit(std::min(rect.left(), rect.right()));
    const double x1 = clampedUnit(std::max(rect.left(), rect.right()));
    const double y0 = clampedUnit(std::min(rect.top(), rect.bottom()));
    const double y1 = clampedUnit(std::max(rect.top(), rect.bottom()));
    return QRectF(std::min(x0, x1), std::min(y0, y1), std::abs(x1 - x0), std::abs(y1 - y0));
}

std::optional<QSize> cropRatioTerms(CropAspectRatio ratio, QSize imageSize)
{
    switch (ratio) {
    case CropAspectRatio::Free:
        return std::nullopt;
    case CropAspectRatio::Square:
        return QSize(1, 1);
    case CropAspectRatio::Wide:
        return QSize(16, 9);
    case CropAspectRatio::Standard:
        return QSize(4, 3);
    case CropAspectRatio::Original: {
        if (imageSize.width() < 1 || imageSize.height() < 1)
            return std::nullopt;
        const int divisor = std::gcd(imageSize.width(), imageSize.height());
        return QSize(imageSize.width() / divisor, imageSize.height() / divisor);
    }
    }
    return std::nullopt;
}

QRect cropPixelRect(const QRectF &unitRect, QSize imageSize, CropAspectRatio ratio)
{
    const QRectF clamped = clampedUnitRect(unitRect);
    const std::optional<QSize> terms = cropRatioTerms(ratio, imageSize);
    if (terms && imageSize.width() >= 1 && imageSize.height() >= 1)
        return fixedRatioPixelRect(clamped, imageSize, *terms);
    const double x = clamped.x() * imageSize.width();
    const double y = clamped.y() * imageSize.height();
    const double width = clamped.width() * imageSize.width();
    const double height = clamped.height() * imageSize.height();
    const int left = static_cast<int>(std::floor(x));
    const int top = static_cast<int>(std::floor(y));
    const int right = static_cast<int>(std::ceil(x + width));
    const int bottom = static_cast<int>(std::ceil(y + height));
    return QRect(left, top, right - left, bottom - top);
}

QString temporaryCropURL(const ImageCompressionSource &source, const QString &fileExtension)
{
    return QDir(temporaryFolder())
        .filePath(kCropPrefix + UuidText::toString(source.id) + QLatin1Char('-')
                  + UuidText::toString(QUuid::createUuid()) + QLatin1Char('.') + fileExtension);
}

QString croppedFileName(const QString &fileName, const QString &fileExtension)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const QString withoutExtension = dot > slash + 1 ? fileName.left(dot) : fileName;
    QString base = TextRules::trimmed(withoutExtension);
    if (base.isEmpty())
        base = QStringLiteral("图片");
    return base + QStringLiteral("-裁剪.") + fileExtension;
}

bool isCropFile(const QString &path)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^kivo-compression-crop-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.(jpg|png)$"));
    const QFileInfo info(path);
    if (!pattern.match(info.fileName()).hasMatch())
        return false;
    if (QDir::cleanPath(info.absolutePath()) != QDir::cleanPath(temporaryFolder()))
        return false;
    return info.isFile() && !info.isSymLink();
}

bool removeCropFile(const QString &path)
{
    return isCropFile(path) && QFile::remove(path);
}

ImageCompressionSource croppedSource(const ImageCompressionSource &source, const QRectF &cropUnitRect,
                                     CropAspectRatio ratio)
{
    if (source.isGIF)
        throw ImageCompressionServiceError::cropUnsupported(source.url);
    CompressionImageIO::UprightImage loaded = CompressionImageIO::loadUprightImage(source.url);
    if (loaded.image.isNull())
        throw loaded.tooLarge ? ImageCompressionServiceError::imageTooLarge(source.url)
                              : ImageCompressionServiceError::noReadableImage(source.url);
    const QImage image = std::move(loaded.image);

    const QRect pixels = cropPixelRect(cropUnitRect, image.size(), ratio);
    if (pixels.width() < kMinimumCropSide || pixels.height() < kMinimumCropSide)
        throw ImageCompressionServiceError::cropTooSmall(source.url);
    const QImage cut = image.copy(pixels);
    if (cut.isNull())
        throw ImageCompressionServiceError::cropFailed(source.url);

    const OutputType type = outputType(source.url);
    const QString extension = fileExtension(type);
    TempFileGuard cropFile(temporaryCropURL(source, extension));
    const QImage redrawnCut = resizedImage(cut, ImageCompressionMaxDimension::original, type == OutputType::png);
    CompressionImageIO::writeImage(redrawnCut, cropFile.path(), type, 0.95);

    ImageCompressionSource cropped;
    cropped.id = source.id;
    cropped.url = cropFile.path();
    cropped.fileName = croppedFileName(source.fileName, extension);
    cropped.originalBytes = fileSize(cropFile.path());
    cropped.pixelSize = QSizeF(redrawnCut.size());
    cropped.frameCount = 1;
    cropped.isGIF = false;
    cropped.thumbnail = makeThumbnail(redrawnCut, 128);
    cropFile.release();
    return cropped;
}

} // namespace ImageCompressionService
