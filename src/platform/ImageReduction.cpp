#include "platform/ImageReduction.h"

#include <QColorSpace>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace ImageReduction {

namespace {

// Rows of the source converted to 32 bits at a time: a few megabytes.
constexpr qint64 bandBytes = qint64(8) << 20;

// Shares of a source pixel are counted in 1/256ths.
constexpr std::uint32_t whole = 256;

// Where each source pixel along one axis lands: the first target pixel it covers and the share
// of it that goes there (the rest goes to the next target pixel). Every target pixel covers
// `scale` source pixels, at least two.
struct Spans {
    std::vector<int> first;
    std::vector<std::uint32_t> share;
};

Spans spans(int source, int target)
{
    Spans result;
    result.first.resize(size_t(source));
    result.share.resize(size_t(source));
    const double scale = double(source) / target;
    for (int i = 0; i < source; ++i) {
        const int first = std::min(int(i / scale), target - 1);
        const double end = (first + 1) * scale;
        result.first[size_t(i)] = first;
        result.share[size_t(i)]
            = first == target - 1 ? whole : std::uint32_t(std::lround(std::clamp(end - i, 0.0, 1.0) * whole));
    }
    return result;
}

// The mean of the source over each target pixel's area (a box filter with fractional edges),
// converting the source to `format` one band of rows at a time.
QImage areaAveraged(const QImage &image, QSize target, QImage::Format format)
{
    const int width = image.width();
    const int height = image.height();
    const int outWidth = target.width();
    const int outHeight = target.height();
    QImage out(target, format);
    if (out.isNull())
        return out;
    const Spans columns = spans(width, outWidth);
    const Spans rows = spans(height, outHeight);
    // What one target pixel's sums add up to: its area in 1/256ths squared.
    const double area = (double(width) / outWidth) * (double(height) / outHeight) * double(whole) * double(whole);
    const size_t rowValues = size_t(outWidth + 1) * 4; // one spare pixel for the last shares
    std::vector<std::uint64_t> line(rowValues);
    std::vector<std::uint64_t> current(rowValues);
    std::vector<std::uint64_t> following(rowValues);
    int currentRow = 0;
    const auto flush = [&] {
        auto *target = reinterpret_cast<QRgb *>(out.scanLine(currentRow));
        for (int x = 0; x < outWidth; ++x) {
            const std::uint64_t *v = current.data() + size_t(x) * 4;
            const auto mean
                = [area](std::uint64_t total) { return std::clamp(int(double(total) / area + 0.5), 0, 255); };
            target[x] = qRgba(mean(v[1]), mean(v[2]), mean(v[3]), mean(v[0]));
        }
        current.swap(following);
        std::fill(following.begin(), following.end(), 0);
        ++currentRow;
    };
    const int bandRows = int(std::max<qint64>(1, bandBytes / (qint64(width) * 4)));
    for (int y0 = 0; y0 < height; y0 += bandRows) {
        const int bandHeight = std::min(bandRows, height - y0);
        // A view of the band's rows, converted on its own.
        QImage view(image.constScanLine(y0), width, bandHeight, image.bytesPerLine(), image.format());
        if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB
            || image.format() == QImage::Format_Indexed8)
            view.setColorTable(image.colorTable());
        const QImage band = view.convertToFormat(format);
        if (band.isNull())
            return QImage();
        for (int r = 0; r < bandHeight; ++r) {
            const int y = y0 + r;
            while (rows.first[size_t(y)] > currentRow)
                flush();
            std::fill(line.begin(), line.end(), 0);
            const auto *pixels = reinterpret_cast<const QRgb *>(band.constScanLine(r));
            const int *firsts = columns.first.data();
            const std::uint32_t *shares = columns.share.data();
            for (int x = 0; x < width; ++x) {
                const QRgb p = pixels[x];
                if (p == 0) // transparent (premultiplied) or black: adds nothing
                    continue;
                const std::uint32_t share = shares[x];
                std::uint64_t *v = line.data() + size_t(firsts[x]) * 4;
                const std::uint32_t a = qAlpha(p), red = qRed(p), green = qGreen(p), blue = qBlue(p);
                v[0] += a * share;
                v[1] += red * share;
                v[2] += green * share;
                v[3] += blue * share;
                if (share != whole) {
                    const std::uint32_t rest = whole - share;
                    v[4] += a * rest;
                    v[5] += red * rest;
                    v[6] += green * rest;
                    v[7] += blue * rest;
                }
            }
            const std::uint64_t share = rows.share[size_t(y)];
            for (size_t i = 0; i < rowValues; ++i) {
                current[i] += line[i] * share;
                following[i] += line[i] * (whole - share);
            }
        }
    }
    while (currentRow < outHeight)
        flush();
    return out;
}

} // namespace

QImage scaledSmoothly(const QImage &image, QSize target)
{
    if (image.isNull() || target.isEmpty())
        return QImage();
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    const bool large = image.width() >= 2 * target.width() && image.height() >= 2 * target.height();
    QImage scaled = large && image.depth() <= 32
        ? areaAveraged(image, target, format)
        : image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setColorSpace(image.colorSpace());
    return scaled;
}

} // namespace ImageReduction
