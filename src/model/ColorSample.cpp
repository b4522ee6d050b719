#include "model/ColorSample.h"

#include <algorithm>
#include <cmath>

namespace {

int clampChannel(int value)
{
    return std::clamp(value, 0, 255);
}

// Nearest integer, halves away from zero.
int roundHalfAway(double value)
{
    return int(std::lround(value));
}

} // namespace

SampledImageColor::SampledImageColor(int red, int green, int blue, int alpha)
    : red(clampChannel(red))
    , green(clampChannel(green))
    , blue(clampChannel(blue))
    , alpha(clampChannel(alpha))
{
}

QString SampledImageColor::hex() const
{
    return QString::asprintf("#%02X%02X%02X", red, green, blue);
}

QString SampledImageColor::rgbText() const
{
    return QStringLiteral("%1, %2, %3").arg(red).arg(green).arg(blue);
}

QString SampledImageColor::rgbCopyText() const
{
    return QStringLiteral("RGB: ") + rgbText();
}

SampledImageColor::Cmyk SampledImageColor::cmyk() const
{
    const double r = red / 255.0;
    const double g = green / 255.0;
    const double b = blue / 255.0;
    const double k = 1 - std::max({r, g, b});
    if (k >= 1)
        return {0, 0, 0, 100};
    // Written in exactly this order of operations so that values on a rounding edge come out the
    // same as the copied texts users compare against.
    return {roundHalfAway((1 - r - k) / (1 - k) * 100), roundHalfAway((1 - g - k) / (1 - k) * 100),
            roundHalfAway((1 - b - k) / (1 - k) * 100), roundHalfAway(k * 100)};
}

QString SampledImageColor::cmykText() const
{
    const Cmyk values = cmyk();
    return QStringLiteral("%1, %2, %3, %4").arg(values.cyan).arg(values.magenta).arg(values.yellow).arg(values.black);
}

QString SampledImageColor::cmykCopyText() const
{
    return QStringLiteral("CMYK: ") + cmykText();
}

QString SampledImageColor::alphaPercentText() const
{
    return QString::number(roundHalfAway(alpha / 255.0 * 100)) + u'%';
}
