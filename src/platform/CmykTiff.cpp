#include "platform/CmykTiff.h"

#include "platform/CmykProfileTransform.h"
#include "platform/IccProfileTables.h"
#include "platform/ImageLimits.h"
#include "platform/TiffFile.h"

#include <QColorSpace>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <lcms2.h>

namespace CmykTiff {

namespace {

// Gathers the page a band of rows at a time, as interleaved ink (four samples a pixel, 8 or 16
// bits each as the file stores them), whatever its arrangement.
class CmykTiffBands {
public:
    CmykTiffBands(TIFF *tiff, const Layout &layout) : m_tiff(tiff), m_layout(layout)
    {
        m_sampleBytes = layout.bitsPerSample / 8;
        m_rowBytes = size_t(layout.size.width()) * 4 * size_t(m_sampleBytes);
        if (layout.tiled) {
            TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &m_tileWidth);
            TIFFGetField(tiff, TIFFTAG_TILELENGTH, &m_tileLength);
        }
    }

    // Reads the band starting at `row` into `band` (bandRows rows of the page's width); false
    // when the data fails.
    bool read(int row, std::vector<uchar> &band, std::vector<uchar> &piece) const
    {
        if (!m_layout.planar && !m_layout.tiled)
            return TIFFReadScanline(m_tiff, band.data(), uint32_t(row), 0) == 1;
        const int rows = std::min(m_layout.bandRows, m_layout.size.height() - row);
        const int planes = m_layout.planar ? 4 : 1;
        if (!m_layout.tiled) {
            const uint32_t stripsPerPlane = TIFFNumberOfStrips(m_tiff) / uint32_t(planes);
            const size_t planeRowBytes = size_t(m_layout.size.width()) * size_t(m_sampleBytes);
            for (int plane = 0; plane < planes; ++plane) {
                const uint32_t strip = uint32_t(plane) * stripsPerPlane + uint32_t(row / m_layout.bandRows);
                const tmsize_t wanted = tmsize_t(planeRowBytes) * rows;
                if (TIFFReadEncodedStrip(m_tiff, strip, piece.data(), wanted) < wanted)
                    return false;
                scatter(piece.data(), planeRowBytes, band, 0, m_layout.size.width(), rows, plane);
            }
            return true;
        }
        const size_t tileSamples = m_layout.planar ? 1 : 4;
        const size_t tileRowBytes = size_t(m_tileWidth) * tileSamples * size_t(m_sampleBytes);
        for (uint32_t x = 0; x < uint32_t(m_layout.size.width()); x += m_tileWidth) {
            const int columns = int(std::min<uint32_t>(m_tileWidth, uint32_t(m_layout.size.width()) - x));
            for (int plane = 0; plane < planes; ++plane) {
                const uint32_t tile = TIFFComputeTile(m_tiff, x, uint32_t(row), 0, uint16_t(plane));
                const tmsize_t wanted = tmsize_t(tileRowBytes) * m_tileLength;
                if (TIFFReadEncodedTile(m_tiff, tile, piece.data(), wanted) < wanted)
                    return false;
                if (m_layout.planar) {
                    scatter(piece.data(), tileRowBytes, band, int(x), columns, rows, plane);
                } else {
                    for (int y = 0; y < rows; ++y)
                        std::memcpy(band.data() + size_t(y) * m_rowBytes + size_t(x) * 4 * size_t(m_sampleBytes),
                                    piece.data() + size_t(y) * tileRowBytes, size_t(columns) * 4 * size_t(m_sampleBytes));
                }
            }
        }
        return true;
    }

    // The bytes of one strip or tile as libtiff hands it over.
    size_t pieceBytes() const
    {
        if (m_layout.tiled)
            return size_t(m_tileWidth) * m_tileLength * (m_layout.planar ? 1 : 4) * size_t(m_sampleBytes);
        return m_layout.planar ? size_t(m_layout.size.width()) * size_t(m_layout.bandRows) * size_t(m_sampleBytes) : 0;
    }
    size_t rowBytes() const { return m_rowBytes; }

private:
    // One ink's samples, `rows` rows of `columns` from `source`, into their place in the band.
    void scatter(const uchar *source, size_t sourceRowBytes, std::vector<uchar> &band, int x, int columns, int rows,
                 int plane) const
    {
        const size_t sample = size_t(m_sampleBytes);
        for (int y = 0; y < rows; ++y) {
            const uchar *from = source + size_t(y) * sourceRowBytes;
            uchar *to = band.data() + size_t(y) * m_rowBytes + (size_t(x) * 4 + size_t(plane)) * sample;
            if (sample == 1) {
                for (int i = 0; i < columns; ++i)
                    to[size_t(i) * 4] = from[i];
            } else {
                for (int i = 0; i < columns; ++i)
                    std::memcpy(to + size_t(i) * 8, from + size_t(i) * 2, 2);
            }
        }
    }

    TIFF *m_tiff;
    const Layout &m_layout;
    int m_sampleBytes = 1;
    size_t m_rowBytes = 0;
    uint32_t m_tileWidth = 0;
    uint32_t m_tileLength = 0;
};

// Ink mixed without a profile, as libtiff's RGBA reader mixes it: each colour is what its ink
// and the black leave of the paper. 16-bit ink is taken by its upper byte.
void cmykTiffMixRow(const uchar *ink, int sampleBytes, QRgb *pixels, int width)
{
    const auto level = [&](int pixel, int channel) -> unsigned {
        const uchar *at = ink + (size_t(pixel) * 4 + size_t(channel)) * size_t(sampleBytes);
        if (sampleBytes == 1)
            return *at;
        quint16 value;
        std::memcpy(&value, at, 2);
        return value >> 8;
    };
    for (int x = 0; x < width; ++x) {
        const unsigned paper = 255 - level(x, 3);
        pixels[x] = qRgb(int(paper * (255 - level(x, 0)) / 255), int(paper * (255 - level(x, 1)) / 255),
                         int(paper * (255 - level(x, 2)) / 255));
    }
}

} // namespace

std::optional<Layout> layout(const QByteArray &bytes)
{
    const TiffFile file(bytes);
    if (!file.tiff())
        return std::nullopt;
    const int bits = file.field<uint16_t>(TIFFTAG_BITSPERSAMPLE, 0);
    const uint16_t planar = file.field<uint16_t>(TIFFTAG_PLANARCONFIG, 0);
    if (file.field<uint16_t>(TIFFTAG_PHOTOMETRIC, 0) != PHOTOMETRIC_SEPARATED
        || file.field<uint16_t>(TIFFTAG_SAMPLESPERPIXEL, 0) != 4 || (bits != 8 && bits != 16)
        || file.field<uint16_t>(TIFFTAG_INKSET, INKSET_CMYK) != INKSET_CMYK
        || (planar != PLANARCONFIG_CONTIG && planar != PLANARCONFIG_SEPARATE))
        return std::nullopt;
    const uint32_t width = file.field<uint32_t>(TIFFTAG_IMAGEWIDTH, 0);
    const uint32_t height = file.field<uint32_t>(TIFFTAG_IMAGELENGTH, 0);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return std::nullopt;
    Layout result;
    result.size = QSize(int(width), int(height));
    result.bitsPerSample = bits;
    result.planar = planar == PLANARCONFIG_SEPARATE;
    result.tiled = TIFFIsTiled(file.tiff());
    if (result.tiled) {
        const uint32_t tileWidth = file.field<uint32_t>(TIFFTAG_TILEWIDTH, 0);
        const uint32_t tileLength = file.field<uint32_t>(TIFFTAG_TILELENGTH, 0);
        if (tileWidth == 0 || tileLength == 0 || tileWidth > 0xFFFF || tileLength > 0xFFFF)
            return std::nullopt;
        result.bandRows = int(tileLength);
        result.tileWidth = int(tileWidth);
    } else if (result.planar) {
        const uint32_t rowsPerStrip = file.field<uint32_t>(TIFFTAG_ROWSPERSTRIP, height);
        result.bandRows = int(std::clamp<uint32_t>(rowsPerStrip, 1, height));
        if (TIFFNumberOfStrips(file.tiff()) != 4 * ((height + uint32_t(result.bandRows) - 1) / uint32_t(result.bandRows)))
            return std::nullopt;
    }
    uint32_t profileSize = 0;
    void *profileData = nullptr;
    if (TIFFGetField(file.tiff(), TIFFTAG_ICCPROFILE, &profileSize, &profileData) == 1 && profileData) {
        const QByteArray profile(static_cast<const char *>(profileData), qsizetype(profileSize));
        if (profile.size() >= 132 && profile.mid(16, 4) == "CMYK")
            result.iccProfile = profile;
    }
    return result;
}

qint64 heldBytes(const Layout &layout)
{
    const qint64 profile = layout.iccProfile.isEmpty() ? 0 : IccProfileTables::workingBytes(layout.iccProfile).value_or(0);
    const qint64 rowBytes = qint64(layout.size.width()) * 4 * (layout.bitsPerSample / 8);
    // The band, and one strip or tile beside it (a tile's width is at most the band's rows wide
    // again, and a planar piece a quarter of the band).
    const qint64 tileWidth = layout.tiled ? qint64(layout.tileWidth) : 0;
    return profile + rowBytes * layout.bandRows * 2 + tileWidth * layout.bandRows * 4 * (layout.bitsPerSample / 8);
}

Decoded decode(const QByteArray &bytes, const Layout &layout)
{
    Decoded result;
    if (!ImageLimits::isAcceptableSize(layout.size.width(), layout.size.height()))
        return result;
    // TIFF ink is stored as printed: 0 none, full at the top of the scale.
    std::unique_ptr<CmykProfileTransform> cmyk;
    if (!layout.iccProfile.isEmpty())
        cmyk = std::make_unique<CmykProfileTransform>(layout.iccProfile, false, layout.bitsPerSample);
    const bool throughProfile = cmyk && cmyk->transform;
    const TiffFile file(bytes);
    if (!file.tiff())
        return result;
    const CmykTiffBands bands(file.tiff(), layout);
    if (!layout.tiled && !layout.planar && TIFFScanlineSize(file.tiff()) != tmsize_t(bands.rowBytes()))
        return result;
    QImage image(layout.size, QImage::Format_RGB32);
    if (image.isNull())
        return result;
    image.fill(0xFFFFFFFF); // the conversion may leave the alpha bytes as they are
    std::vector<uchar> band;
    std::vector<uchar> piece;
    try {
        band.resize(bands.rowBytes() * size_t(layout.bandRows));
        piece.resize(bands.pieceBytes());
    } catch (const std::bad_alloc &) {
        return result;
    }
    const int sampleBytes = layout.bitsPerSample / 8;
    for (int row = 0; row < image.height(); row += layout.bandRows) {
        if (!bands.read(row, band, piece) || file.errors() > 0) {
            result.damaged = true;
            return result;
        }
        const int rows = std::min(layout.bandRows, image.height() - row);
        for (int y = 0; y < rows; ++y) {
            const uchar *ink = band.data() + size_t(y) * bands.rowBytes();
            auto *pixels = reinterpret_cast<QRgb *>(image.scanLine(row + y));
            if (throughProfile)
                cmsDoTransform(cmyk->transform, ink, pixels, cmsUInt32Number(image.width()));
            else
                cmykTiffMixRow(ink, sampleBytes, pixels, image.width());
        }
    }
    if (throughProfile)
        image.setColorSpace(QColorSpace(QColorSpace::SRgb));
    result.image = std::move(image);
    return result;
}

} // namespace CmykTiff
