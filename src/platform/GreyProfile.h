#pragma once

#include <QByteArray>
#include <QImage>

// Grey pictures that carry a grey ICC profile, brought to sRGB through the colour management
// library: Qt's colour spaces take RGB profiles only, so such a picture would otherwise be shown
// as if its grey levels were sRGB's.
namespace GreyProfile {

// Whether the profile describes grey data.
bool isGreyProfile(const QByteArray &profile);

// The profile a PNG carries (its iCCP chunk, inflated); empty when it has none or the chunk is
// damaged. Only the chunks before the image data are read.
QByteArray pngProfile(const QByteArray &bytes);

// Brings the levels of a grey picture (Grayscale8 or Grayscale16) through the profile to sRGB's,
// in place and in its own format (a neutral grey stays neutral), and gives it the sRGB colour
// space. False, the picture left as it is, when it is not grey, or the profile is no grey profile
// the library takes, or its tables would take more than a grey profile needs.
bool toSrgb(QImage &grey, const QByteArray &profile);

} // namespace GreyProfile
