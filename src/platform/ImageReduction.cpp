#include "platform/ImageReduction.h"

#include <QColorSpace>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ImageReduction {

namespace {

// Rows of the source converted to 32 bits at a time: a few megabytes.
constexpr qint64 bandBytes = qint64(8) << 20;

// The source averaged over blocks of factor × factor pixels (the last row and column of blocks
// may be narrower), converted to `format` one band of rows at a time.
QImage blockAveraged(const QImage &image, int factor, QImage::Format format)
{
    const int width = image.width();
    const int height = image.height();
    const int outWidth = (width + factor - 1) / factor;
    const int outHeight = (height + factor - 1) / factor;
    QImage out(outWidth, outHeight, format);
    if (out.isNull())
        return out;
    const int blocksPerBand = int(std::max<qint64>(1, bandBytes / (qint64(width) * 4 * factor)));
    std::vector<std::uint64_t> sums(size_t(outWidth) * 4);
    for (int blockRow0 = 0; blockRow0 < outHeight; blockRow0 += blocksPerBand) {
        const int y0 = blockRow0 * factor;
        const int bandHeight = std::min(height - y0, blocksPerBand * factor);
        // A view of the band's rows, converted on its own.
        QImage view(image.constScanLine(y0), width, bandHeight, image.bytesPerLine(), image.format());
        if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB
            || image.format() == QImage::Format_Indexed8)
            view.setColorTable(image.colorTable());
        const QImage band = view.convertToFormat(format);
        if (band.isNull())
            return QImage();
        for (int by = 0; by * factor < bandHeight; ++by) {
            std::fill(sums.begin(), sums.end(), 0);
            const int rows = std::min(factor, bandHeight - by * factor);
            for (int r = 0; r < rows; ++r) {
                const auto *line = reinterpret_cast<const QRgb *>(band.constScanLine(by * factor + r));
                std::uint64_t *sum = sums.data();
                for (int x0 = 0; x0 < width; x0 += factor, sum += 4) {
                    const int x1 = std::min(width, x0 + factor);
                    std::uint64_t a = 0, red = 0, green = 0, blue = 0;
                    for (int x = x0; x < x1; ++x) {
                        const QRgb p = line[x];
                        a += qAlpha(p);
                        red += qRed(p);
                        green += qGreen(p);
                        blue += qBlue(p);
                    }
                    sum[0] += a;
                    sum[1] += red;
                    sum[2] += green;
                    sum[3] += blue;
                }
            }
            auto *target = reinterpret_cast<QRgb *>(out.scanLine(blockRow0 + by));
            for (int bx = 0; bx < outWidth; ++bx) {
                const std::uint64_t count = std::uint64_t(rows) * std::uint64_t(std::min(factor, width - bx * factor));
                const std::uint64_t *sum = sums.data() + size_t(bx) * 4;
                const auto mean = [count](std::uint64_t total) { return int((total + count / 2) / count); };
                target[bx] = qRgba(mean(sum[1]), mean(sum[2]), mean(sum[3]), mean(sum[0]));
            }
        }
    }
    return out;
}

} // namespace

QImage scaledSmoothly(const QImage &image, QSize target)
{
    if (image.isNull() || target.isEmpty())
        return QImage();
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    // Whole source pixels per block, leaving at least twice the target for the smooth step.
    const int factor = std::min(image.width() / target.width(), image.height() / target.height()) / 2;
    QImage reduced = image;
    if (factor >= 2 && image.depth() <= 32) {
        reduced = blockAveraged(image, factor, format);
        if (reduced.isNull())
            return reduced;
    }
    QImage scaled = reduced.size() == target ? reduced.convertToFormat(format)
                                             : reduced.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setColorSpace(image.colorSpace());
    return scaled;
}

} // namespace ImageReduction
