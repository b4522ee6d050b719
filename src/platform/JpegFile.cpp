#include "platform/JpegFile.h"

#include "platform/CmykProfileTransform.h"
#include "platform/IccProfileTables.h"
#include "platform/JpegLibrary.h"

#include <QColorSpace>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>

#include <lcms2.h>

namespace JpegFile {

namespace {

int be16(const QByteArray &bytes, qsizetype at) { return (quint8(bytes[at]) << 8) | quint8(bytes[at + 1]); }

using JpegLibrary::ErrorExit;

// The next marker from `at` on, as the decoder's marker reader finds it: bytes other than FF are
// skipped, and so are fill bytes (FF FF …) and stuffed zeros (FF 00) found outside scan data.
// `at` is left after the marker; -1 when the bytes end first.
int nextMarker(const QByteArray &bytes, qsizetype &at)
{
    const qsizetype size = bytes.size();
    for (;;) {
        while (at < size && quint8(bytes[at]) != 0xFF)
            ++at;
        while (at < size && quint8(bytes[at]) == 0xFF)
            ++at;
        if (at >= size)
            return -1;
        const int marker = quint8(bytes[at++]);
        if (marker != 0)
            return marker;
    }
}

// The entropy-coded data that starts at a scan's header.
struct EntropyData {
    qsizetype end = 0; // the first marker other than a restart marker, or the end of the bytes
    std::vector<int> emptyPieces; // pieces (before and between restart markers) that hold no data
};

// Reads the entropy-coded data from `at` as the decoder finds it: in the data an FF is followed by
// 00 (after any fill bytes), or by a restart marker that ends a piece. A piece is empty when a
// marker comes first or, with `zerosAreEmpty`, when it holds only zero bytes. An empty piece after
// the last restart marker is not counted: some encoders end a scan with a restart marker.
EntropyData entropyData(const QByteArray &bytes, qsizetype at, bool zerosAreEmpty)
{
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    const qsizetype start = at;
    qsizetype piece = at;
    const auto isEmpty = [&](qsizetype end) {
        return zerosAreEmpty ? std::all_of(data + piece, data + end, [](char byte) { return byte == 0; }) : end == piece;
    };
    EntropyData result;
    result.end = size;
    int pieces = 0;
    while (at < size) {
        const auto *found = static_cast<const char *>(std::memchr(data + at, 0xFF, size_t(size - at)));
        if (!found)
            break;
        const qsizetype marker = found - data;
        qsizetype next = marker + 1;
        while (next < size && quint8(data[next]) == 0xFF)
            ++next;
        if (next >= size)
            break;
        const int code = quint8(data[next]);
        if (code != 0 && (code < 0xD0 || code > 0xD7)) {
            result.end = marker;
            break;
        }
        if (code != 0) {
            if (isEmpty(marker))
                result.emptyPieces.push_back(pieces);
            ++pieces;
            piece = next + 1;
        }
        at = next + 1;
    }
    if (piece == start && isEmpty(result.end))
        result.emptyPieces.push_back(0);
    return result;
}

// Frame headers the decoder reads: baseline, extended and progressive, Huffman or arithmetic.
bool isDecodedFrame(int marker) { return marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA; }

// Segments whose length the decoder takes as it comes: one below 2 skips nothing past the length.
bool skipsBySegmentLength(int marker) { return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE || marker == 0xDC; }

// Segments the decoder reads and then requires to end exactly where their length says.
bool isTableSegment(int marker) { return marker == 0xC4 || marker == 0xCC || marker == 0xDB || marker == 0xDD; }

qint64 roundedUp(qint64 value, qint64 step) { return (value + step - 1) / step * step; }

// Blocks of one component of the frame, as the decoder counts them for a scan of it alone.
qint64 blocksOfComponent(const Layout &layout, const Layout::Sampling &component)
{
    int maxH = 1, maxV = 1;
    for (const Layout::Sampling &s : layout.sampling) {
        maxH = std::max(maxH, s.horizontal);
        maxV = std::max(maxV, s.vertical);
    }
    return ((qint64(layout.width) * component.horizontal + maxH * 8 - 1) / (maxH * 8))
        * ((qint64(layout.height) * component.vertical + maxV * 8 - 1) / (maxV * 8));
}

// Blocks of each restart interval of a scan of these components (frame indices), and the number
// of intervals: the whole scan is one when there are no restart markers. A scan of one component
// goes through its blocks one by one; an interleaved scan through MCUs of each component's
// sampling factors.
struct ScanPieces {
    qint64 mcus = 0;
    int blocksPerMcu = 1;
    int interval = 0; // MCUs of a restart interval, 0 for none
    qint64 blocksOf(int piece) const
    {
        if (interval <= 0)
            return mcus * blocksPerMcu;
        return std::max<qint64>(std::min<qint64>(interval, mcus - qint64(piece) * interval), 1) * blocksPerMcu;
    }
};

ScanPieces scanPieces(const Layout &layout, const std::vector<size_t> &components, int restartInterval)
{
    ScanPieces pieces;
    pieces.interval = restartInterval;
    if (components.size() == 1) {
        pieces.mcus = blocksOfComponent(layout, layout.sampling[components.front()]);
        return pieces;
    }
    int maxH = 1, maxV = 1;
    for (const Layout::Sampling &s : layout.sampling) {
        maxH = std::max(maxH, s.horizontal);
        maxV = std::max(maxV, s.vertical);
    }
    pieces.blocksPerMcu = 0;
    for (const size_t c : components)
        pieces.blocksPerMcu += layout.sampling[c].horizontal * layout.sampling[c].vertical;
    pieces.mcus = ((qint64(layout.width) + maxH * 8 - 1) / (maxH * 8)) * ((qint64(layout.height) + maxV * 8 - 1) / (maxV * 8));
    return pieces;
}

// What the decode at full size of an arithmetic-coded picture with little data may hold: its
// coefficients and its pixels. A few bytes can declare the largest picture the pixel cap lets
// through, in several scans of full-resolution colour, whose decode would take about 2 GB.
constexpr qint64 largestSparseArithmeticDecode = qint64(1600) << 20;

// Bytes of whole-picture coefficient arrays, as the library sizes them: each component's blocks,
// rounded up to whole groups of its sampling factors, 64 coefficients of 2 bytes each.
qint64 coefficientBytes(qint64 width, qint64 height, const std::vector<Layout::Sampling> &sampling)
{
    int maxH = 1, maxV = 1;
    for (const Layout::Sampling &s : sampling) {
        maxH = std::max(maxH, s.horizontal);
        maxV = std::max(maxV, s.vertical);
    }
    qint64 bytes = 0;
    for (const Layout::Sampling &s : sampling) {
        const qint64 blocksWide = (width * s.horizontal + qint64(maxH) * 8 - 1) / (qint64(maxH) * 8);
        const qint64 blocksHigh = (height * s.vertical + qint64(maxV) * 8 - 1) / (qint64(maxV) * 8);
        bytes += roundedUp(blocksWide, s.horizontal) * roundedUp(blocksHigh, s.vertical) * 64 * 2;
    }
    return bytes;
}

enum class DecodeOutcome { decoded, notTaken, damaged };

// Turns a row of CMYK samples (as the decoder gives them) into RGB32 pixels.
using CmykRowConversion = std::function<void(const JSAMPLE *cmyk, uchar *pixels, unsigned width)>;

// Decodes a four-component file into `image` (allocated here once the size is known) through
// `convert`, at the smallest eighth that still covers `atLeast`. The image and the row buffer live
// with the caller, so the decoder's work holds nothing that needs destroying.
DecodeOutcome decodeCmykInto(const QByteArray &bytes, QSize atLeast, const CmykRowConversion &convert, QImage &image,
                             std::vector<JSAMPLE> &row)
{
    DecodeOutcome outcome = DecodeOutcome::damaged;
    const bool ran = JpegLibrary::decompress(bytes, [&](jpeg_decompress_struct &info, const ErrorExit &) {
        if (info.num_components != 4) {
            outcome = DecodeOutcome::notTaken;
            return;
        }
        info.out_color_space = JCS_CMYK;
        info.scale_num = 1;
        info.scale_denom = 1;
        if (atLeast.isValid() && !atLeast.isEmpty()) {
            for (const unsigned denominator : { 8u, 4u, 2u }) {
                if ((info.image_width + denominator - 1) / denominator >= unsigned(atLeast.width())
                    && (info.image_height + denominator - 1) / denominator >= unsigned(atLeast.height())) {
                    info.scale_denom = denominator;
                    break;
                }
            }
        }
        jpeg_start_decompress(&info);
        image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
        if (image.isNull()) {
            outcome = DecodeOutcome::notTaken;
            return;
        }
        image.fill(0xFFFFFFFF); // the conversion may leave the alpha bytes as they are
        row.resize(size_t(info.output_width) * 4);
        while (info.output_scanline < info.output_height) {
            JSAMPROW rows[1] = { row.data() };
            const int y = int(info.output_scanline);
            if (jpeg_read_scanlines(&info, rows, 1) != 1)
                break;
            convert(row.data(), image.scanLine(y), info.output_width);
        }
        // Data the decoder cannot read whole stops it (see JpegLibrary::decompress).
        const bool complete = info.output_scanline == info.output_height;
        jpeg_finish_decompress(&info);
        outcome = complete ? DecodeOutcome::decoded : DecodeOutcome::damaged;
    });
    return ran ? outcome : DecodeOutcome::damaged;
}

CheckedDecode checkedCmyk(const QByteArray &bytes, const Layout &layout, QSize atLeast, const CmykRowConversion &convert)
{
    CheckedDecode result;
    if (endsEarly(layout)) {
        result.damaged = true;
        return result;
    }
    QImage image;
    std::vector<JSAMPLE> row;
    const DecodeOutcome outcome = decodeCmykInto(bytes, atLeast, convert, image, row);
    result.damaged = outcome == DecodeOutcome::damaged;
    if (outcome == DecodeOutcome::decoded)
        result.image = std::move(image);
    return result;
}

// Decodes at scaleEighths / 8 into `image` (RGB32 or Grayscale8, allocated here; it lives with the
// caller, so the decoder's work holds nothing that needs destroying).
DecodeOutcome decodeEighths(const QByteArray &bytes, int scaleEighths, QImage &image)
{
    DecodeOutcome outcome = DecodeOutcome::damaged;
    const bool ran = JpegLibrary::decompress(bytes, [&](jpeg_decompress_struct &info, const ErrorExit &) {
        if (info.out_color_space != JCS_RGB && info.out_color_space != JCS_GRAYSCALE) {
            outcome = DecodeOutcome::notTaken;
            return;
        }
        const bool grey = info.out_color_space == JCS_GRAYSCALE;
        // The pixels RGB32 holds, with the unused byte set to FF.
        if (!grey)
            info.out_color_space = JCS_EXT_BGRX;
        info.scale_num = unsigned(scaleEighths);
        info.scale_denom = 8;
        jpeg_start_decompress(&info);
        image = QImage(int(info.output_width), int(info.output_height),
                       grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
        if (image.isNull()) {
            outcome = DecodeOutcome::notTaken;
            return;
        }
        while (info.output_scanline < info.output_height) {
            JSAMPROW rows[1] = { image.scanLine(int(info.output_scanline)) };
            if (jpeg_read_scanlines(&info, rows, 1) != 1)
                break;
        }
        const bool whole = info.output_scanline == info.output_height;
        if (whole)
            jpeg_finish_decompress(&info);
        outcome = whole ? DecodeOutcome::decoded : DecodeOutcome::damaged;
    });
    return ran ? outcome : DecodeOutcome::damaged;
}

// The reader's choice of scale for `scaledSize`: the smallest whole eighth, at least 1/8, that is
// no smaller than the size on the side that shrinks less.
int readerEighths(const Layout &layout, QSize scaledSize)
{
    const double factor
        = std::min(double(layout.width) / scaledSize.width(), double(layout.height) / scaledSize.height());
    return std::clamp(int(std::ceil(8 / factor)), 1, 8);
}

} // namespace

std::optional<Layout> layout(const QByteArray &bytes)
{
    if (!bytes.startsWith("\xFF\xD8"))
        return std::nullopt;
    Layout result;
    std::map<int, QByteArray> profileChunks;
    bool frame = false;
    bool followed = true;
    std::vector<int> componentIds; // in frame order
    int restartInterval = 0;
    qsizetype at = 2;
    // The markers as the decoder reads them, up to the end marker. A segment the decoder stops on
    // (an unknown or unsupported marker, a second frame header, a scan before the frame, a
    // length that does not fit) ends the walk; before the first scan it leaves the file unread.
    while (followed) {
        const int marker = nextMarker(bytes, at);
        if (marker < 0)
            break;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // no segment follows
        if (marker == 0xD9) {
            result.complete = result.scans > 0;
            break;
        }
        const bool frameHeader = marker >= 0xC0 && marker <= 0xCF && !isTableSegment(marker);
        if (!(frameHeader || marker == 0xDA || isTableSegment(marker) || skipsBySegmentLength(marker))
            || at + 2 > bytes.size()) {
            followed = false;
            break;
        }
        const int length = be16(bytes, at);
        if (length < 2 && skipsBySegmentLength(marker)) {
            at += 2;
            continue;
        }
        if (length < 2 || at + length > bytes.size()) {
            followed = false;
            break;
        }
        const QByteArray segment = bytes.mid(at + 2, length - 2);
        at += length;
        if (frameHeader) {
            const int components = segment.size() >= 6 ? quint8(segment[5]) : 0;
            if (frame || !isDecodedFrame(marker) || components == 0 || length != 8 + 3 * components
                || be16(segment, 1) == 0 || be16(segment, 3) == 0) {
                followed = false;
                break;
            }
            frame = true;
            result.height = be16(segment, 1);
            result.width = be16(segment, 3);
            result.components = components;
            result.progressive = marker == 0xC2 || marker == 0xCA;
            result.arithmetic = marker >= 0xC9;
            for (int c = 0; c < components; ++c) {
                const int factors = quint8(segment[6 + 3 * c + 1]);
                result.sampling.push_back({ std::max(factors >> 4, 1), std::max(factors & 15, 1) });
                componentIds.push_back(quint8(segment[6 + 3 * c]));
            }
        } else if (marker == 0xDA) {
            const int components = segment.isEmpty() ? 0 : quint8(segment[0]);
            if (!frame || components < 1 || components > 4 || length != 6 + 2 * components) {
                followed = false;
                break;
            }
            if (result.scans++ == 0)
                result.firstScanComponents = components;
            std::vector<size_t> inScan;
            for (int c = 0; c < components; ++c) {
                const auto id = std::find(componentIds.begin(), componentIds.end(), quint8(segment[1 + 2 * c]));
                if (id != componentIds.end()) {
                    inScan.push_back(size_t(id - componentIds.begin()));
                    result.scanBlocks += blocksOfComponent(result, result.sampling[inScan.back()]);
                }
            }
            const EntropyData entropy = entropyData(bytes, at, result.arithmetic);
            result.scanBytes += entropy.end - at;
            result.emptyPieces += int(entropy.emptyPieces.size());
            if (!inScan.empty()) {
                const ScanPieces pieces = scanPieces(result, inScan, restartInterval);
                for (const int piece : entropy.emptyPieces) {
                    const qint64 blocks = pieces.blocksOf(piece);
                    if (blocks > 1)
                        result.emptyPieceBlocks += blocks;
                }
            }
            at = entropy.end;
        } else if (marker == 0xDD && length != 4) {
            followed = false;
        } else if (marker == 0xDD) {
            restartInterval = be16(segment, 0);
        } else if (result.scans > 0) {
            continue; // what the header says is read before the first scan
        } else if (marker == 0xE0 && segment.size() >= 12 && segment.startsWith(QByteArray("JFIF\0", 5))) {
            result.densityUnit = quint8(segment[7]);
            result.xDensity = be16(segment, 8);
            result.yDensity = be16(segment, 10);
        } else if (marker == 0xEE && segment.startsWith("Adobe")) {
            result.adobeMarker = true;
        } else if (marker == 0xE2 && segment.size() > 14 && segment.startsWith(QByteArray("ICC_PROFILE\0", 12))) {
            profileChunks[quint8(segment[12])] = segment.mid(14);
        }
    }
    result.readable = result.scans > 0;
    for (const auto &chunk : profileChunks)
        result.iccProfile += chunk.second;
    return result;
}

qint64 coefficientBufferBytes(const Layout &layout)
{
    if (!layout.progressive && layout.firstScanComponents >= layout.components)
        return 0;
    return coefficientBytes(layout.width, layout.height, layout.sampling);
}

qint64 decoderHeldBytes(const Layout &layout)
{
    qint64 bytes = coefficientBufferBytes(layout);
    if (layout.components == 4 && !layout.iccProfile.isEmpty())
        bytes += IccProfileTables::workingBytes(layout.iccProfile).value_or(0);
    return bytes;
}

qint64 optimisingEncoderBytes(QSize size, bool grey)
{
    if (grey)
        return coefficientBytes(size.width(), size.height(), { { 1, 1 } });
    return coefficientBytes(size.width(), size.height(), { { 2, 2 }, { 1, 1 }, { 1, 1 } });
}

bool isTooCostly(const Layout &layout)
{
    if (!layout.readable || layout.sampling.empty())
        return false;
    if (!JpegLibrary::isWithinScanWork(layout.scans, layout.scanBlocks))
        return true;
    if (!layout.arithmetic)
        return false;
    // The library's own progressive scans refine every block's DC at a bit a block; a file with
    // less data than that for its largest decodes is refused.
    qint64 blocks = 0;
    for (const Layout::Sampling &s : layout.sampling)
        blocks += blocksOfComponent(layout, s);
    return coefficientBufferBytes(layout) + qint64(layout.width) * layout.height * 4 > largestSparseArithmeticDecode
        && layout.scanBytes * 8 < blocks;
}

bool isUndecodable(const Layout &layout)
{
    if (!layout.readable || layout.sampling.empty())
        return true;
    if (isTooCostly(layout))
        return true;
    if (layout.arithmetic) {
        // The coder writes nothing for a piece whose every decision went the way it expected: a
        // single block of a flat page, a few blocks of a smooth stretch of a photo. Real files
        // hold a few per cent of their blocks in such pieces of more than one block; a file with
        // a quarter of them there has lost its data (emptied scans, restart markers alone).
        return layout.emptyPieceBlocks * 4 > layout.scanBlocks;
    }
    // The first component's blocks, each coded at least once, in every scan and restart interval.
    return layout.emptyPieces > 0 || layout.scanBytes * 8 < blocksOfComponent(layout, layout.sampling.front());
}

bool endsEarly(const Layout &layout)
{
    return !layout.complete
        && (layout.arithmetic || layout.progressive || layout.scans != 1 || layout.firstScanComponents < layout.components);
}

CheckedDecode decodeCmykWithProfile(const QByteArray &bytes, const Layout &layout, QSize atLeast)
{
    if (layout.components != 4 || layout.iccProfile.isEmpty())
        return {};
    const CmykProfileTransform cmyk(layout.iccProfile, layout.adobeMarker);
    if (!cmyk.transform)
        return {};
    CheckedDecode result = checkedCmyk(bytes, layout, atLeast, [&](const JSAMPLE *cmykRow, uchar *pixels, unsigned width) {
        cmsDoTransform(cmyk.transform, cmykRow, pixels, width);
    });
    if (result.image)
        result.image->setColorSpace(QColorSpace(QColorSpace::SRgb));
    return result;
}

CheckedDecode decodeCmykAsReader(const QByteArray &bytes, const Layout &layout, QSize atLeast)
{
    if (layout.components != 4)
        return {};
    return checkedCmyk(bytes, layout, atLeast, [](const JSAMPLE *cmyk, uchar *pixels, unsigned width) {
        auto *out = reinterpret_cast<QRgb *>(pixels);
        for (unsigned x = 0; x < width; ++x, cmyk += 4) {
            const int k = cmyk[3];
            out[x] = qRgb(k * cmyk[0] / 255, k * cmyk[1] / 255, k * cmyk[2] / 255);
        }
    });
}

void attachReaderMetadata(QImage &image, const QImageReader &reader, const Layout &layout)
{
    for (const QString &key : reader.textKeys())
        image.setText(key, reader.text(key));
    if (layout.densityUnit == 1 || layout.densityUnit == 2) {
        const double perMetre = layout.densityUnit == 1 ? 100. / 2.54 : 100.;
        if (layout.xDensity > 0)
            image.setDotsPerMeterX(int(perMetre * layout.xDensity));
        if (layout.yDensity > 0)
            image.setDotsPerMeterY(int(perMetre * layout.yDensity));
    }
    if (!layout.iccProfile.isEmpty() && layout.components != 4)
        image.setColorSpace(QColorSpace::fromIccProfile(layout.iccProfile));
}

CheckedDecode decodeScaledChecked(const QByteArray &bytes, const Layout &layout, QSize scaledSize)
{
    CheckedDecode result;
    if ((layout.components != 1 && layout.components != 3) || scaledSize.isEmpty() || layout.width <= 0
        || layout.height <= 0)
        return result;
    // A file that may be cut short, without its end marker.
    result.damaged = endsEarly(layout);
    if (result.damaged)
        return result;
    QImage image;
    const DecodeOutcome outcome = decodeEighths(bytes, readerEighths(layout, scaledSize), image);
    result.damaged = outcome == DecodeOutcome::damaged;
    if (outcome != DecodeOutcome::decoded)
        return result;
    if (image.size() != scaledSize)
        image = image.scaled(scaledSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!image.isNull())
        result.image = std::move(image);
    return result;
}

QImage withoutForeignProfile(QImage image)
{
    const QByteArray profile = image.colorSpace().iccProfile();
    // Bytes 16…19 of a profile name the colour space of the data it describes.
    if (profile.size() >= 20 && profile.mid(16, 4) != "RGB ")
        image.setColorSpace(QColorSpace());
    return image;
}

} // namespace JpegFile
