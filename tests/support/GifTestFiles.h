#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

// GIFs with full control over their blocks, written with giflib's encoder, and an independent
// block parser used as the oracle.
namespace GifTestFiles {

struct GifFrameRecipe {
    QRect rect;                          // inside the canvas (or not, to test clipping)
    std::vector<unsigned char> indices;  // rect.width() × rect.height() palette indices
    std::optional<int> delayCs = 10;     // no graphics control block when absent
    int disposal = 1;
    int transparentIndex = -1;
    bool interlaced = false;
    std::vector<QRgb> localPalette;      // empty: the global palette applies
};

struct GifRecipe {
    QSize canvas;
    std::vector<QRgb> globalPalette;     // padded to a power of two
    std::vector<GifFrameRecipe> frames;
    std::optional<int> loopCount;        // no NETSCAPE block when absent
    int commentBytes = 0;                // a comment block of this size after the header
};

// Writes the GIF with giflib's encoder; false on failure.
bool writeGif(const QString &path, const GifRecipe &recipe);

// A frame filled with one palette index.
GifFrameRecipe solidFrame(QRect rect, unsigned char index, std::optional<int> delayCs = 10);

// An animation of `count` full-canvas frames, frame i filled with palette index i % 4 of a
// red/green/blue/yellow palette and delay delays[i] (or 10).
GifRecipe simpleAnimation(QSize canvas, int count, const std::vector<int> &delays = {},
                        std::optional<int> loopCount = 0);

// `count` frames that each fill the whole screen with one of four colours in turn, coded as tightly
// as LZW allows (each code one pixel longer than the one before, then the longest repeated): a few
// kilobytes a frame of 12 megapixels.
QByteArray flatScreenFrames(QSize screen, int count);

// Sets the LZW minimum code size byte of frame `index` to 12, which no decoder accepts.
bool damageFrame(const QString &path, int index);

struct ParsedGif {
    QSize canvas;
    std::vector<QRect> rects;
    std::vector<std::optional<int>> delays;
    std::vector<qint64> codeSizeOffsets;
    std::optional<int> loopCount;
};
// A plain walk of the blocks, independent of the product's codec.
std::optional<ParsedGif> parseGif(const QByteArray &bytes);

// Composited frames as Qt's own GIF reader gives them.
std::vector<QImage> qtFrames(const QString &path);

} // namespace GifTestFiles
