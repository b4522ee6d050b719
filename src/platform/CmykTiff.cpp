#include "platform/CmykTiff.h"

#include "platform/CmykProfileTransform.h"
#include "platform/IccProfileTables.h"
#include "platform/ImageLimits.h"

#include <QColorSpace>

#include <algorithm>
#include <cstring>
#include <vector>

#include <lcms2.h>
#include <tiffio.h>

namespace CmykTiff {

namespace {

// The file's bytes as libtiff reads them, through its client callbacks.
struct CmykTiffBytes {
    const QByteArray &bytes;
    toff_t at = 0;
};

tmsize_t cmykTiffRead(thandle_t handle, void *buffer, tmsize_t size)
{
    auto *source = static_cast<CmykTiffBytes *>(handle);
    const toff_t total = toff_t(source->bytes.size());
    const tmsize_t count = source->at >= total ? 0 : tmsize_t(std::min<toff_t>(toff_t(size), total - source->at));
    if (count > 0)
        std::memcpy(buffer, source->bytes.constData() + source->at, size_t(count));
    source->at += toff_t(count);
    return count;
}

tmsize_t cmykTiffWrite(thandle_t, void *, tmsize_t)
{
    return 0;
}

toff_t cmykTiffSeek(thandle_t handle, toff_t offset, int whence)
{
    auto *source = static_cast<CmykTiffBytes *>(handle);
    const toff_t base = whence == SEEK_CUR ? source->at : whence == SEEK_END ? toff_t(source->bytes.size()) : 0;
    source->at = base + offset;
    return source->at;
}

int cmykTiffClose(thandle_t)
{
    return 0;
}

toff_t cmykTiffSize(thandle_t handle)
{
    return toff_t(static_cast<CmykTiffBytes *>(handle)->bytes.size());
}

// Errors and warnings are counted rather than printed.
int cmykTiffMessage(TIFF *, void *count, const char *, const char *, va_list)
{
    ++*static_cast<int *>(count);
    return 1;
}

// An open TIFF over the bytes; its errors are counted in `errors`.
struct CmykTiffFile {
    CmykTiffBytes source;
    int errors = 0;
    int warnings = 0;
    TIFF *tiff = nullptr;

    explicit CmykTiffFile(const QByteArray &bytes) : source { bytes }
    {
        TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
        if (!options)
            return;
        TIFFOpenOptionsSetErrorHandlerExtR(options, cmykTiffMessage, &errors);
        TIFFOpenOptionsSetWarningHandlerExtR(options, cmykTiffMessage, &warnings);
        tiff = TIFFClientOpenExt("memory", "rm", &source, cmykTiffRead, cmykTiffWrite, cmykTiffSeek, cmykTiffClose,
                                 cmykTiffSize, nullptr, nullptr, options);
        TIFFOpenOptionsFree(options);
    }
    ~CmykTiffFile()
    {
        if (tiff)
            TIFFClose(tiff);
    }
    CmykTiffFile(const CmykTiffFile &) = delete;
    CmykTiffFile &operator=(const CmykTiffFile &) = delete;
};

template<typename T>
T cmykTiffField(TIFF *tiff, ttag_t tag, T fallback)
{
    T value = fallback;
    return TIFFGetFieldDefaulted(tiff, tag, &value) == 1 ? value : fallback;
}

} // namespace

std::optional<Layout> layout(const QByteArray &bytes)
{
    if (!bytes.startsWith("II*\0") && !bytes.startsWith("MM\0*") && !bytes.startsWith("II+\0")
        && !bytes.startsWith("MM\0+"))
        return std::nullopt;
    const CmykTiffFile file(bytes);
    if (!file.tiff || TIFFIsTiled(file.tiff))
        return std::nullopt;
    if (cmykTiffField<uint16_t>(file.tiff, TIFFTAG_PHOTOMETRIC, 0) != PHOTOMETRIC_SEPARATED
        || cmykTiffField<uint16_t>(file.tiff, TIFFTAG_SAMPLESPERPIXEL, 0) != 4
        || cmykTiffField<uint16_t>(file.tiff, TIFFTAG_BITSPERSAMPLE, 0) != 8
        || cmykTiffField<uint16_t>(file.tiff, TIFFTAG_INKSET, INKSET_CMYK) != INKSET_CMYK
        || cmykTiffField<uint16_t>(file.tiff, TIFFTAG_PLANARCONFIG, 0) != PLANARCONFIG_CONTIG)
        return std::nullopt;
    const uint32_t width = cmykTiffField<uint32_t>(file.tiff, TIFFTAG_IMAGEWIDTH, 0);
    const uint32_t height = cmykTiffField<uint32_t>(file.tiff, TIFFTAG_IMAGELENGTH, 0);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return std::nullopt;
    uint32_t profileSize = 0;
    void *profileData = nullptr;
    if (TIFFGetField(file.tiff, TIFFTAG_ICCPROFILE, &profileSize, &profileData) != 1 || !profileData)
        return std::nullopt;
    Layout result;
    result.size = QSize(int(width), int(height));
    result.iccProfile = QByteArray(static_cast<const char *>(profileData), qsizetype(profileSize));
    if (result.iccProfile.size() < 132 || result.iccProfile.mid(16, 4) != "CMYK")
        return std::nullopt;
    return result;
}

qint64 heldBytes(const Layout &layout)
{
    return IccProfileTables::workingBytes(layout.iccProfile).value_or(0);
}

Decoded decode(const QByteArray &bytes, const Layout &layout)
{
    Decoded result;
    if (!ImageLimits::isAcceptableSize(layout.size.width(), layout.size.height()))
        return result;
    // TIFF ink is stored as printed: 0 none, 255 full.
    const CmykProfileTransform cmyk(layout.iccProfile, false);
    if (!cmyk.transform)
        return result;
    const CmykTiffFile file(bytes);
    if (!file.tiff)
        return result;
    QImage image(layout.size, QImage::Format_RGB32);
    const tmsize_t rowBytes = TIFFScanlineSize(file.tiff);
    if (image.isNull() || rowBytes < tmsize_t(layout.size.width()) * 4)
        return result;
    image.fill(0xFFFFFFFF); // the conversion may leave the alpha bytes as they are
    std::vector<uchar> row(static_cast<size_t>(rowBytes));
    for (int y = 0; y < image.height(); ++y) {
        if (TIFFReadScanline(file.tiff, row.data(), uint32_t(y), 0) != 1 || file.errors > 0) {
            result.damaged = true;
            return result;
        }
        cmsDoTransform(cmyk.transform, row.data(), image.scanLine(y), cmsUInt32Number(image.width()));
    }
    image.setColorSpace(QColorSpace(QColorSpace::SRgb));
    result.image = std::move(image);
    return result;
}

} // namespace CmykTiff
