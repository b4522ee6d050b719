#pragma once

#include <QPointF>
#include <QString>

// The eyedropper's colour: 8-bit channels and the texts the colour panel shows and copies.
struct SampledImageColor {
    int red = 0;
    int green = 0;
    int blue = 0;
    int alpha = 255;

    SampledImageColor() = default;
    // Clamps each channel into 0…255.
    SampledImageColor(int red, int green, int blue, int alpha);

    struct Cmyk {
        int cyan = 0;
        int magenta = 0;
        int yellow = 0;
        int black = 0;
        bool operator==(const Cmyk &) const = default;
    };

    // "#DC2626": red, green, blue as two upper-case hex digits each; alpha is left out.
    QString hex() const;
    // "220, 38, 38"
    QString rgbText() const;
    // "RGB: 220, 38, 38"
    QString rgbCopyText() const;
    // Naive device CMYK in percent, each 0…100.
    Cmyk cmyk() const;
    // "0, 83, 83, 14"
    QString cmykText() const;
    // "CMYK: 0, 83, 83, 14"
    QString cmykCopyText() const;
    // Alpha as a rounded percentage, "50%".
    QString alphaPercentText() const;

    bool operator==(const SampledImageColor &) const = default;
};

// What the eyedropper shows: the colour, where the pointer is on the canvas and which pixel of
// the image it sampled.
struct ColorSamplePreview {
    SampledImageColor color;
    QPointF canvasPoint;
    QPointF pixelPoint;

    // Exact comparison (QPointF's own == is fuzzy).
    bool operator==(const ColorSamplePreview &other) const
    {
        return color == other.color && canvasPoint.x() == other.canvasPoint.x()
            && canvasPoint.y() == other.canvasPoint.y() && pixelPoint.x() == other.pixelPoint.x()
            && pixelPoint.y() == other.pixelPoint.y();
    }
};
