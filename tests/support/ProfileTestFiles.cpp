#include "support/ProfileTestFiles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <QColor>
#include <QTemporaryDir>
#include <QFile>

#include <cmath>

#include <jpeglib.h>
#include <lcms2.h>
#include <lcms2_plugin.h>
#include <tiffio.h>
#include <zlib.h>

namespace ProfileTestFiles {

namespace {

// CMYK ink to the profile's Lab (16-bit encoded): simple multiplicative inks.
cmsInt32Number profileTestInks(const cmsUInt16Number in[], cmsUInt16Number out[], void *)
{
    const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
    cmsCIELab lab { 100 * (1 - k) * (1 - 0.3 * c) * (1 - 0.2 * m), 60 * (m - c), 60 * (y - 0.5 * m) };
    cmsFloat2LabEncoded(out, &lab);
    return 1;
}

// The same for float grids, whose Lab is scaled to 0…1 (L / 100, (a + 128) / 255).
cmsInt32Number profileTestFloatInks(const cmsFloat32Number in[], cmsFloat32Number out[], void *)
{
    const float c = in[0], m = in[1], y = in[2], k = in[3];
    out[0] = (1 - k) * (1 - 0.3f * c) * (1 - 0.2f * m);
    out[1] = (60 * (m - c) + 128) / 255;
    out[2] = (60 * (y - 0.5f * m) + 128) / 255;
    return 1;
}

// An identity curve as the float elements store it: linear beyond both ends, sampled between.
cmsToneCurve *profileTestSegmentedCurve()
{
    static const cmsFloat32Number samples[] = { 0, 0.25f, 0.5f, 0.75f, 1 };
    cmsCurveSegment segments[3] {};
    segments[0].x0 = -1e22f;
    segments[0].x1 = 0;
    segments[0].Type = 6; // (a x + b)^g + c
    segments[0].Params[0] = 1;
    segments[0].Params[1] = 1;
    segments[1].x0 = 0;
    segments[1].x1 = 1;
    segments[1].nGridPoints = 5;
    segments[1].SampledPoints = const_cast<cmsFloat32Number *>(samples);
    segments[2] = segments[0];
    segments[2].x0 = 1;
    segments[2].x1 = 1e22f;
    return cmsBuildSegmentedToneCurve(nullptr, 3, segments);
}

QByteArray profileTestSaved(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size))
        bytes.clear();
    return bytes;
}

// Every allocation of the measuring context, counted with a header that keeps its size.
struct ProfileTestCount {
    qint64 now = 0;
    qint64 peak = 0;
};
ProfileTestCount profileTestCount;
constexpr size_t profileTestHeader = 16;

void *profileTestMalloc(cmsContext, cmsUInt32Number size)
{
    auto *block = static_cast<char *>(std::malloc(size + profileTestHeader));
    if (!block)
        return nullptr;
    std::memcpy(block, &size, sizeof size);
    profileTestCount.now += size;
    profileTestCount.peak = std::max(profileTestCount.peak, profileTestCount.now);
    return block + profileTestHeader;
}

void profileTestFree(cmsContext, void *pointer)
{
    if (!pointer)
        return;
    char *block = static_cast<char *>(pointer) - profileTestHeader;
    cmsUInt32Number size = 0;
    std::memcpy(&size, block, sizeof size);
    profileTestCount.now -= size;
    std::free(block);
}

void *profileTestRealloc(cmsContext context, void *pointer, cmsUInt32Number size)
{
    void *moved = profileTestMalloc(context, size);
    if (moved && pointer) {
        cmsUInt32Number old = 0;
        std::memcpy(&old, static_cast<char *>(pointer) - profileTestHeader, sizeof old);
        std::memcpy(moved, pointer, std::min(old, size));
        profileTestFree(context, pointer);
    }
    return moved;
}

} // namespace

QByteArray cmykGridProfile(int points, GridTable table)
{
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, table == GridTable::lut8 ? 2.1 : 4.3);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline *lut = cmsPipelineAlloc(nullptr, 4, 3);
    if (table == GridTable::floatStages) {
        cmsToneCurve *curve = profileTestSegmentedCurve();
        cmsToneCurve *curves[4] = { curve, curve, curve, curve };
        cmsStage *grid = cmsStageAllocCLutFloat(nullptr, cmsUInt32Number(points), 4, 3, nullptr);
        cmsStageSampleCLutFloat(grid, profileTestFloatInks, nullptr, 0);
        cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, curves));
        cmsPipelineInsertStage(lut, cmsAT_END, grid);
        cmsWriteTag(profile, cmsSigDToB0Tag, lut);
        cmsFreeToneCurve(curve);
    } else {
        cmsStage *grid = cmsStageAllocCLut16bit(nullptr, cmsUInt32Number(points), 4, 3, nullptr);
        cmsStageSampleCLut16bit(grid, profileTestInks, nullptr, 0);
        cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
        cmsPipelineInsertStage(lut, cmsAT_END, grid);
        cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
        cmsPipelineSetSaveAs8bitsFlag(lut, TRUE);
        cmsWriteTag(profile, cmsSigAToB0Tag, lut);
    }
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    const QByteArray bytes = profileTestSaved(profile);
    cmsPipelineFree(lut);
    cmsCloseProfile(profile);
    return bytes;
}

QByteArray linearGreyProfile()
{
    cmsToneCurve *linear = cmsBuildGamma(nullptr, 1.0);
    cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), linear);
    cmsSetProfileVersion(profile, 4.3);
    const QByteArray bytes = profileTestSaved(profile);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(linear);
    return bytes;
}

qint64 libraryPeakBytes(const QByteArray &profile, bool cmyk)
{
    cmsPluginMemHandler counting {};
    counting.base.Magic = cmsPluginMagicNumber;
    counting.base.ExpectedVersion = 2060;
    counting.base.Type = cmsPluginMemHandlerSig;
    counting.MallocPtr = profileTestMalloc;
    counting.FreePtr = profileTestFree;
    counting.ReallocPtr = profileTestRealloc;
    cmsContext context = cmsCreateContext(&counting, nullptr);
    if (!context)
        return -1;
    profileTestCount.peak = profileTestCount.now;
    const qint64 before = profileTestCount.now;
    cmsHPROFILE input = cmsOpenProfileFromMemTHR(context, profile.constData(), cmsUInt32Number(profile.size()));
    cmsHPROFILE output = cmsCreate_sRGBProfileTHR(context);
    cmsHTRANSFORM transform = input && output
        ? cmsCreateTransformTHR(context, input, cmyk ? TYPE_CMYK_8 : TYPE_GRAY_8, output, TYPE_BGRA_8,
                                INTENT_PERCEPTUAL, 0)
        : nullptr;
    if (transform) {
        unsigned char samples[4 * 16] {}, pixels[4 * 16] {};
        cmsDoTransform(transform, samples, pixels, 16);
        cmsDeleteTransform(transform);
    }
    const qint64 peak = profileTestCount.peak - before;
    if (output)
        cmsCloseProfile(output);
    if (input)
        cmsCloseProfile(input);
    cmsDeleteContext(context);
    return transform ? peak : -1;
}

QByteArray withExtraTags(const QByteArray &profile, int extra)
{
    const auto word = [&](qsizetype at) {
        return (quint32(quint8(profile[at])) << 24) | (quint32(quint8(profile[at + 1])) << 16)
            | (quint32(quint8(profile[at + 2])) << 8) | quint32(quint8(profile[at + 3]));
    };
    const auto appendWord = [](QByteArray &out, quint32 value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(char((value >> shift) & 0xFF));
    };
    const quint32 tags = word(128);
    const quint32 moved = quint32(12 * extra);
    QByteArray result = profile.left(128);
    appendWord(result, tags + quint32(extra));
    for (quint32 i = 0; i < tags + quint32(extra); ++i) {
        const qsizetype entry = 132 + 12 * qsizetype(i < tags ? i : 0);
        appendWord(result, i < tags ? word(entry) : 0x7A000000u + i); // a private signature
        appendWord(result, word(entry + 4) + moved);
        appendWord(result, word(entry + 8));
    }
    result += profile.mid(132 + 12 * qsizetype(tags));
    for (int shift = 24, at = 0; shift >= 0; shift -= 8, ++at)
        result[at] = char((quint32(result.size()) >> shift) & 0xFF);
    return result;
}

QByteArray greyJpeg(const QImage &grey, const QByteArray &profile)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&info, &buffer, &length);
    info.image_width = JDIMENSION(grey.width());
    info.image_height = JDIMENSION(grey.height());
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET *>(profile.constData()), unsigned(profile.size()));
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = { const_cast<JSAMPLE *>(grey.constScanLine(int(info.next_scanline))) };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(length));
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

QByteArray greyPng(const QImage &grey, const QByteArray &profile)
{
    const auto appendWord = [](QByteArray &out, quint32 value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(char((value >> shift) & 0xFF));
    };
    const auto zlibbed = [](const QByteArray &data) {
        return qCompress(data).mid(4); // qCompress puts the length before the zlib stream
    };
    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    const auto chunk = [&](const char *type, const QByteArray &data) {
        appendWord(png, quint32(data.size()));
        const QByteArray typed = QByteArray(type) + data;
        png += typed;
        appendWord(png, quint32(crc32(0, reinterpret_cast<const Bytef *>(typed.constData()), uInt(typed.size()))));
    };
    QByteArray header;
    appendWord(header, quint32(grey.width()));
    appendWord(header, quint32(grey.height()));
    header.append("\x08\x00\x00\x00\x00", 5); // 8-bit grey, no interlacing
    chunk("IHDR", header);
    chunk("iCCP", QByteArray("grey\0\0", 6) + zlibbed(profile));
    QByteArray rows;
    for (int y = 0; y < grey.height(); ++y)
        rows.append('\0').append(reinterpret_cast<const char *>(grey.constScanLine(y)), grey.width());
    chunk("IDAT", zlibbed(rows));
    chunk("IEND", QByteArray());
    return png;
}

QImage librarySrgb(const QImage &grey, const QByteArray &profile)
{
    cmsHPROFILE input = cmsOpenProfileFromMem(profile.constData(), cmsUInt32Number(profile.size()));
    cmsHPROFILE output = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform = cmsCreateTransform(input, TYPE_GRAY_8, output, TYPE_BGRA_8, INTENT_PERCEPTUAL, 0);
    QImage image(grey.size(), QImage::Format_RGB32);
    image.fill(0xFFFFFFFF);
    for (int y = 0; transform && y < image.height(); ++y)
        cmsDoTransform(transform, grey.constScanLine(y), image.scanLine(y), cmsUInt32Number(image.width()));
    if (transform)
        cmsDeleteTransform(transform);
    cmsCloseProfile(output);
    cmsCloseProfile(input);
    return image;
}

std::vector<uchar> cmykPatches(QSize size)
{
    std::vector<uchar> ink(size_t(size.width()) * size.height() * 4);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const int patch = (x / 16) + 4 * (y / 16);
            uchar *pixel = ink.data() + (size_t(y) * size.width() + x) * 4;
            pixel[0] = uchar((patch * 37) % 256);
            pixel[1] = uchar((patch * 71) % 256);
            pixel[2] = uchar((patch * 113) % 256);
            pixel[3] = uchar((patch * 29) % 200);
        }
    }
    return ink;
}

QByteArray cmykTiff(QSize size, const std::vector<uchar> &ink, const QByteArray &profile, CmykTiffShape shape)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cmyk.tif"));
    TIFF *tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tiff)
        return {};
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(size.width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(size.height()));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(4));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(shape.bits));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_SEPARATED));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(shape.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_LZW));
    if (!profile.isEmpty())
        TIFFSetField(tiff, TIFFTAG_ICCPROFILE, uint32_t(profile.size()), profile.constData());
    const int sampleBytes = shape.bits / 8;
    // One sample of ink at (x, y), as the file stores it; zero outside the picture.
    const auto put = [&](uchar *to, int x, int y, int channel) {
        const uchar value = x < size.width() && y < size.height()
            ? ink[(size_t(y) * size_t(size.width()) + size_t(x)) * 4 + size_t(channel)]
            : 0;
        if (sampleBytes == 1) {
            *to = value;
        } else {
            const quint16 wide = quint16(value * 257);
            std::memcpy(to, &wide, 2);
        }
    };
    const int planes = shape.planar ? 4 : 1;
    const int channels = shape.planar ? 1 : 4;
    if (shape.tiled) {
        const int side = 16;
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, uint32_t(side));
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, uint32_t(side));
        std::vector<uchar> tile(size_t(side * side * channels * sampleBytes));
        for (int plane = 0; plane < planes; ++plane)
            for (int ty = 0; ty < size.height(); ty += side)
                for (int tx = 0; tx < size.width(); tx += side) {
                    for (int y = 0; y < side; ++y)
                        for (int x = 0; x < side; ++x)
                            for (int c = 0; c < channels; ++c)
                                put(tile.data() + ((size_t(y) * side + size_t(x)) * channels + size_t(c)) * sampleBytes,
                                    tx + x, ty + y, shape.planar ? plane : c);
                    TIFFWriteEncodedTile(tiff, TIFFComputeTile(tiff, uint32_t(tx), uint32_t(ty), 0, uint16_t(plane)),
                                         tile.data(), tmsize_t(tile.size()));
                }
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(8));
        std::vector<uchar> row(size_t(size.width() * channels * sampleBytes));
        for (int plane = 0; plane < planes; ++plane)
            for (int y = 0; y < size.height(); ++y) {
                for (int x = 0; x < size.width(); ++x)
                    for (int c = 0; c < channels; ++c)
                        put(row.data() + (size_t(x) * channels + size_t(c)) * sampleBytes, x, y, shape.planar ? plane : c);
                TIFFWriteScanline(tiff, row.data(), uint32_t(y), uint16_t(plane));
            }
    }
    TIFFClose(tiff);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage librarySrgb(QSize size, const std::vector<uchar> &ink, const QByteArray &profile)
{
    cmsHPROFILE input = cmsOpenProfileFromMem(profile.constData(), cmsUInt32Number(profile.size()));
    cmsHPROFILE output = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform = cmsCreateTransform(input, TYPE_CMYK_8, output, TYPE_BGRA_8, INTENT_PERCEPTUAL, 0);
    QImage image(size, QImage::Format_RGB32);
    image.fill(0xFFFFFFFF);
    for (int y = 0; transform && y < image.height(); ++y)
        cmsDoTransform(transform, ink.data() + size_t(y) * size.width() * 4, image.scanLine(y),
                       cmsUInt32Number(image.width()));
    if (transform)
        cmsDeleteTransform(transform);
    cmsCloseProfile(output);
    cmsCloseProfile(input);
    return image;
}

double meanDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 255;
    const QImage first = a.convertToFormat(QImage::Format_RGB32), second = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < first.height(); ++y) {
        for (int x = 0; x < first.width(); ++x) {
            const QRgb p = first.pixel(x, y), q = second.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * first.width() * first.height());
}

} // namespace ProfileTestFiles
