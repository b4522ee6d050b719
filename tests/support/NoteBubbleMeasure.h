#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

#include <cmath>
#include <cstdlib>
#include <optional>

// Reads note bubbles back from pixels: where the (only) bubble of a picture is, and how many
// lines of text its note column shows.
namespace NoteBubbleMeasure {

// The bounding box of the bubble's amber fill (#FBBF24, within a small tolerance for smoothing
// and for PDF rasterisers).
inline std::optional<QRect> bubbleRect(const QImage &image, QRect area = QRect())
{
    const QRect within = area.isNull() ? image.rect() : area.intersected(image.rect());
    const QColor amber(0xFB, 0xBF, 0x24);
    QRect found;
    for (int y = within.top(); y <= within.bottom(); ++y) {
        for (int x = within.left(); x <= within.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - amber.red()) <= 6 && std::abs(c.green() - amber.green()) <= 6
                && std::abs(c.blue() - amber.blue()) <= 6)
                found = found.isNull() ? QRect(x, y, 1, 1) : found.united(QRect(x, y, 1, 1));
        }
    }
    if (found.isNull())
        return std::nullopt;
    return found;
}

// The runs of rows holding dark text pixels in the note column of the bubble (right of the
// number column, left of the delete button's room), at `scale` pixels per point.
inline int noteLineCount(const QImage &image, QRect bubble, double scale = 1)
{
    const int left = bubble.left() + int(std::ceil((12 + 34) * scale));
    const int right = bubble.right() - int(std::ceil(36 * scale));
    const int inset = int(std::ceil(3 * scale));
    int lines = 0;
    bool inLine = false;
    for (int y = bubble.top() + inset; y <= bubble.bottom() - inset; ++y) {
        bool dark = false;
        for (int x = left; x <= right && !dark; ++x) {
            // The note's ink (#0F172A), not the blue border.
            const QRgb p = image.pixel(x, y);
            dark = qRed(p) < 110 && qGreen(p) < 110 && qBlue(p) < 110;
        }
        if (dark && !inLine)
            ++lines;
        inLine = dark;
    }
    return lines;
}

} // namespace NoteBubbleMeasure
