#include "platform/PngEncoder.h"

#include <QtEndian>

#include <spng.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace PngEncoder {

namespace {

// zlib's Z_RLE strategy (matches only of the previous byte).
constexpr int runLengthStrategy = 3;
constexpr int defaultStrategy = 0;

struct Compression {
    int filter;
    int level;
    int strategy;
};

constexpr Compression photographic { SPNG_FILTER_CHOICE_AVG, 1, runLengthStrategy };
constexpr Compression synthetic { SPNG_FILTER_CHOICE_ALL, 2, defaultStrategy };

// The trial sample: a few bands spread over the picture, a few percent of a camera image.
constexpr int sampleBands = 4;
constexpr int sampleBandRows = 16;

struct ContextFree {
    void operator()(spng_ctx *context) const { spng_ctx_free(context); }
};

int appendToBytes(spng_ctx *, void *user, void *data, size_t length)
{
    auto *bytes = static_cast<QByteArray *>(user);
    if (length > size_t(std::numeric_limits<qsizetype>::max() - bytes->size()))
        return SPNG_EOVERFLOW;
    bytes->append(static_cast<const char *>(data), qsizetype(length));
    return 0;
}

// One 32-bit row as R, G, B bytes: the straight colour, also of premultiplied pixels.
void toRgb(const QImage &image, int y, unsigned char *out)
{
    const QRgb *in = reinterpret_cast<const QRgb *>(image.constScanLine(y));
    const bool premultiplied = image.format() == QImage::Format_ARGB32_Premultiplied;
    for (int x = 0, width = image.width(); x < width; ++x) {
        const QRgb pixel = premultiplied ? qUnpremultiply(in[x]) : in[x];
        out[0] = static_cast<unsigned char>(qRed(pixel));
        out[1] = static_cast<unsigned char>(qGreen(pixel));
        out[2] = static_cast<unsigned char>(qBlue(pixel));
        out += 3;
    }
}

// Encodes the given rows of a 32-bit image as a PNG of that many rows.
std::optional<QByteArray> encodeRows(const QImage &image, const std::vector<int> &rows, Compression compression,
                                     qsizetype expectedSize)
{
    std::unique_ptr<spng_ctx, ContextFree> context(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!context)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(expectedSize);
    spng_ctx *ctx = context.get();
    spng_ihdr header {};
    header.width = uint32_t(image.width());
    header.height = uint32_t(rows.size());
    header.bit_depth = 8;
    header.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    if (spng_set_png_stream(ctx, appendToBytes, &bytes) || spng_set_ihdr(ctx, &header)
        || spng_set_option(ctx, SPNG_FILTER_CHOICE, compression.filter)
        || spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, compression.level)
        || spng_set_option(ctx, SPNG_IMG_COMPRESSION_STRATEGY, compression.strategy))
        return std::nullopt;
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        spng_phys phys { uint32_t(image.dotsPerMeterX()), uint32_t(image.dotsPerMeterY()), 1 };
        if (spng_set_phys(ctx, &phys))
            return std::nullopt;
    }
    if (spng_encode_image(ctx, nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE))
        return std::nullopt;
    std::vector<unsigned char> row(size_t(image.width()) * 3);
    for (size_t i = 0; i < rows.size(); ++i) {
        toRgb(image, rows[i], row.data());
        const int error = spng_encode_row(ctx, row.data(), row.size());
        // The last row answers "end of image" once the file is complete.
        if (error != 0 && !(error == SPNG_EOI && i + 1 == rows.size()))
            return std::nullopt;
    }
    return bytes;
}

std::vector<int> sampleRows(int height)
{
    std::vector<int> rows;
    if (height <= sampleBands * sampleBandRows) {
        for (int y = 0; y < height; ++y)
            rows.push_back(y);
        return rows;
    }
    for (int band = 0; band < sampleBands; ++band) {
        const int first = int((int64_t(height) * (2 * band + 1)) / (2 * sampleBands)) - sampleBandRows / 2;
        for (int y = first; y < first + sampleBandRows; ++y)
            rows.push_back(y);
    }
    return rows;
}

Compression chosenCompression(const QImage &image)
{
    const std::vector<int> rows = sampleRows(image.height());
    const qsizetype raw = qsizetype(rows.size()) * image.width() * 3;
    const std::optional<QByteArray> a = encodeRows(image, rows, photographic, raw);
    const std::optional<QByteArray> b = encodeRows(image, rows, synthetic, raw);
    if (a && b && b->size() < a->size())
        return synthetic;
    return photographic;
}

} // namespace

std::optional<QByteArray> encodeOpaque(const QImage &source)
{
    if (source.isNull())
        return std::nullopt;
    QImage image = source;
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32
        && image.format() != QImage::Format_ARGB32_Premultiplied) {
        // Straight colour either way: a premultiplied source keeps its colours, not their product
        // with alpha, once the alpha is dropped.
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (image.isNull())
            return std::nullopt;
    }
    std::vector<int> rows(size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        rows[size_t(y)] = y;
    // Camera pictures come out at roughly half their raw size.
    const qsizetype expected = qsizetype(image.width()) * image.height() * 3 / 2 + 1024;
    return encodeRows(image, rows, chosenCompression(image), expected);
}

std::optional<QByteArray> imageData(QByteArray png)
{
    static constexpr char signature[] = "\x89PNG\r\n\x1a\n";
    constexpr qsizetype signatureSize = 8;
    if (png.size() < signatureSize || std::memcmp(png.constData(), signature, signatureSize) != 0)
        return std::nullopt;
    char *data = png.data();
    qsizetype read = signatureSize;
    qsizetype written = 0;
    bool ended = false;
    while (!ended) {
        if (png.size() - read < 12)
            return std::nullopt;
        const quint32 length = qFromBigEndian<quint32>(data + read);
        if (length > quint32(png.size() - read - 12))
            return std::nullopt;
        const char *type = data + read + 4;
        if (std::memcmp(type, "IDAT", 4) == 0) {
            // Payloads only move towards the front, so the bytes ahead are never overwritten.
            std::memmove(data + written, data + read + 8, length);
            written += length;
        }
        ended = std::memcmp(type, "IEND", 4) == 0;
        read += 12 + qsizetype(length);
    }
    if (written == 0)
        return std::nullopt;
    png.truncate(written);
    return png;
}

} // namespace PngEncoder
