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

// The mean of the source over each target pixel's area (a box filter with fractional edges) for
// the target pixels in `region`, converting the source to the target's format one band of rows at a
// time. Sums are exact integers, so a pixel comes out the same whichever region it is computed in.
bool areaAveragedInto(const QImage &image, QImage &out, const QRect &region)
{
    const int width = image.width();
    const int height = image.height();
    const int outWidth = out.width();
    const int outHeight = out.height();
    const QImage::Format format = out.format();
    const Spans columns = spans(width, outWidth);
    const Spans rows = spans(height, outHeight);
    // The source columns and rows that reach the region: those whose first target pixel is in it,
    // and those just before whose rest spills into its first column or row.
    const auto reach = [](const Spans &along, int first, int last) {
        const auto begin = std::lower_bound(along.first.begin(), along.first.end(), first - 1);
        const auto end = std::upper_bound(along.first.begin(), along.first.end(), last);
        return std::pair<int, int>(int(begin - along.first.begin()), int(end - along.first.begin()));
    };
    const auto [x0, x1] = reach(columns, region.left(), region.right());
    const auto [y0, y1] = reach(rows, region.top(), region.bottom());
    // What one target pixel's sums add up to: its area in 1/256ths squared.
    const double area = (double(width) / outWidth) * (double(height) / outHeight) * double(whole) * double(whole);
    // Slot 0 collects what falls before the region's first column, the last one what falls after.
    const int slots = region.width() + 2;
    const size_t rowValues = size_t(slots) * 4;
    std::vector<std::uint64_t> line(rowValues);
    std::vector<std::uint64_t> current(rowValues);
    std::vector<std::uint64_t> following(rowValues);
    int currentRow = region.top() - 1;
    const auto flush = [&] {
        if (currentRow >= region.top()) {
            auto *target = reinterpret_cast<QRgb *>(out.scanLine(currentRow)) + region.left();
            for (int x = 0; x < region.width(); ++x) {
                const std::uint64_t *v = current.data() + size_t(x + 1) * 4;
                const auto mean
                    = [area](std::uint64_t total) { return std::clamp(int(double(total) / area + 0.5), 0, 255); };
                target[x] = qRgba(mean(v[1]), mean(v[2]), mean(v[3]), mean(v[0]));
            }
        }
        current.swap(following);
        std::fill(following.begin(), following.end(), 0);
        ++currentRow;
    };
    // Pixels narrower than a byte are converted from the row's start.
    const int viewLeft = image.depth() >= 8 ? x0 : 0;
    const int viewWidth = x1 - viewLeft;
    const int bandRows = int(std::max<qint64>(1, bandBytes / (qint64(std::max(viewWidth, 1)) * 4)));
    for (int band0 = y0; viewWidth > 0 && band0 < y1; band0 += bandRows) {
        const int bandHeight = std::min(bandRows, y1 - band0);
        // A view of the band's rows, converted on its own.
        QImage view(image.constScanLine(band0) + qsizetype(viewLeft) * (image.depth() / 8), viewWidth, bandHeight,
                    image.bytesPerLine(), image.format());
        if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB
            || image.format() == QImage::Format_Indexed8)
            view.setColorTable(image.colorTable());
        const QImage converted = view.convertToFormat(format);
        if (converted.isNull())
            return false;
        for (int r = 0; r < bandHeight; ++r) {
            const int y = band0 + r;
            while (rows.first[size_t(y)] > currentRow)
                flush();
            std::fill(line.begin(), line.end(), 0);
            const auto *pixels = reinterpret_cast<const QRgb *>(converted.constScanLine(r)) - viewLeft;
            const int *firsts = columns.first.data();
            const std::uint32_t *shares = columns.share.data();
            const int slotOffset = 1 - region.left();
            for (int x = x0; x < x1; ++x) {
                const QRgb p = pixels[x];
                if (p == 0) // transparent (premultiplied) or black: adds nothing
                    continue;
                const std::uint32_t share = shares[x];
                std::uint64_t *v = line.data() + size_t(firsts[x] + slotOffset) * 4;
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
    while (currentRow <= region.bottom())
        flush();
    return true;
}

QImage areaAveraged(const QImage &image, QSize target, QImage::Format format)
{
    QImage out(target, format);
    if (out.isNull() || !areaAveragedInto(image, out, out.rect()))
        return QImage();
    return out;
}

} // namespace

bool reducesByArea(const QImage &image, QSize target)
{
    // Wide opaque pictures keep their precision through QImage::scaled; wide ones with alpha do
    // not go there, since its reduction of 16-bit and float RGBA by more than half averages the
    // alpha wrongly (a 16-bit RGBA PNG's thumbnail came out a sixth more transparent and brighter).
    return !image.isNull() && !target.isEmpty() && image.width() >= 2 * target.width()
        && image.height() >= 2 * target.height() && (image.depth() <= 32 || image.hasAlphaChannel());
}

bool updateScaled(const QImage &image, QImage &scaled, QRect changed)
{
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (!reducesByArea(image, scaled.size()) || scaled.format() != format)
        return false;
    changed &= image.rect();
    if (changed.isEmpty())
        return true;
    const double sx = double(scaled.width()) / image.width();
    const double sy = double(scaled.height()) / image.height();
    // The target pixels whose areas meet the changed source pixels, with a pixel to spare on every
    // side against rounding (computing more pixels changes none of them).
    const QRect region = QRect(QPoint(int(changed.left() * sx) - 1, int(changed.top() * sy) - 1),
                               QPoint(int((changed.right() + 1) * sx) + 1, int((changed.bottom() + 1) * sy) + 1))
        & scaled.rect();
    return region.isEmpty() || areaAveragedInto(image, scaled, region);
}

QImage scaledSmoothly(const QImage &image, QSize target)
{
    if (image.isNull() || target.isEmpty())
        return QImage();
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    QImage scaled = reducesByArea(image, target)
        ? areaAveraged(image, target, format)
        : image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setColorSpace(image.colorSpace());
    return scaled;
}

} // namespace ImageReduction
