#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// A small GIF layer over giflib: a bounds-checked scan of the block structure (frame count, delays,
// loop count) that never decodes pixels, a streaming frame decoder that composites each frame onto
// the logical screen, and a writer with exact palettes.
namespace GifCodec {

// Whether the bytes start with a GIF signature ("GIF87a" or "GIF89a").
bool hasGifSignature(const QByteArray &head);

// The logical screen declared by a GIF's header (its first 13 bytes; either side may be 0):
// nothing when the bytes are not a GIF's header.
std::optional<QSize> screenSize(const QByteArray &head);

struct FrameInfo {
    QRect rect;                   // as declared by the image descriptor (not clipped)
    std::optional<int> delayCs;   // the graphics control block's delay, when there is one
    bool interlaced = false;
    int disposal = 0;             // the graphics control block's disposal method
    bool transparentIndex = false; // the graphics control block names a transparent index
    // Whether the frame leaves transparent pixels in its part of the screen (where nothing was drawn
    // before, values without a colour or its transparent index). Only decoding tells; the scan,
    // reading no pixels, leaves it false (see exceedsWorkLimitOnceDecoded).
    bool leavesTransparentPixels = false;

    bool operator==(const FrameInfo &) const = default;
};

struct FileInfo {
    QSize canvas;                 // the logical screen
    std::vector<FrameInfo> frames;
    std::optional<int> loopCount; // the NETSCAPE loop value; absent when the file has no loop block
    qint64 fileBytes = 0;         // the size of the file

    bool operator==(const FileInfo &) const = default;
};

// Walks the file's blocks without LZW decoding, so a frame whose pixel data is damaged still
// counts. Stops quietly at the trailer, at the end of the data or at an unknown block; nothing
// when the file is not a GIF or its header is cut short.
std::optional<FileInfo> scan(const QString &path);

// A file of a few kilobytes can declare a huge screen and thousands of frames, so the work a GIF
// asks for is counted from its blocks before any of it is done, in two parts.
//
// Decoding: the rows of each frame's own rectangle that are decoded (which may reach far beyond a
// small screen) and a fixed amount besides its pixels (its blocks, handing it from the decoder to
// the writer), counted as `pixelsPerFrame`, so that a file of a million one-pixel frames is as
// much work as a large picture. Drawing a frame onto the screen touches no more than those rows.
constexpr qint64 maxDecodedPixels = 2'150'000'000;
constexpr qint64 pixelsPerFrame = 32'768;
// The pixels the decoder reads of a frame's own rectangle: its rows down to the screen's last one
// (all of them when interlaced, whose rows arrive out of order), none when nothing of it shows.
qint64 decodedPixels(const FrameInfo &frame, QSize canvas);
qint64 decodeWork(const FileInfo &info);

// Writing: every written frame (every second one beyond 8 frames) is a whole canvas of the written
// size, copied, compared with the one before and indexed, however little of it changed. While
// the screen may still hold transparent pixels (no frame without a transparent index has covered
// it yet, or one that did left transparent pixels, or a frame was cleared to the background since),
// each frame is encoded whole and the one before it again: three times the work. A canvas above
// 32 MB comes fresh from the system for every copy (the allocator keeps no blocks that large):
// twice the work again. What changed since the frame written before (the frames' rectangles, and
// those cleared or restored after being shown) is, besides, coded (`changedWeight` a pixel at the
// written size) and, when the frames are written smaller, shrunk again from the screen
// (`shrinkWeight` a pixel of the screen: the changed part when it is reduced by averaging areas,
// by at least half on both sides, the whole screen when it is smoothly scaled).
constexpr qint64 changedWeight = 4;
constexpr qint64 shrinkWeight = 5;
qint64 writeWork(const FileInfo &info, QSize written);

// The work counted in the units above (about as long as decoding a pixel) that a file may ask
// for: `baseWork` (some three seconds of CPU), and `workPerFileByte` more for each byte of the
// file, so a genuine recording of hundreds of large frames, whose data grows with its pictures,
// is worked through, while a file of a few kilobytes a frame that repeats flat colours is not.
// A GIF under 1 MB stays near three seconds. Decoding alone stays within maxDecodedPixels.
constexpr qint64 baseWork = 1'100'000'000;
constexpr qint64 workPerFileByte = 64;
qint64 allowedWork(const FileInfo &info);

// Whether decoding the file and writing it at `written` (its frames scaled to that size) is more
// work than the limits above allow: decodeWork() past maxDecodedPixels, or decodeWork() and
// writeWork() together past allowedWork().
bool exceedsWorkLimit(const FileInfo &info, QSize written);
// Before decoding, a frame that covers the screen without a transparent index is counted as
// drawing all of it; its decode tells whether it did. Records that frame `index` left transparent
// pixels (`leftTransparent`, as FrameDecoder::leftTransparentPixels() tells), and then counts
// every later frame as leaving them too; whether the writing, counted again, is now more work
// than the limit allows. Checked as each frame is decoded, before it is written, the work done
// never exceeds the limit.
bool exceedsWorkLimitOnceDecoded(FileInfo &info, int index, bool leftTransparent, QSize written);

// Writing a frame costs every pixel of the canvas written (compared, indexed and coded), however
// little of it changes, so a few-byte file with a huge screen would take seconds a frame. Larger
// canvases are not written; an 8K screen (7680 × 4320) still is.
constexpr qint64 maxWrittenCanvasPixels = 40'000'000;

// The delay a frame is shown for, in centiseconds: the file's value, or 10 when there is none or
// it is below 2 (viewers show such frames for a tenth of a second).
int effectiveDelayCs(const FrameInfo &frame);

// Decodes the frames of a GIF one after another, each composited onto an RGBA canvas of the
// logical screen's size (previous frame's disposal applied, transparent pixels skipped, frame
// rectangles clipped to the canvas). Only the current canvas (and, for "restore to previous", a copy
// of the frame's rectangle) is held in memory; the file is read as it goes.
class FrameDecoder {
public:
    FrameDecoder();
    ~FrameDecoder();
    FrameDecoder(const FrameDecoder &) = delete;
    FrameDecoder &operator=(const FrameDecoder &) = delete;

    // Opens the file and reads its screen descriptor; false when it is not a readable GIF or its
    // canvas is empty or larger than the image pixel cap.
    bool open(const QString &path);
    QSize canvasSize() const;

    // Decodes the next frame; the composited canvas (Format_ARGB32), or a null image when the
    // frame cannot be decoded or there are no more frames.
    QImage nextFrame();
    // The part of the canvas that the last nextFrame() may have changed (the disposal of the frame
    // before and the new frame's rectangle); for the first frame, what it drew over the
    // transparent canvas.
    QRect changedRect() const;
    // The pixels decoded so far: the rows of each frame's rectangle as far as they reach the
    // screen (a frame's rows below the screen are skipped without decoding).
    qint64 decodedPixels() const;
    // Whether the last frame left transparent pixels in its part of the screen: pixels of its
    // transparent index, or of values its colours have no entry for, where nothing was drawn.
    bool leftTransparentPixels() const;

private:
    struct State;
    std::unique_ptr<State> d;
};

// Writes a GIF frame by frame. A frame with at most 255 colours (256 without transparency) gets its
// exact palette, only richer frames are quantized. Pixels with alpha below 128 become the frame's
// one transparent index. An opaque frame after the first is written as the rectangle that changed,
// its unchanged pixels transparent (or, when its changed pixels use all 256 colours, opaque); decoded, every frame shows the pixels it was given (or, when
// quantized, their palette colours, the unchanged ones keeping those of the frame before).
class Writer {
public:
    Writer();
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // Opens the output (the file must not exist yet) and writes the header; no loop block when
    // loopCount is absent, which keeps the animation play-once.
    bool open(const QString &path, QSize canvas, std::optional<int> loopCount);
    // Adds one frame of the canvas size; the delay is clamped to 0…65535 centiseconds. `palette`
    // (at most 256 colours, such as the source file's global table) is the file's global table when
    // given with the first frame, and frames with too many colours are mapped to its nearest colours.
    bool addFrame(const QImage &frame, int delayCs, const std::vector<QRgb> &palette = {});
    // Whether every visible pixel of the image has a colour of the palette (a frame scaled from it
    // is then well served by that palette).
    static bool paletteHolds(const std::vector<QRgb> &palette, const QImage &image);
    // The same for the image's pixels within `area`.
    static bool paletteHolds(const std::vector<QRgb> &palette, const QImage &image, QRect area);
    // Writes the trailer and closes the file; false when anything could not be written.
    bool finish();
    // Why the file could not be created or written (the system's error number); 0 when it could,
    // or when the failure was not the file's.
    int errorNumber() const;

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace GifCodec
