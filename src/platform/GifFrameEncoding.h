#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>

#include <gif_lib.h>

#include <optional>
#include <vector>

// The pixels of one GIF frame as image blocks: the colour map chosen for them (exact, from a given
// palette, or quantized) and their indices. Used by GifCodec::Writer.
namespace GifCodec::FrameEncoding {

// One image block as it goes into the file: its rectangle of the canvas, its indices and its
// local colour map (a power of two of entries).
struct EncodedFrame {
    QRect rect;
    std::vector<GifByteType> indices;
    std::vector<GifColorType> colors;
    int transparentIndex = NO_TRANSPARENT_COLOR;
    int delayCs = 0;
    bool coversCanvas = false;
    bool exactColors = false; // every visible pixel keeps its own colour
};

// One pixel value per visible colour: 0 for a transparent pixel, else the colour made opaque.
QImage normalized(const QImage &frame);

// A palette as a colour map of a power of two of entries (at least two), padded with black.
std::vector<GifColorType> colorMapOf(const std::vector<QRgb> &palette);

// One flag per pixel of a normalised image, row by row: whether it is transparent.
std::vector<char> transparentPixels(const QImage &argb);

// Encodes the rectangle of a normalised frame. Pixels flagged in `isClear` (one flag per pixel of
// the rectangle, row by row) get the transparent
// index (with `withTransparentIndex`, the frame has one even without such pixels). The others get
// indices into `global` (the file's table, out.colors left empty) when their colours are all in
// it; else their exact colours when at most 255 of them (256 without a clear pixel) are used;
// else the nearest colours of `hint` (indices into `global` when that is the hint); else giflib's
// median cut. When the colours are not the pixels' own (exactColors false), the colour each pixel
// of the rectangle shows (0 for clear ones) goes to `shows`. With `exactOnly`, nothing when the
// pixels cannot keep their own colours.
std::optional<EncodedFrame> encodeRect(const QImage &argb, QRect rect, const std::vector<char> &isClear,
                                       const std::vector<QRgb> &hint, std::vector<QRgb> *shows,
                                       const std::vector<GifColorType> &global = {},
                                       bool withTransparentIndex = false, bool exactOnly = false);

} // namespace GifCodec::FrameEncoding
