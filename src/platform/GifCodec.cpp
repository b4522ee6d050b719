#include "platform/GifCodec.h"

#include "platform/GifLzwDecoder.h"
#include "platform/ImageLimits.h"

#include <QFile>

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace GifCodec {

namespace {

int le16(const unsigned char *p)
{
    return p[0] | (p[1] << 8);
}

// Reads one sub-block chain ("size byte, data, …, 0"); hands every data block to the visitor.
// False when the chain is cut short.
template<typename Visitor>
bool readSubBlocks(QFile &file, Visitor &&visit)
{
    int index = 0;
    for (;;) {
        char sizeByte = 0;
        if (!file.getChar(&sizeByte))
            return false;
        const int size = static_cast<unsigned char>(sizeByte);
        if (size == 0)
            return true;
        const QByteArray block = file.read(size);
        if (block.size() != size)
            return false;
        visit(index++, block);
    }
}

// The work of writing one frame of `written` size (see writeWork).
qint64 gifWrittenFrameWork(QSize written, bool transparent)
{
    const qint64 pixels = qint64(std::max(written.width(), 0)) * std::max(written.height(), 0);
    return pixels * (pixels * 4 > (qint64(32) << 20) ? 2 : 1) * (transparent ? 3 : 1);
}

// Whether the frame's rectangle covers the screen and none of its values is declared transparent:
// then it draws every pixel of the screen, unless its decode finds values without a colour.
bool gifFrameMayCoverScreen(const FrameInfo &frame, QSize canvas)
{
    return !frame.transparentIndex && frame.rect.contains(QRect(QPoint(0, 0), canvas));
}

bool skipColorTable(QFile &file, unsigned char packed)
{
    if (!(packed & 0x80))
        return true;
    const qint64 bytes = 3LL * (1 << ((packed & 0x07) + 1));
    return file.skip(bytes) == bytes;
}

} // namespace

bool hasGifSignature(const QByteArray &head)
{
    return head.startsWith("GIF87a") || head.startsWith("GIF89a");
}

std::optional<QSize> screenSize(const QByteArray &head)
{
    if (head.size() < 13 || !hasGifSignature(head))
        return std::nullopt;
    const auto *h = reinterpret_cast<const unsigned char *>(head.constData());
    return QSize(le16(h + 6), le16(h + 8));
}

qint64 decodedPixels(const FrameInfo &frame, QSize canvas)
{
    const QRect visible = frame.rect & QRect(QPoint(0, 0), canvas);
    if (visible.isEmpty())
        return 0;
    const qint64 rows = frame.interlaced ? frame.rect.height() : visible.bottom() - frame.rect.top() + 1;
    return rows * frame.rect.width();
}

qint64 decodeWork(const FileInfo &info)
{
    qint64 work = 0;
    for (const FrameInfo &frame : info.frames) {
        work += decodedPixels(frame, info.canvas) + pixelsPerFrame;
        if (work > maxDecodedPixels)
            break; // far enough: no sum can overflow
    }
    return work;
}

qint64 writeWork(const FileInfo &info, QSize written)
{
    const QRect screen(QPoint(0, 0), info.canvas);
    const qint64 screenPixels = qint64(info.canvas.width()) * info.canvas.height();
    const qint64 writtenPixels = qint64(std::max(written.width(), 0)) * std::max(written.height(), 0);
    const bool shrunk = written != info.canvas;
    const bool byArea = info.canvas.width() >= 2 * written.width() && info.canvas.height() >= 2 * written.height();
    const int count = int(info.frames.size());
    const int step = count <= 8 ? 1 : 2;
    bool opaque = false; // whether every pixel of the screen is drawn
    QRect changed;       // since the frame written before
    qint64 work = 0;
    for (int i = 0; i < count && work <= baseWork + info.fileBytes * workPerFileByte; ++i) {
        const FrameInfo &frame = info.frames[size_t(i)];
        const bool opaqueBefore = opaque;
        if (gifFrameMayCoverScreen(frame, info.canvas) && !frame.leavesTransparentPixels)
            opaque = true;
        changed |= frame.rect & screen;
        if (i % step == 0) {
            work += gifWrittenFrameWork(written, !opaque);
            const qint64 changedPixels = qint64(changed.width()) * changed.height();
            if (screenPixels > 0)
                work += changedWeight * qint64(double(changedPixels) / double(screenPixels) * double(writtenPixels));
            if (shrunk)
                work += shrinkWeight * (byArea ? changedPixels : screenPixels);
            changed = QRect();
        }
        // Once shown, cleared to the background (transparent where it was) or to what was before.
        if (frame.disposal == 2 && !(frame.rect & screen).isEmpty())
            opaque = false;
        else if (frame.disposal == 3)
            opaque = opaqueBefore;
        if (frame.disposal == 2 || frame.disposal == 3)
            changed |= frame.rect & screen;
    }
    return work;
}

qint64 allowedWork(const FileInfo &info)
{
    return baseWork + info.fileBytes * workPerFileByte;
}

bool exceedsWorkLimit(const FileInfo &info, QSize written)
{
    const qint64 decoding = decodeWork(info);
    return decoding > maxDecodedPixels || decoding + writeWork(info, written) > allowedWork(info);
}

bool exceedsWorkLimitOnceDecoded(FileInfo &info, int index, bool leftTransparent, QSize written)
{
    if (index < 0 || index >= int(info.frames.size()))
        return false;
    // Only a frame counted as covering the screen changes the count; others left it as it was.
    if (!leftTransparent || info.frames[size_t(index)].leavesTransparentPixels
        || !gifFrameMayCoverScreen(info.frames[size_t(index)], info.canvas))
        return false;
    // A file that had one such frame is not trusted with the rest: later frames covering the
    // screen are counted as leaving it transparent too, so the count is made again once at most
    // (a count per frame would cost frames × frames).
    for (size_t i = size_t(index); i < info.frames.size(); ++i)
        info.frames[i].leavesTransparentPixels = true;
    return decodeWork(info) + writeWork(info, written) > allowedWork(info);
}

int effectiveDelayCs(const FrameInfo &frame)
{
    if (!frame.delayCs || *frame.delayCs < 2)
        return 10;
    return *frame.delayCs;
}

std::optional<FileInfo> scan(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.read(13);
    const std::optional<QSize> screen = screenSize(head);
    if (!screen)
        return std::nullopt;
    const auto *h = reinterpret_cast<const unsigned char *>(head.constData());
    FileInfo info;
    info.canvas = *screen;
    info.fileBytes = file.size();
    if (!skipColorTable(file, h[10]))
        return info;

    std::optional<int> pendingDelay;
    int pendingDisposal = 0;
    bool pendingTransparent = false;
    for (;;) {
        char introducer = 0;
        if (!file.getChar(&introducer) || introducer == 0x3B)
            break;
        if (introducer == 0x21) {
            char label = 0;
            if (!file.getChar(&label))
                break;
            const auto code = static_cast<unsigned char>(label);
            bool isNetscape = false;
            const bool complete = readSubBlocks(file, [&](int index, const QByteArray &block) {
                const auto *b = reinterpret_cast<const unsigned char *>(block.constData());
                if (code == 0xF9 && index == 0 && block.size() >= 4) {
                    pendingDelay = le16(b + 1);
                    pendingDisposal = (b[0] >> 2) & 7;
                    pendingTransparent = (b[0] & 1) != 0;
                } else if (code == 0xFF && index == 0) {
                    isNetscape = block == "NETSCAPE2.0" || block == "ANIMEXTS1.0";
                } else if (code == 0xFF && isNetscape && block.size() >= 3 && b[0] == 1) {
                    info.loopCount = le16(b + 1);
                }
            });
            if (!complete)
                break;
        } else if (introducer == 0x2C) {
            const QByteArray desc = file.read(9);
            if (desc.size() < 9)
                break;
            const auto *d = reinterpret_cast<const unsigned char *>(desc.constData());
            // The frame counts from its descriptor on: a frame whose data is damaged or cut short
            // is still a frame of the file, and fails only when it is decoded.
            info.frames.push_back({QRect(le16(d), le16(d + 2), le16(d + 4), le16(d + 6)), pendingDelay,
                                   (d[8] & 0x40) != 0, pendingDisposal, pendingTransparent});
            pendingDelay.reset();
            pendingDisposal = 0;
            pendingTransparent = false;
            char minimumCodeSize = 0;
            if (!skipColorTable(file, d[8]) || !file.getChar(&minimumCodeSize)
                || !readSubBlocks(file, [](int, const QByteArray &) {}))
                break;
        } else {
            break;
        }
    }
    return info;
}

// ---------------------------------------------------------------------------------------------

struct FrameDecoder::State {
    QFile file;
    GifFileType *gif = nullptr;
    QImage canvas;
    QImage beforeFrame;     // the last frame's rectangle before it was drawn, kept only for "restore to previous"
    int lastDisposal = 0;
    QRect lastRect;         // the last frame's rectangle, clipped to the canvas
    QRect changed;          // what the last nextFrame() changed of the canvas
    bool finished = false;
    std::vector<GifPixelType> line;
    qint64 decoded = 0;     // pixels LZW-decoded so far
    bool leftTransparent = false; // whether the last frame left transparent pixels in its part of the screen

    ~State()
    {
        if (gif)
            DGifCloseFile(gif, nullptr);
    }

    static int readFromFile(GifFileType *gif, GifByteType *buffer, int length)
    {
        auto *file = static_cast<QFile *>(gif->UserData);
        return static_cast<int>(std::max<qint64>(file->read(reinterpret_cast<char *>(buffer), length), 0));
    }

    void applyLastDisposal()
    {
        if ((lastDisposal == DISPOSE_BACKGROUND || lastDisposal == DISPOSE_PREVIOUS) && !lastRect.isEmpty())
            changed = lastRect;
        if (lastDisposal == DISPOSE_BACKGROUND && !lastRect.isEmpty()) {
            for (int y = lastRect.top(); y <= lastRect.bottom(); ++y) {
                auto *row = reinterpret_cast<QRgb *>(canvas.scanLine(y));
                std::fill(row + lastRect.left(), row + lastRect.right() + 1, QRgb(0));
            }
        } else if (lastDisposal == DISPOSE_PREVIOUS && !beforeFrame.isNull()) {
            for (int y = 0; y < beforeFrame.height(); ++y)
                std::memcpy(canvas.scanLine(lastRect.top() + y) + size_t(lastRect.left()) * sizeof(QRgb),
                            beforeFrame.constScanLine(y), size_t(beforeFrame.width()) * sizeof(QRgb));
        }
        beforeFrame = QImage();
    }

    bool decodeImage(int disposal, int transparentIndex)
    {
        if (DGifGetImageDesc(gif) == GIF_ERROR)
            return false;
        const GifImageDesc &desc = gif->Image;
        if (!ImageLimits::isAcceptableSize(desc.Width, desc.Height))
            return false;
        const ColorMapObject *map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        const QRect rect(desc.Left, desc.Top, desc.Width, desc.Height);
        const QRect visible = rect & canvas.rect();

        // Only what the frame covers can change, so only that is kept for "restore to previous".
        if (disposal == DISPOSE_PREVIOUS && !visible.isEmpty()) {
            beforeFrame = canvas.copy(visible);
            if (beforeFrame.isNull())
                return false;
        }

        // Interlaced frames arrive in four passes: rows 0, 8, 16…, then 4, 12…, then 2, 6…, then 1, 3….
        std::vector<int> rowOrder;
        rowOrder.reserve(desc.Height);
        if (desc.Interlace) {
            static constexpr int starts[] = {0, 4, 2, 1};
            static constexpr int steps[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int row = starts[pass]; row < desc.Height; row += steps[pass])
                    rowOrder.push_back(row);
        } else {
            for (int row = 0; row < desc.Height; ++row)
                rowOrder.push_back(row);
        }

        // Each index's pixel, 0 for those left as they are: the transparent index, and indices
        // past the palette (or without any palette). Drawn pixels are opaque, so never 0.
        std::array<QRgb, 256> colours {};
        for (int index = 0; map && index < std::min(map->ColorCount, 256); ++index) {
            const GifColorType &c = map->Colors[index];
            if (index != transparentIndex)
                colours[size_t(index)] = qRgba(c.Red, c.Green, c.Blue, 255);
        }
        line.resize(desc.Width);
        GifLzwDecoder pixels(gif);
        // Once every row on the screen is drawn, the rest of the data is skipped undecoded: a frame
        // may declare thousands of rows below a small screen.
        int rowsToDraw = visible.height();
        bool transparent = false;
        for (const int row : rowOrder) {
            if (rowsToDraw == 0)
                break;
            if (!pixels.readRow(line.data(), desc.Width))
                return false;
            decoded += desc.Width;
            const int y = desc.Top + row;
            if (y < visible.top() || y > visible.bottom())
                continue;
            --rowsToDraw;
            auto *out = reinterpret_cast<QRgb *>(canvas.scanLine(y)) + visible.left();
            const GifPixelType *indices = line.data() + (visible.left() - desc.Left);
            for (int x = 0; x < visible.width(); ++x) {
                if (const QRgb pixel = colours[indices[x]])
                    out[x] = pixel;
                else if (out[x] == 0)
                    transparent = true;
            }
        }
        if (!pixels.finish())
            return false;
        leftTransparent = transparent;
        lastDisposal = disposal;
        lastRect = visible;
        changed |= visible;
        return true;
    }
};

FrameDecoder::FrameDecoder() : d(std::make_unique<State>()) {}

FrameDecoder::~FrameDecoder() = default;

bool FrameDecoder::open(const QString &path)
{
    d = std::make_unique<State>();
    d->file.setFileName(path);
    if (!d->file.open(QIODevice::ReadOnly))
        return false;
    int error = 0;
    d->gif = DGifOpen(&d->file, &State::readFromFile, &error);
    if (!d->gif)
        return false;
    if (!ImageLimits::isAcceptableSize(d->gif->SWidth, d->gif->SHeight))
        return false;
    // Zeroed memory is transparent already, and the system hands it out untouched: a huge screen
    // costs only the pages its frames draw on.
    const qsizetype bytesPerLine = qsizetype(d->gif->SWidth) * 4;
    void *pixels = std::calloc(size_t(d->gif->SHeight), size_t(bytesPerLine));
    if (!pixels)
        return false;
    d->canvas = QImage(static_cast<uchar *>(pixels), d->gif->SWidth, d->gif->SHeight, bytesPerLine,
                       QImage::Format_ARGB32, [](void *memory) { std::free(memory); }, pixels);
    return !d->canvas.isNull();
}

QSize FrameDecoder::canvasSize() const
{
    return d->canvas.size();
}

QRect FrameDecoder::changedRect() const
{
    return d->changed;
}

qint64 FrameDecoder::decodedPixels() const
{
    return d->decoded;
}

bool FrameDecoder::leftTransparentPixels() const
{
    return d->leftTransparent;
}

QImage FrameDecoder::nextFrame()
{
    if (!d->gif || d->canvas.isNull() || d->finished)
        return {};
    d->changed = QRect();
    d->applyLastDisposal();
    int disposal = 0;
    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(d->gif, &type) == GIF_ERROR)
            break;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType *block = nullptr;
            if (DGifGetExtension(d->gif, &code, &block) == GIF_ERROR)
                break;
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock gcb;
                if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
                    disposal = gcb.DisposalMode;
                    transparentIndex = gcb.TransparentColor;
                }
            }
            bool ok = true;
            while (block) {
                if (DGifGetExtensionNext(d->gif, &block) == GIF_ERROR) {
                    ok = false;
                    break;
                }
            }
            if (!ok)
                break;
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            if (!d->decodeImage(disposal, transparentIndex))
                break;
            return d->canvas; // shared; the next frame detaches it if the caller keeps it
        } else {
            break; // the trailer, or a record that cannot stand here
        }
    }
    d->finished = true;
    return {};
}

} // namespace GifCodec
