#include "platform/JpegFile.h"

#include "platform/JpegLibrary.h"

#include <QColorSpace>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include <lcms2.h>

namespace JpegFile {

namespace {

int be16(const QByteArray &bytes, qsizetype at) { return (quint8(bytes[at]) << 8) | quint8(bytes[at + 1]); }

bool isFrameHeader(int marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

using JpegLibrary::ErrorExit;

// Start-of-scan markers from `from` on. Scan data never holds FF DA (an FF in it is followed by 00
// or a restart marker), so every one found starts a scan.
int countLaterScans(const QByteArray &bytes, qsizetype from)
{
    int count = 0;
    const char *data = bytes.constData();
    const char *end = data + bytes.size();
    for (const char *at = data + from; at + 1 < end;) {
        const auto *found = static_cast<const char *>(std::memchr(at, 0xFF, size_t(end - at - 1)));
        if (!found)
            break;
        if (quint8(found[1]) == 0xDA)
            ++count;
        at = found + 1;
    }
    return count;
}

qint64 roundedUp(qint64 value, qint64 step) { return (value + step - 1) / step * step; }

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

// Owns the profiles and the transform from CMYK to sRGB.
struct CmykTransform {
    cmsHPROFILE input = nullptr;
    cmsHPROFILE output = nullptr;
    cmsHTRANSFORM transform = nullptr;

    CmykTransform(const QByteArray &profile, bool inverted)
    {
        input = cmsOpenProfileFromMem(profile.constData(), cmsUInt32Number(profile.size()));
        if (!input || cmsGetColorSpace(input) != cmsSigCmykData)
            return;
        output = cmsCreate_sRGBProfile();
        if (!output)
            return;
        // The output rows are QImage RGB32 pixels: bytes B, G, R, A in memory.
        transform = cmsCreateTransform(input, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, output, TYPE_BGRA_8,
                                       INTENT_PERCEPTUAL, 0);
    }
    ~CmykTransform()
    {
        if (transform)
            cmsDeleteTransform(transform);
        if (output)
            cmsCloseProfile(output);
        if (input)
            cmsCloseProfile(input);
    }
    CmykTransform(const CmykTransform &) = delete;
    CmykTransform &operator=(const CmykTransform &) = delete;
};

// Decodes into `image` (allocated here once the size is known) through `transform`. The image and
// the row buffer live with the caller, so the decoder's work holds nothing that needs destroying.
bool decodeInto(const QByteArray &bytes, QSize atLeast, cmsHTRANSFORM transform, QImage &image,
                std::vector<JSAMPLE> &row)
{
    bool whole = false;
    const bool ran = JpegLibrary::decompress(bytes, [&](jpeg_decompress_struct &info, const ErrorExit &error) {
        if (info.num_components != 4)
            return;
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
        if (image.isNull())
            return;
        image.fill(0xFFFFFFFF); // the transform leaves the alpha bytes as they are
        row.resize(size_t(info.output_width) * 4);
        while (info.output_scanline < info.output_height) {
            JSAMPROW rows[1] = { row.data() };
            const int y = int(info.output_scanline);
            if (jpeg_read_scanlines(&info, rows, 1) != 1)
                break;
            cmsDoTransform(transform, row.data(), image.scanLine(y), info.output_width);
        }
        // Data that ends early is filled in by the decoder with a warning; such a picture is refused.
        const bool complete = info.output_scanline == info.output_height && error.manager.num_warnings == 0;
        jpeg_finish_decompress(&info);
        whole = complete;
    });
    return ran && whole;
}

enum class EighthsOutcome { decoded, notTaken, damaged };

// Decodes at scaleEighths / 8 into `image` (RGB32 or Grayscale8, allocated here; it lives with the
// caller, so the decoder's work holds nothing that needs destroying).
EighthsOutcome decodeEighths(const QByteArray &bytes, int scaleEighths, QImage &image)
{
    EighthsOutcome outcome = EighthsOutcome::damaged;
    const bool ran = JpegLibrary::decompress(bytes, [&](jpeg_decompress_struct &info, const ErrorExit &error) {
        if (info.out_color_space != JCS_RGB && info.out_color_space != JCS_GRAYSCALE) {
            outcome = EighthsOutcome::notTaken;
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
            outcome = EighthsOutcome::notTaken;
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
        outcome = whole && !error.dataEndedEarly ? EighthsOutcome::decoded : EighthsOutcome::damaged;
    });
    return ran ? outcome : EighthsOutcome::damaged;
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
    qsizetype at = 2;
    while (at + 1 < bytes.size()) {
        if (quint8(bytes[at]) != 0xFF) {
            ++at; // stray bytes between segments are skipped, as decoders do
            continue;
        }
        const int marker = quint8(bytes[at + 1]);
        at += 2;
        if (marker == 0xFF) {
            --at; // fill byte
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (marker == 0xD9 || at + 2 > bytes.size())
            break;
        const int length = be16(bytes, at);
        if (length < 2 || at + length > bytes.size())
            break;
        const QByteArray segment = bytes.mid(at + 2, length - 2);
        if (isFrameHeader(marker) && segment.size() >= 6) {
            result.height = be16(segment, 1);
            result.width = be16(segment, 3);
            result.components = quint8(segment[5]);
            result.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            result.arithmetic = marker >= 0xC9;
            result.sampling.clear();
            for (int c = 0; c < result.components && 6 + 3 * c + 2 < segment.size(); ++c) {
                const int factors = quint8(segment[6 + 3 * c + 1]);
                result.sampling.push_back({ std::max(factors >> 4, 1), std::max(factors & 15, 1) });
            }
        } else if (marker == 0xDA && !segment.isEmpty()) {
            result.firstScanComponents = quint8(segment[0]);
        } else if (marker == 0xE0 && segment.size() >= 12 && segment.startsWith(QByteArray("JFIF\0", 5))) {
            result.densityUnit = quint8(segment[7]);
            result.xDensity = be16(segment, 8);
            result.yDensity = be16(segment, 10);
        } else if (marker == 0xEE && segment.startsWith("Adobe")) {
            result.adobeMarker = true;
        } else if (marker == 0xE2 && segment.size() > 14 && segment.startsWith(QByteArray("ICC_PROFILE\0", 12))) {
            profileChunks[quint8(segment[12])] = segment.mid(14);
        }
        at += length;
        if (marker == 0xDA) {
            // Entropy-coded data never holds FF D9 (an FF in it is followed by 00 or a restart
            // marker), so the end marker is found only when the data is all there. Looked for
            // from the end, where a whole file has it.
            const qsizetype end = bytes.lastIndexOf(QByteArray("\xFF\xD9", 2));
            result.complete = end >= at;
            result.scanBytes = (result.complete ? end : bytes.size()) - at;
            result.scans = 1 + countLaterScans(bytes, at);
            break;
        }
    }
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

qint64 optimisingEncoderBytes(QSize size, bool grey)
{
    if (grey)
        return coefficientBytes(size.width(), size.height(), { { 1, 1 } });
    return coefficientBytes(size.width(), size.height(), { { 2, 2 }, { 1, 1 }, { 1, 1 } });
}

bool isUndecodable(const Layout &layout)
{
    if (layout.sampling.empty())
        return layout.scans > JpegLibrary::maxScans;
    int maxH = 1, maxV = 1;
    for (const Layout::Sampling &s : layout.sampling) {
        maxH = std::max(maxH, s.horizontal);
        maxV = std::max(maxV, s.vertical);
    }
    const auto blocksOf = [&](const Layout::Sampling &s) {
        return ((qint64(layout.width) * s.horizontal + maxH * 8 - 1) / (maxH * 8))
            * ((qint64(layout.height) * s.vertical + maxV * 8 - 1) / (maxV * 8));
    };
    qint64 blocks = 0;
    for (const Layout::Sampling &s : layout.sampling)
        blocks += blocksOf(s);
    if (layout.scans > JpegLibrary::scanLimit(blocks))
        return true;
    // The first component's blocks, each coded at least once.
    return !layout.arithmetic && layout.scanBytes * 8 < blocksOf(layout.sampling.front());
}

std::optional<QImage> decodeCmykWithProfile(const QByteArray &bytes, const Layout &layout, QSize atLeast)
{
    if (layout.components != 4 || layout.iccProfile.isEmpty())
        return std::nullopt;
    const CmykTransform cmyk(layout.iccProfile, layout.adobeMarker);
    if (!cmyk.transform)
        return std::nullopt;
    QImage image;
    std::vector<JSAMPLE> row;
    if (!decodeInto(bytes, atLeast, cmyk.transform, image, row))
        return std::nullopt;
    image.setColorSpace(QColorSpace(QColorSpace::SRgb));
    return image;
}

CheckedDecode decodeScaledChecked(const QByteArray &bytes, const Layout &layout, QSize scaledSize)
{
    CheckedDecode result;
    if (!layout.complete || (layout.components != 1 && layout.components != 3) || scaledSize.isEmpty()
        || layout.width <= 0 || layout.height <= 0)
        return result;
    QImage image;
    const EighthsOutcome outcome = decodeEighths(bytes, readerEighths(layout, scaledSize), image);
    result.damaged = outcome == EighthsOutcome::damaged;
    if (outcome != EighthsOutcome::decoded)
        return result;
    if (image.size() != scaledSize)
        image = image.scaled(scaledSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!image.isNull())
        result.image = std::move(image);
    return result;
}

std::optional<QImage> decodeScaled(const QByteArray &bytes, const Layout &layout, QSize scaledSize)
{
    if (!layout.iccProfile.isEmpty())
        return std::nullopt;
    return decodeScaledChecked(bytes, layout, scaledSize).image;
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
