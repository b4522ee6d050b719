#include "support/ColourTestFiles.h"

#include "support/TestSupport.h"

#include <QtEndian>

#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <lcms2.h>

namespace ColourTestFiles {

namespace {

struct SamplerCargo {
    cmsHTRANSFORM toLab;
};

// CMYK (0…65535 ink) to the profile's Lab: a warm paper with simple multiplicative inks.
cmsInt32Number warmSampler(const cmsUInt16Number in[], cmsUInt16Number out[], void *cargo)
{
    const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
    const double rgb[3] = { (1 - c) * (1 - k), (1 - m) * (1 - k) * 0.8, (1 - y) * (1 - k) * 0.6 };
    cmsCIELab lab;
    cmsDoTransform(static_cast<SamplerCargo *>(cargo)->toLab, rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return 1;
}

} // namespace

QByteArray warmCmykProfile(double version)
{
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE labProfile = cmsCreateLab4Profile(nullptr);
    SamplerCargo cargo { cmsCreateTransform(srgb, TYPE_RGB_DBL, labProfile, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC,
                                            0) };

    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, version);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline *lut = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage *grid = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
    cmsStageSampleCLut16bit(grid, warmSampler, &cargo, 0);
    // Identity curves on both sides of the grid: the form a version 4 AToB tag is stored in.
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(lut, cmsAT_END, grid);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, lut);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsMLU *description = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(description, "en", "US", "Warm CMYK test");
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, description);

    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);

    cmsMLUfree(description);
    cmsPipelineFree(lut);
    cmsCloseProfile(profile);
    cmsDeleteTransform(cargo.toLab);
    cmsCloseProfile(labProfile);
    cmsCloseProfile(srgb);
    return bytes;
}

QByteArray cmykJpeg(QSize size, int c, int m, int y, int k, const QByteArray &profile)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&info, &buffer, &length);
    info.image_width = JDIMENSION(size.width());
    info.image_height = JDIMENSION(size.height());
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info); // CMYK input: stored as CMYK with an Adobe segment
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    if (!profile.isEmpty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET *>(profile.constData()), unsigned(profile.size()));
    std::vector<JSAMPLE> row(size_t(size.width()) * 4);
    for (int x = 0; x < size.width(); ++x) {
        // Inverted, as image programs store CMYK with an Adobe segment.
        row[size_t(x) * 4 + 0] = JSAMPLE(255 - c);
        row[size_t(x) * 4 + 1] = JSAMPLE(255 - m);
        row[size_t(x) * 4 + 2] = JSAMPLE(255 - y);
        row[size_t(x) * 4 + 3] = JSAMPLE(255 - k);
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(length));
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

QByteArray jpeg(const QImage &image, int quality)
{
    return TestSupport::encodedImage(image, "JPEG", quality);
}

QByteArray multiPageTiff(QSize size, int pages)
{
    const auto u16 = [](QByteArray &out, quint16 v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
    const auto u32 = [](QByteArray &out, quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xFF));
    };
    const quint32 pixels = quint32(size.width() * size.height());
    const quint32 ifdBytes = 2 + 9 * 12 + 4;
    QByteArray tiff("II*\0", 4);
    u32(tiff, 8);
    for (int page = 0; page < pages; ++page) {
        const quint32 ifd = quint32(tiff.size());
        const quint32 data = ifd + ifdBytes;
        const quint32 next = page + 1 < pages ? data + pixels : 0;
        u16(tiff, 9);
        const auto entry = [&](quint16 tag, quint16 type, quint32 value) {
            u16(tiff, tag);
            u16(tiff, type);
            u32(tiff, 1);
            if (type == 3) {
                u16(tiff, quint16(value));
                u16(tiff, 0);
            } else {
                u32(tiff, value);
            }
        };
        entry(256, 3, quint32(size.width())); // width
        entry(257, 3, quint32(size.height())); // height
        entry(258, 3, 8); // bits per sample
        entry(259, 3, 1); // no compression
        entry(262, 3, 1); // black is zero
        entry(273, 4, data); // strip offset
        entry(277, 3, 1); // samples per pixel
        entry(278, 3, quint32(size.height())); // rows per strip
        entry(279, 4, pixels); // strip bytes
        u32(tiff, next);
        tiff.append(QByteArray(qsizetype(pixels), char(40 * (page + 1))));
    }
    return tiff;
}

QByteArray sharedRowTiff(QSize size, int samples, const QByteArray &profile)
{
    const auto u16 = [](QByteArray &out, quint16 v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
    const auto u32 = [](QByteArray &out, quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xFF));
    };
    const quint32 height = quint32(size.height());
    const quint32 rowBytes = quint32(size.width() * samples);
    const int entries = profile.isEmpty() ? 10 : 11;
    const quint32 bitsAt = 8 + 2 + quint32(entries) * 12 + 4;
    const quint32 offsetsAt = bitsAt + 8;
    const quint32 countsAt = offsetsAt + 4 * height;
    const quint32 profileAt = countsAt + 4 * height;
    const quint32 rowAt = profileAt + quint32(profile.size());
    QByteArray tiff("II*\0", 4);
    u32(tiff, 8);
    u16(tiff, quint16(entries));
    const auto entry = [&](quint16 tag, quint16 type, quint32 count, quint32 value) {
        u16(tiff, tag);
        u16(tiff, type);
        u32(tiff, count);
        if (type == 3 && count == 1) {
            u16(tiff, quint16(value));
            u16(tiff, 0);
        } else {
            u32(tiff, value);
        }
    };
    entry(256, 4, 1, quint32(size.width()));
    entry(257, 4, 1, height);
    entry(258, 3, quint32(samples), samples == 1 ? 8 : bitsAt); // 8 bits a sample
    entry(259, 3, 1, 1); // no compression
    entry(262, 3, 1, samples == 1 ? 1 : 5); // black is zero, or ink
    entry(273, 4, height, offsetsAt);
    entry(277, 3, 1, quint32(samples));
    entry(278, 4, 1, 1); // a row a strip
    entry(279, 4, height, countsAt);
    entry(284, 3, 1, 1); // interleaved
    if (!profile.isEmpty())
        entry(34675, 7, quint32(profile.size()), profileAt);
    u32(tiff, 0);
    for (int i = 0; i < 4; ++i)
        u16(tiff, 8);
    for (quint32 y = 0; y < height; ++y)
        u32(tiff, rowAt);
    for (quint32 y = 0; y < height; ++y)
        u32(tiff, rowBytes);
    tiff.append(profile);
    QByteArray row(qsizetype(rowBytes), '\0');
    for (qsizetype i = 0; i < row.size(); ++i)
        row[i] = char(samples == 1 ? 0x80 : ((i / 4) % 2 ? 0xC0 : 0x30));
    return tiff.append(row);
}

namespace {

quint32 colourTestPngCrc(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : bytes) {
        crc ^= uchar(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void colourTestBe32(QByteArray &bytes, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char((value >> shift) & 0xFF));
}

} // namespace

QByteArray pngChunk(const char *type, const std::vector<quint32> &values)
{
    QByteArray body(type, 4);
    for (const quint32 value : values)
        colourTestBe32(body, value);
    QByteArray chunk;
    colourTestBe32(chunk, quint32(body.size() - 4));
    chunk.append(body);
    colourTestBe32(chunk, colourTestPngCrc(body));
    return chunk;
}

QByteArray pngWithChunks(const QByteArray &png, const QByteArray &chunks)
{
    // The signature (8 bytes) and the header chunk (25) come first.
    return png.left(33) + chunks + png.mid(33);
}

const std::vector<quint32> &srgbChromaticities()
{
    static const std::vector<quint32> values = {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};
    return values;
}

} // namespace ColourTestFiles
