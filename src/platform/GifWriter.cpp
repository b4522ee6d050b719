#include "platform/GifCodec.h"
#include "platform/GifFrameEncoding.h"
#include "platform/NewFile.h"
#include "platform/ParallelWork.h"

#include <QFile>

#include <gif_lib.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace GifCodec {

using namespace FrameEncoding;

// Frames are written one behind: how a frame is disposed of depends on the frame after it. A frame
// without transparent pixels is drawn over the previous one (left in place) and only its changed
// rectangle is written, its unchanged pixels transparent. A frame with transparent pixels covers
// the canvas and the frame before it is cleared, so those pixels show nothing of earlier frames.
struct Writer::State {
    ReasonedFile file;
    GifFileType *gif = nullptr;
    QSize canvas;
    bool failed = false;

    QImage previous;                // the last frame added, normalised
    std::vector<QRgb> previousHint; // its palette hint
    // The canvas once the last frame is drawn; empty while that is `previous` itself (every frame
    // so far drawn in its own colours), so exact animations keep one canvas, not two.
    std::vector<QRgb> shown;
    std::optional<EncodedFrame> pending;
    std::unique_ptr<ParallelWork::Background> writing; // the frame before `pending`, being written
    bool written = true;                               // whether every frame handed over was written
    bool firstHasTransparency = false;
    std::optional<int> loopCount;
    bool headerWritten = false;
    std::vector<GifColorType> global; // the first frame's colours, used by every frame they suffice for

    // The screen descriptor, with the first frame's colour map as the global table, and the loop block.
    bool writeHeader()
    {
        headerWritten = true;
        ColorMapObject *map = nullptr;
        if (!global.empty() && !(map = GifMakeMapObject(static_cast<int>(global.size()), global.data())))
            return false;
        const bool ok = EGifPutScreenDesc(gif, canvas.width(), canvas.height(), 8, 0, map) != GIF_ERROR
            && (!loopCount || putLoopBlock(*loopCount));
        GifFreeMapObject(map);
        return ok;
    }

    ~State()
    {
        waitForWriting();
        if (gif)
            EGifCloseFile(gif, nullptr);
    }

    static int writeToFile(GifFileType *gif, const GifByteType *bytes, int length)
    {
        auto *file = static_cast<ReasonedFile *>(gif->UserData);
        return static_cast<int>(std::max<qint64>(file->write(reinterpret_cast<const char *>(bytes), length), 0));
    }

    bool putLoopBlock(int loopCount)
    {
        const int value = std::clamp(loopCount, 0, 65535);
        const GifByteType data[3] = {1, GifByteType(value & 0xFF), GifByteType(value >> 8)};
        return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK
            && EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK
            && EGifPutExtensionBlock(gif, 3, data) == GIF_OK
            && EGifPutExtensionTrailer(gif) == GIF_OK;
    }

    QRect whole() const { return QRect(QPoint(0, 0), canvas); }

    // The previous frame again, as a frame of its own covering the canvas and with a transparent
    // index: decoders that clear a disposed frame to the background colour unless the frame has
    // one then clear it to transparent.
    bool coverPendingCanvas()
    {
        if (pending->coversCanvas && pending->transparentIndex != NO_TRANSPARENT_COLOR)
            return true;
        const int delay = pending->delayCs;
        const std::vector<char> clear = transparentPixels(previous);
        std::optional<EncodedFrame> covering = encodeRect(previous, whole(), clear, previousHint, nullptr, global, true);
        // A frame of all 256 colours has no entry left for the index and would come out quantized.
        // It stays exact, without the index: decoders that clear to transparent whatever the frame
        // (browsers, ours) still show every frame as given, only Qt's reader clears this one to the
        // background colour.
        if (covering && !covering->exactColors && pending->exactColors) {
            if (auto exact = encodeRect(previous, whole(), clear, previousHint, nullptr, global, false);
                exact && exact->exactColors)
                covering = std::move(exact);
        }
        pending = std::move(covering);
        if (!pending)
            return false;
        pending->delayCs = delay;
        pending->coversCanvas = true;
        return true;
    }

    // Writes the pending frame on a thread of the pool while the caller encodes the next one (the
    // file's coding takes about half the work); one frame at a time, in order.
    bool writePending(int disposal)
    {
        if (!waitForWriting())
            return false;
        writing = std::make_unique<ParallelWork::Background>(
            [this, frame = std::move(*pending), disposal] { written = writeFrame(frame, disposal); });
        pending.reset();
        return true;
    }

    // Waits for the frame being written; false when it could not be.
    bool waitForWriting()
    {
        if (!writing)
            return written;
        try {
            writing->wait();
        } catch (...) {
            written = false;
        }
        writing.reset();
        return written;
    }

    bool writeFrame(const EncodedFrame &frame, int disposal)
    {
        ColorMapObject *map = nullptr;
        if (!frame.colors.empty() && !(map = GifMakeMapObject(static_cast<int>(frame.colors.size()), frame.colors.data())))
            return false;
        GraphicsControlBlock gcb;
        gcb.DisposalMode = disposal;
        gcb.UserInputFlag = false;
        gcb.DelayTime = frame.delayCs;
        gcb.TransparentColor = frame.transparentIndex;
        GifByteType extension[4];
        const size_t extensionLength = EGifGCBToExtension(&gcb, extension);
        const QRect r = frame.rect;
        // giflib forgets (without freeing) the previous frame's colour map when a frame has none.
        if (!map && gif->Image.ColorMap) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        bool ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extensionLength), extension) == GIF_OK
            && EGifPutImageDesc(gif, r.x(), r.y(), r.width(), r.height(), false, map) == GIF_OK;
        GifFreeMapObject(map);
        for (int y = 0; ok && y < r.height(); ++y)
            ok = EGifPutLine(gif, const_cast<GifByteType *>(frame.indices.data()) + static_cast<size_t>(y) * r.width(),
                             r.width())
                == GIF_OK;
        return ok;
    }

    // Encodes `frame` (normalised) over the canvas the previous frame leaves.
    std::optional<EncodedFrame> encodeOverPrevious(const QImage &frame, const std::vector<QRgb> &hint)
    {
        const int width = canvas.width();
        const int height = canvas.height();
        // A pixel is unchanged when the frame repeats the previous one there over a drawn pixel.
        auto unchangedRow = [&](int y, int from, int count, char *flags) {
            const QRgb *now = reinterpret_cast<const QRgb *>(frame.constScanLine(y)) + from;
            const QRgb *before = reinterpret_cast<const QRgb *>(previous.constScanLine(y)) + from;
            const QRgb *drawn = shown.empty() ? before : shown.data() + static_cast<size_t>(y) * width + from;
            for (int x = 0; x < count; ++x)
                flags[x] = now[x] == before[x] && drawn[x] != 0;
        };
        std::vector<char> row(static_cast<size_t>(width));
        int left = width, top = height, right = -1, bottom = -1;
        for (int y = 0; y < height; ++y) {
            unchangedRow(y, 0, width, row.data());
            const auto first = std::find(row.begin(), row.end(), 0);
            if (first == row.end())
                continue;
            const auto last = std::find(row.rbegin(), row.rend(), 0);
            left = std::min(left, int(first - row.begin()));
            right = std::max(right, int(row.rend() - last) - 1);
            top = std::min(top, y);
            bottom = y;
        }
        QRect rect = right < 0 ? QRect(0, 0, 1, 1) : QRect(QPoint(left, top), QPoint(right, bottom));
        std::vector<char> unchanged(static_cast<size_t>(rect.width()) * rect.height());
        for (int y = 0; y < rect.height(); ++y)
            unchangedRow(rect.y() + y, rect.x(), rect.width(), unchanged.data() + static_cast<size_t>(y) * rect.width());
        std::vector<QRgb> shows;
        // Unchanged pixels made transparent take a colour entry of their own: a rectangle whose
        // changed pixels use all 256 would lose its exact colours. Written whole and opaque, it
        // keeps them whenever the frame has no more than 256.
        auto encoded = encodeRect(frame, rect, unchanged, hint, &shows, global, false, true);
        if (!encoded) {
            std::vector<char> none(unchanged.size(), 0);
            encoded = encodeRect(frame, rect, none, hint, &shows, global, false, true);
            if (encoded)
                unchanged = std::move(none);
            else
                encoded = encodeRect(frame, rect, unchanged, hint, &shows, global);
        }
        if (!encoded)
            return std::nullopt;
        encoded->coversCanvas = rect == whole();
        if (encoded->exactColors && shown.empty())
            return encoded; // the canvas is the frame, which becomes `previous`
        if (shown.empty()) {
            shown.resize(static_cast<size_t>(width) * height);
            for (int y = 0; y < height; ++y)
                std::copy_n(reinterpret_cast<const QRgb *>(previous.constScanLine(y)), width,
                            shown.data() + static_cast<size_t>(y) * width);
        }
        for (int y = 0; y < rect.height(); ++y) {
            const auto *pixels = reinterpret_cast<const QRgb *>(frame.constScanLine(rect.y() + y)) + rect.x();
            QRgb *drawn = shown.data() + static_cast<size_t>(rect.y() + y) * width + rect.x();
            for (int x = 0; x < rect.width(); ++x) {
                const size_t k = static_cast<size_t>(y) * rect.width() + x;
                if (!unchanged[k])
                    drawn[x] = encoded->exactColors ? pixels[x] : shows[k];
            }
        }
        return encoded;
    }
};

Writer::Writer() : d(std::make_unique<State>()) {}

Writer::~Writer() = default;

bool Writer::open(const QString &path, QSize canvas, std::optional<int> loopCount)
{
    d = std::make_unique<State>();
    if (canvas.isEmpty() || canvas.width() > 65535 || canvas.height() > 65535)
        return false;
    d->canvas = canvas;
    d->file.setFileName(path);
    if (!d->file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    int error = 0;
    d->gif = EGifOpen(&d->file, &State::writeToFile, &error);
    if (!d->gif)
        return false;
    EGifSetGifVersion(d->gif, true);
    // The header follows with the first frame, whose colours become the global table.
    d->loopCount = loopCount;
    return true;
}

bool Writer::addFrame(const QImage &frame, int delayCs, const std::vector<QRgb> &palette)
{
    if (!d->gif || d->failed || frame.size() != d->canvas)
        return false;
    const QImage argb = normalized(frame);
    if (argb.isNull()) {
        d->failed = true;
        return false;
    }
    bool hasTransparency = false;
    for (int y = 0; y < argb.height() && !hasTransparency; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        hasTransparency = std::find(row, row + argb.width(), 0u) != row + argb.width();
    }
    const std::vector<QRgb> hint = palette.size() <= 256 ? palette : std::vector<QRgb>();

    const bool overPrevious = d->pending.has_value() && !hasTransparency;
    if (d->pending) {
        const bool ok = (overPrevious || d->coverPendingCanvas())
            && d->writePending(overPrevious ? DISPOSE_DO_NOT : DISPOSE_BACKGROUND);
        if (!ok) {
            d->failed = true;
            return false;
        }
    } else {
        d->firstHasTransparency = hasTransparency;
    }

    std::optional<EncodedFrame> encoded;
    if (overPrevious) {
        encoded = d->encodeOverPrevious(argb, hint);
    } else {
        // The first frame's palette, when given, becomes the global table.
        if (!d->headerWritten && !hint.empty())
            d->global = colorMapOf(hint);
        d->shown.clear();
        encoded = encodeRect(argb, d->whole(), transparentPixels(argb), hint, &d->shown, d->global);
        if (encoded && encoded->exactColors)
            d->shown.clear();
        if (encoded)
            encoded->coversCanvas = true;
        if (encoded && !d->headerWritten) {
            if (d->global.empty()) {
                d->global = std::move(encoded->colors);
                encoded->colors.clear();
            }
            if (!d->writeHeader()) {
                d->failed = true;
                return false;
            }
        }
    }
    if (!encoded) {
        d->failed = true;
        return false;
    }
    encoded->delayCs = std::clamp(delayCs, 0, 65535);
    d->pending = std::move(encoded);
    d->previous = argb;
    d->previousHint = hint;
    return true;
}

int Writer::errorNumber() const { return d ? d->file.errorNumber() : 0; }

bool Writer::finish()
{
    if (!d->gif)
        return false;
    if (!d->headerWritten && !d->writeHeader())
        d->failed = true;
    // When the animation starts again, its first frame's transparent pixels show a cleared canvas.
    if (d->pending && !d->failed
        && !((!d->firstHasTransparency || d->coverPendingCanvas()) && d->writePending(DISPOSE_BACKGROUND)))
        d->failed = true;
    if (!d->waitForWriting())
        d->failed = true;
    const bool closed = EGifCloseFile(d->gif, nullptr) == GIF_OK;
    d->gif = nullptr;
    const bool flushed = d->file.flush();
    d->file.close();
    return closed && flushed && !d->failed && d->file.error() == QFileDevice::NoError;
}

} // namespace GifCodec
