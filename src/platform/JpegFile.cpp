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

// Decodes into `image` (allocated here once the size is known) through `transform`. Only plain C
// objects live between setjmp and the decoder's calls, so the jump skips no destructor.
bool decodeInto(const QByteArray &bytes, QSize atLeast, cmsHTRANSFORM transform, QImage &image,
                std::vector<JSAMPLE> &row)
{
    jpeg_decompress_struct info;
    ErrorExit error;
    info.err = JpegLibrary::quietErrors(error);
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    if (!JpegLibrary::readHeader(info, bytes))
        return false;
    if (info.num_components != 4) {
        jpeg_destroy_decompress(&info);
        return false;
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
        jpeg_destroy_decompress(&info);
        return false;
    }
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
    const bool whole = info.output_scanline == info.output_height && error.manager.num_warnings == 0;
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return whole;
}

// Decodes at scaleEighths / 8 into `image` (RGB32 or Grayscale8, allocated here). Only plain C
// objects live between setjmp and the decoder's calls.
bool decodeEighths(const QByteArray &bytes, int scaleEighths, QImage &image)
{
    jpeg_decompress_struct info;
    ErrorExit error;
    info.err = JpegLibrary::quietErrors(error);
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    if (!JpegLibrary::readHeader(info, bytes))
        return false;
    if (info.out_color_space != JCS_RGB && info.out_color_space != JCS_GRAYSCALE) {
        jpeg_destroy_decompress(&info);
        return false;
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
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[1] = { image.scanLine(int(info.output_scanline)) };
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            break;
    }
    const bool whole = info.output_scanline == info.output_height;
    if (whole)
        jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return whole;
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
            result.complete = bytes.lastIndexOf(QByteArray("\xFF\xD9", 2)) >= at;
            break;
        }
    }
    for (const auto &chunk : profileChunks)
        result.iccProfile += chunk.second;
    return result;
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

std::optional<QImage> decodeScaled(const QByteArray &bytes, const Layout &layout, QSize scaledSize)
{
    if (!layout.complete || !layout.iccProfile.isEmpty() || (layout.components != 1 && layout.components != 3)
        || scaledSize.isEmpty() || layout.width <= 0 || layout.height <= 0)
        return std::nullopt;
    // The reader's choice: the smallest whole eighth, at least 1/8, that is no smaller than the
    // size on the side that shrinks less.
    const double factor
        = std::min(double(layout.width) / scaledSize.width(), double(layout.height) / scaledSize.height());
    const int eighths = std::clamp(int(std::ceil(8 / factor)), 1, 8);
    QImage image;
    if (!decodeEighths(bytes, eighths, image))
        return std::nullopt;
    if (image.size() != scaledSize)
        image = image.scaled(scaledSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (image.isNull())
        return std::nullopt;
    return image;
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
