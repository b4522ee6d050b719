#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>

// What Qt's JPEG reader does not do for us: telling a file that was cut short from a whole one,
// and decoding CMYK pictures through their embedded profile.
namespace JpegFile {

// What the markers of a JPEG say, read without decoding any pixels.
struct Layout {
    int width = 0, height = 0; // the frame's size as stored
    int components = 0; // colour components of the frame (4: CMYK or YCCK)
    bool adobeMarker = false; // an Adobe segment: CMYK values are stored inverted
    QByteArray iccProfile; // the embedded profile, its chunks joined; empty when there is none
    bool complete = false; // an end-of-image marker follows the scan data
};

// Nothing when the bytes are not a JPEG.
std::optional<Layout> layout(const QByteArray &bytes);

// A CMYK JPEG with an embedded CMYK profile, converted through that profile to sRGB (RGB32, with
// the sRGB colour space set). Decoded at the smallest of 1/8, 1/4, 1/2 or full scale that still
// covers `atLeast` (in stored orientation; an empty size asks for full scale). Nothing when the
// file is not such a JPEG or cannot be decoded; the caller reads it the ordinary way then.
std::optional<QImage> decodeCmykWithProfile(const QByteArray &bytes, const Layout &layout, QSize atLeast = QSize());

// The picture Qt's reader gives with `scaledSize` set, decoded straight from the bytes: reduced by
// the same whole eighths inside the decoder, then smoothly to the size when that is not exact
// (RGB32, or Grayscale8 for a grey file). Only for whole three-component or grey files without an
// embedded profile; nothing for any other file or when decoding fails, and the caller reads it the
// ordinary way then.
std::optional<QImage> decodeScaled(const QByteArray &bytes, const Layout &layout, QSize scaledSize);

// The image without its colour space when that space's profile is not for RGB pixels: Qt's reader
// converts a CMYK picture to RGB on its own but keeps the CMYK profile, which no writer may copy
// into a file of RGB pixels.
QImage withoutForeignProfile(QImage image);

} // namespace JpegFile
