#include "platform/PngBandEncoder.h"

#include "platform/ParallelWork.h"

#include <QThread>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace PngBandEncoder {

namespace {

constexpr int bytesPerPixel = 3;
constexpr unsigned char averageFilter = 3;
// Below this many rows a band is not worth a thread of its own.
constexpr int minimumBandRows = 32;

struct Band {
    int firstRow = 0;
    int rowCount = 0;
    QByteArray deflated;
    uLong adler = 0;
    qsizetype filteredSize = 0;
    bool ok = false;
};

// One 32-bit row as R, G, B bytes.
void toRgb(const QImage &image, int y, unsigned char *out)
{
    const QRgb *in = reinterpret_cast<const QRgb *>(image.constScanLine(y));
    for (int x = 0, width = image.width(); x < width; ++x) {
        out[0] = static_cast<unsigned char>(qRed(in[x]));
        out[1] = static_cast<unsigned char>(qGreen(in[x]));
        out[2] = static_cast<unsigned char>(qBlue(in[x]));
        out += 3;
    }
}

// The row led by its filter byte, each byte less the floor of the mean of its left and upper
// neighbours (zero outside the picture).
void filterAverage(const unsigned char *row, const unsigned char *above, size_t length, unsigned char *out)
{
    out[0] = averageFilter;
    unsigned char *filtered = out + 1;
    for (size_t i = 0; i < length; ++i) {
        const unsigned left = i >= bytesPerPixel ? row[i - bytesPerPixel] : 0;
        const unsigned up = above ? above[i] : 0;
        filtered[i] = static_cast<unsigned char>(row[i] - ((left + up) >> 1));
    }
}

// Filters and deflates the band's rows into a raw deflate piece: the last band ends the stream, the
// others end on a byte boundary so the next piece can follow.
void encodeBand(const QImage &image, bool last, Band &band)
{
    const size_t length = size_t(image.width()) * bytesPerPixel;
    std::vector<unsigned char> above(length);
    std::vector<unsigned char> row(length);
    std::vector<unsigned char> filtered(size_t(band.rowCount) * (length + 1));
    if (band.firstRow > 0)
        toRgb(image, band.firstRow - 1, above.data());
    for (int i = 0; i < band.rowCount; ++i) {
        const int y = band.firstRow + i;
        toRgb(image, y, row.data());
        filterAverage(row.data(), y > 0 ? above.data() : nullptr, length, filtered.data() + size_t(i) * (length + 1));
        std::swap(row, above);
    }
    band.filteredSize = qsizetype(filtered.size());
    band.adler = adler32(adler32(0, nullptr, 0), filtered.data(), uInt(filtered.size()));

    z_stream stream{};
    if (deflateInit2(&stream, 1, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK)
        return;
    const uLong bound = deflateBound(&stream, uLong(filtered.size())) + 16;
    if (bound > uLong(std::numeric_limits<int>::max())) {
        deflateEnd(&stream);
        return;
    }
    band.deflated.resize(qsizetype(bound));
    stream.next_in = filtered.data();
    stream.avail_in = uInt(filtered.size());
    stream.next_out = reinterpret_cast<Bytef *>(band.deflated.data());
    stream.avail_out = uInt(bound);
    const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool done = last ? result == Z_STREAM_END : (result == Z_OK && stream.avail_in == 0);
    band.deflated.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    band.ok = done;
}

void appendBigEndian(QByteArray &bytes, quint32 value)
{
    char data[4];
    qToBigEndian(value, data);
    bytes.append(data, 4);
}

void appendChunk(QByteArray &png, const char *type, const QByteArray &data)
{
    appendBigEndian(png, quint32(data.size()));
    const qsizetype start = png.size();
    png.append(type, 4);
    png.append(data);
    const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(png.constData() + start),
                            uInt(png.size() - start));
    appendBigEndian(png, quint32(crc));
}

} // namespace

std::optional<QByteArray> encodeOpaque(const QImage &source, int bands)
{
    if (source.isNull())
        return std::nullopt;
    QImage image = source;
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32) {
        image = image.convertToFormat(QImage::Format_RGB32);
        if (image.isNull())
            return std::nullopt;
    }
    // The filtered rows of one band must fit zlib's 32-bit counts.
    if (qint64(image.width()) * bytesPerPixel + 1 > qint64(std::numeric_limits<int>::max() / 4))
        return std::nullopt;

    const int wanted = bands > 0 ? bands : std::max(QThread::idealThreadCount(), 1);
    const int count = std::clamp(image.height() / minimumBandRows, 1, std::max(wanted, 1));
    const qint64 rowBytes = qint64(image.width()) * bytesPerPixel + 1;
    const int rowsPerBand = std::max((image.height() + count - 1) / count, 1);
    if (rowBytes * rowsPerBand > qint64(std::numeric_limits<int>::max() / 2))
        return std::nullopt;
    std::vector<Band> pieces;
    for (int first = 0; first < image.height(); first += rowsPerBand)
        pieces.push_back(Band{first, std::min(rowsPerBand, image.height() - first), {}, 0, 0, false});
    ParallelWork::forEach(int(pieces.size()), [&](int i) {
        encodeBand(image, size_t(i) + 1 == pieces.size(), pieces[size_t(i)]);
    });

    uLong adler = adler32(0, nullptr, 0);
    for (const Band &band : pieces) {
        if (!band.ok)
            return std::nullopt;
        adler = adler32_combine(adler, band.adler, band.filteredSize);
    }

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    appendBigEndian(header, quint32(image.width()));
    appendBigEndian(header, quint32(image.height()));
    header.append(char(8)); // bit depth
    header.append(char(2)); // truecolour
    header.append(3, char(0)); // deflate, adaptive filtering, no interlace
    appendChunk(png, "IHDR", header);
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        QByteArray phys;
        appendBigEndian(phys, quint32(image.dotsPerMeterX()));
        appendBigEndian(phys, quint32(image.dotsPerMeterY()));
        phys.append(char(1)); // per metre
        appendChunk(png, "pHYs", phys);
    }
    // The zlib stream: its header (deflate, 32 KB window, fastest), the pieces, the checksum of all
    // the filtered rows; one IDAT chunk per piece.
    for (size_t i = 0; i < pieces.size(); ++i) {
        QByteArray data;
        if (i == 0)
            data.append("\x78\x01", 2);
        data.append(pieces[i].deflated);
        pieces[i].deflated = QByteArray();
        if (i + 1 == pieces.size())
            appendBigEndian(data, quint32(adler));
        appendChunk(png, "IDAT", data);
    }
    appendChunk(png, "IEND", QByteArray());
    return png;
}

} // namespace PngBandEncoder
