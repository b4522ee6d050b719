#include "platform/PngColourChunks.h"

#include <array>
#include <cstdlib>

namespace PngColourChunks {

namespace {

qint64 pngColourBe32(const QByteArray &bytes, qsizetype at)
{
    return (qint64(uchar(bytes[at])) << 24) | (qint64(uchar(bytes[at + 1])) << 16) | (qint64(uchar(bytes[at + 2])) << 8)
        | qint64(uchar(bytes[at + 3]));
}

// sRGB's gamma as a PNG stores it (1/2.2 in units of 1/100000), and its white point and
// primaries (x and y of white, red, green, blue, in the same units).
constexpr qint64 pngColourSrgbGamma = 45455;
constexpr std::array<qint64, 8> pngColourSrgbChromaticities = {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};

// libpng's tolerances: a gamma within 5 % of sRGB's, each chromaticity within 0.001.
bool pngColourGammaMatches(qint64 gamma)
{
    return gamma > 0 && std::llabs(gamma - pngColourSrgbGamma) * 100 <= pngColourSrgbGamma * 5;
}

bool pngColourChromaticitiesMatch(const QByteArray &data)
{
    if (data.size() != 32)
        return false;
    for (qsizetype i = 0; i < 8; ++i)
        if (std::llabs(pngColourBe32(data, i * 4) - pngColourSrgbChromaticities[size_t(i)]) > 100)
            return false;
    return true;
}

} // namespace

bool statesSrgbByGamma(const QByteArray &head)
{
    if (!head.startsWith("\x89PNG\r\n\x1A\n"))
        return false;
    bool gammaMatches = false;
    bool chromaticitiesMatch = true; // absent, the primaries are taken as sRGB's
    qsizetype at = 8;
    while (at + 12 <= head.size()) {
        const qint64 length = pngColourBe32(head, at);
        const QByteArray type = head.mid(at + 4, 4);
        if (length > head.size() - at - 12)
            return false;
        if (type == "IDAT" || type == "PLTE")
            return gammaMatches && chromaticitiesMatch;
        if (type == "sRGB" || type == "iCCP" || type == "IEND")
            return false;
        const QByteArray data = head.mid(at + 8, qsizetype(length));
        if (type == "gAMA")
            gammaMatches = data.size() == 4 && pngColourGammaMatches(pngColourBe32(data, 0));
        else if (type == "cHRM")
            chromaticitiesMatch = pngColourChromaticitiesMatch(data);
        at += 12 + qsizetype(length);
    }
    return false;
}

} // namespace PngColourChunks
