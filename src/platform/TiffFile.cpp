#include "platform/TiffFile.h"

#include "platform/DecodeBudget.h"

#include <algorithm>
#include <cstring>

namespace {

tmsize_t tiffFileRead(thandle_t handle, void *buffer, tmsize_t size)
{
    auto *source = static_cast<TiffFile::Source *>(handle);
    const toff_t total = toff_t(source->bytes.size());
    const tmsize_t count = source->at >= total ? 0 : tmsize_t(std::min<toff_t>(toff_t(size), total - source->at));
    if (count > 0)
        std::memcpy(buffer, source->bytes.constData() + source->at, size_t(count));
    source->at += toff_t(count);
    return count;
}

tmsize_t tiffFileWrite(thandle_t, void *, tmsize_t)
{
    return 0;
}

toff_t tiffFileSeek(thandle_t handle, toff_t offset, int whence)
{
    auto *source = static_cast<TiffFile::Source *>(handle);
    const toff_t base = whence == SEEK_CUR ? source->at : whence == SEEK_END ? toff_t(source->bytes.size()) : 0;
    source->at = base + offset;
    return source->at;
}

int tiffFileClose(thandle_t)
{
    return 0;
}

toff_t tiffFileSize(thandle_t handle)
{
    return toff_t(static_cast<TiffFile::Source *>(handle)->bytes.size());
}

int tiffFileMessage(TIFF *, void *count, const char *, const char *, va_list)
{
    ++*static_cast<int *>(count);
    return 1;
}

// The most picture bytes one byte of data can give in each compression: run-length coding 128
// for 2; dictionary, deflate and the rest far less than their theoretical bounds for any genuine
// picture, which rarely passes 20. A fax codes a white page in next to nothing.
qint64 tiffFileMaxRatio(uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_NONE:
        return 1;
    case COMPRESSION_PACKBITS:
        return 64;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
        return 1000;
    default:
        return 250;
    }
}

// Below this many pixels a picture is read whatever its data: its decode is cheap however it is
// made.
constexpr qint64 tiffFileAlwaysReadPixels = 40'000'000;

} // namespace

TiffFile::TiffFile(const QByteArray &bytes) : m_source { bytes }
{
    if (!bytes.startsWith("II*\0") && !bytes.startsWith("MM\0*") && !bytes.startsWith("II+\0") && !bytes.startsWith("MM\0+"))
        return;
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    if (!options)
        return;
    TIFFOpenOptionsSetErrorHandlerExtR(options, tiffFileMessage, &m_errors);
    TIFFOpenOptionsSetWarningHandlerExtR(options, tiffFileMessage, &m_warnings);
    // A quarter of the decode budget: far beyond a genuine page's strip or tile.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(DecodeBudget::defaultLimit / 4));
    m_tiff = TIFFClientOpenExt("memory", "rm", &m_source, tiffFileRead, tiffFileWrite, tiffFileSeek, tiffFileClose,
                               tiffFileSize, nullptr, nullptr, options);
    TIFFOpenOptionsFree(options);
}

TiffFile::~TiffFile()
{
    if (m_tiff)
        TIFFClose(m_tiff);
}

bool TiffFile::dataCanFill(const QByteArray &bytes)
{
    const TiffFile file(bytes);
    if (!file.tiff())
        return false;
    TIFF *tiff = file.tiff();
    const qint64 width = file.field<uint32_t>(TIFFTAG_IMAGEWIDTH, 0);
    const qint64 height = file.field<uint32_t>(TIFFTAG_IMAGELENGTH, 0);
    if (width <= 0 || height <= 0)
        return false;
    if (width * height <= tiffFileAlwaysReadPixels)
        return true;
    const qint64 samples = file.field<uint16_t>(TIFFTAG_SAMPLESPERPIXEL, 1);
    const qint64 bits = file.field<uint16_t>(TIFFTAG_BITSPERSAMPLE, 1);
    // The picture as stored, rows padded to whole bytes.
    const qint64 rowBytes = (width * samples * bits + 7) / 8;
    if (rowBytes <= 0 || rowBytes > (qint64(1) << 40) / height)
        return false;
    const qint64 declared = rowBytes * height;
    const uint32_t pieces = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    qint64 data = 0;
    for (uint32_t i = 0; i < pieces && data < bytes.size(); ++i) {
        int failed = 0;
        const uint64_t count = TIFFGetStrileByteCountWithErr(tiff, i, &failed);
        if (failed)
            return false;
        data += qint64(std::min<uint64_t>(count, uint64_t(bytes.size())));
    }
    data = std::min<qint64>(data, bytes.size());
    return declared <= data * tiffFileMaxRatio(file.field<uint16_t>(TIFFTAG_COMPRESSION, COMPRESSION_NONE));
}
