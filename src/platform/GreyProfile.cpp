#include "platform/GreyProfile.h"

#include "platform/IccProfileTables.h"

#include <QColorSpace>

#include <cmath>
#include <vector>

#include <lcms2.h>
#include <zlib.h>

namespace GreyProfile {

namespace {

// A grey profile is a curve or two; one whose tables take more is not worth the memory.
constexpr qint64 greyProfileMaxWorkingBytes = qint64(32) << 20;
// The largest profile taken from a PNG (the inflated iCCP chunk).
constexpr qint64 greyProfileMaxBytes = qint64(16) << 20;

quint32 greyProfileBe32(const QByteArray &bytes, qsizetype at)
{
    return (quint32(quint8(bytes[at])) << 24) | (quint32(quint8(bytes[at + 1])) << 16)
        | (quint32(quint8(bytes[at + 2])) << 8) | quint32(quint8(bytes[at + 3]));
}

// Inflates a zlib stream, giving up past `limit` bytes; empty on any error.
QByteArray greyProfileInflated(const QByteArray &compressed, qint64 limit)
{
    z_stream stream {};
    if (inflateInit(&stream) != Z_OK)
        return {};
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    QByteArray out;
    char chunk[16384];
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(chunk);
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(chunk, qsizetype(sizeof chunk - stream.avail_out));
        if (out.size() > limit)
            status = Z_DATA_ERROR;
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END ? out : QByteArray();
}

// The sRGB level of each grey level the profile describes (256 or 65536 of them): a neutral grey
// stays neutral, so one channel of the sRGB colour carries it. Empty when the profile is no grey
// profile the library takes.
std::vector<quint16> greyProfileLevels(const QByteArray &profile, bool sixteenBits)
{
    const std::optional<qint64> working = IccProfileTables::workingBytes(profile);
    if (!working || *working > greyProfileMaxWorkingBytes)
        return {};
    std::vector<quint16> levels;
    cmsHPROFILE input = cmsOpenProfileFromMem(profile.constData(), cmsUInt32Number(profile.size()));
    cmsHPROFILE output = cmsCreate_sRGBProfile();
    if (input && output && cmsGetColorSpace(input) == cmsSigGrayData) {
        if (cmsHTRANSFORM transform = cmsCreateTransform(input, TYPE_GRAY_16, output, TYPE_RGB_16, INTENT_PERCEPTUAL, 0)) {
            const int count = sixteenBits ? 65536 : 256;
            std::vector<quint16> grey(size_t(count), 0);
            for (int i = 0; i < count; ++i)
                grey[size_t(i)] = quint16(sixteenBits ? i : i * 257);
            std::vector<quint16> rgb(size_t(count) * 3);
            cmsDoTransform(transform, grey.data(), rgb.data(), cmsUInt32Number(count));
            cmsDeleteTransform(transform);
            levels.resize(size_t(count));
            for (size_t i = 0; i < levels.size(); ++i) {
                const double mean = (double(rgb[3 * i]) + rgb[3 * i + 1] + rgb[3 * i + 2]) / 3;
                levels[i] = quint16(sixteenBits ? std::round(mean) : std::round(mean / 257));
            }
        }
    }
    if (output)
        cmsCloseProfile(output);
    if (input)
        cmsCloseProfile(input);
    return levels;
}

} // namespace

bool isGreyProfile(const QByteArray &profile)
{
    // Bytes 16…19 of a profile name the colour space of the data it describes.
    return profile.size() >= 132 && profile.mid(16, 4) == "GRAY";
}

QByteArray pngProfile(const QByteArray &bytes)
{
    if (!bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return {};
    qsizetype at = 8;
    while (at + 12 <= bytes.size()) {
        const qint64 length = greyProfileBe32(bytes, at);
        const QByteArray type = bytes.mid(at + 4, 4);
        if (type == "IDAT" || type == "IEND" || length > bytes.size() - at - 12)
            return {};
        if (type == "iCCP") {
            const QByteArray data = bytes.mid(at + 8, qsizetype(length));
            // A name of 1…79 bytes, its terminating zero, the method (0: zlib), the profile.
            const qsizetype nameEnd = data.indexOf('\0');
            if (nameEnd < 1 || nameEnd > 79 || nameEnd + 2 > data.size() || data[nameEnd + 1] != 0)
                return {};
            return greyProfileInflated(data.mid(nameEnd + 2), greyProfileMaxBytes);
        }
        at += 12 + qsizetype(length);
    }
    return {};
}

bool toSrgb(QImage &grey, const QByteArray &profile)
{
    const bool sixteenBits = grey.format() == QImage::Format_Grayscale16;
    if ((grey.format() != QImage::Format_Grayscale8 && !sixteenBits) || !isGreyProfile(profile))
        return false;
    const std::vector<quint16> levels = greyProfileLevels(profile, sixteenBits);
    if (levels.empty())
        return false;
    const int width = grey.width();
    for (int y = 0; y < grey.height(); ++y) {
        uchar *row = grey.scanLine(y);
        if (sixteenBits) {
            auto *values = reinterpret_cast<quint16 *>(row);
            for (int x = 0; x < width; ++x)
                values[x] = levels[values[x]];
        } else {
            for (int x = 0; x < width; ++x)
                row[x] = uchar(levels[row[x]]);
        }
    }
    grey.setColorSpace(QColorSpace(QColorSpace::SRgb));
    return true;
}

} // namespace GreyProfile
