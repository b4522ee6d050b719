#include "compression/ImageCompressionService.h"

#include "compression/ProducedAhead.h"
#include "compression/TempFileGuard.h"
#include "platform/ImageReduction.h"

#include <QFile>

#include <algorithm>
#include <optional>
#include <utility>

// The GIF path: frames scaled to the long-edge limit and, beyond 8 frames, every second frame
// kept with the delays of the frames it stands for, so the animation keeps its duration. Frames
// are decoded on a thread of their own, a little ahead of the writer.
namespace ImageCompressionService {

namespace {

// Frames of the input, one after another. A GIF is streamed through the frame decoder; any other
// file on the GIF path (a PNG named .gif, say) is read as its one picture.
class FrameSource {
public:
    // A GIF whose decoding, or whose writing at the size `maxDimension` gives it, is more work
    // than the limits allow is not opened, nor one whose first frame shows that it is (and it is
    // told apart from a file that cannot be read).
    FrameSource(const QString &path, ImageCompressionMaxDimension maxDimension) : m_path(path)
    {
        QFile file(path);
        const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(13 + 3 * 256) : QByteArray();
        m_isGif = GifCodec::hasGifSignature(head);
        if (m_isGif) {
            m_palette = globalColorTable(head);
            std::optional<GifCodec::FileInfo> scanned = GifCodec::scan(path);
            if (scanned)
                m_written = resizedSize(scanned->canvas, maxDimension);
            m_tooCostly = scanned && GifCodec::exceedsWorkLimit(*scanned, m_written);
            if (scanned && !m_tooCostly && m_decoder.open(path)) {
                m_info = std::move(*scanned);
                m_first = m_decoder.nextFrame();
                m_firstChange = m_decoder.changedRect();
                if (!m_first.isNull()
                    && GifCodec::exceedsWorkLimitOnceDecoded(m_info, 0, m_decoder.leftTransparentPixels(), m_written)) {
                    m_first = QImage();
                    m_tooCostly = true;
                }
            }
        } else {
            m_first = CompressionImageIO::loadUprightImage(path).image;
            m_firstChange = m_first.rect();
            m_info.canvas = m_first.size();
            m_info.frames.push_back({QRect(QPoint(0, 0), m_first.size()), std::nullopt});
        }
    }

    bool isGif() const { return m_isGif; }
    // Whether the GIF was refused as more work than the limits allow (not as unreadable).
    bool isTooCostly() const { return m_tooCostly; }
    bool hasFirstFrame() const { return !m_firstSize.isEmpty() || !m_first.isNull(); }
    QSize firstFrameSize() const { return m_first.isNull() ? m_firstSize : m_first.size(); }
    // The file's blocks, and what decoding showed of the frames decoded so far.
    const GifCodec::FileInfo &info() const { return m_info; }
    // The file's global colour table; empty when it has none.
    const std::vector<QRgb> &palette() const { return m_palette; }

    // Frame `index` (the first one is already decoded); a null image when it cannot be decoded.
    // The first frame is handed over rather than kept: it shares the decoder's canvas, and a copy
    // held here would make the next frame copy the whole canvas. Throws when the frame shows that
    // writing the file is more work than the limits allow, before it is written.
    QImage frame(int index)
    {
        if (index == 0) {
            m_firstSize = m_first.size();
            return std::exchange(m_first, QImage());
        }
        if (!m_isGif)
            return {};
        QImage decoded = m_decoder.nextFrame();
        if (!decoded.isNull()
            && GifCodec::exceedsWorkLimitOnceDecoded(m_info, index, m_decoder.leftTransparentPixels(), m_written))
            throw ImageCompressionServiceError::imageTooLarge(m_path);
        return decoded;
    }

    // What frame `index`, just returned by frame(), changed of the one before (of a transparent
    // canvas for the first).
    QRect changedRect(int index) const { return index == 0 ? m_firstChange : m_decoder.changedRect(); }

private:
    QString m_path;
    QSize m_written; // the size the frames are written at
    bool m_isGif = false;
    bool m_tooCostly = false;
    GifCodec::FrameDecoder m_decoder;
    GifCodec::FileInfo m_info;
    QImage m_first;
    QRect m_firstChange;
    QSize m_firstSize;
    std::vector<QRgb> m_palette;

    static std::vector<QRgb> globalColorTable(const QByteArray &head)
    {
        if (head.size() < 13 || !(static_cast<uchar>(head[10]) & 0x80))
            return {};
        const int entries = 1 << ((static_cast<uchar>(head[10]) & 7) + 1);
        if (head.size() < 13 + 3 * entries)
            return {};
        std::vector<QRgb> colors;
        for (int k = 0; k < entries; ++k) {
            const auto *rgb = reinterpret_cast<const uchar *>(head.constData()) + 13 + 3 * k;
            colors.push_back(qRgb(rgb[0], rgb[1], rgb[2]));
        }
        return colors;
    }
};

// A frame as it goes to the writer: composited, scaled, and whether the file's global colours
// hold it.
struct PreparedFrame {
    int index = 0;
    QImage image;
    bool inPalette = false;
};

// The frames to be written, in order: every frame is decoded, also those that are not written,
// since later frames are drawn over the earlier ones.
class FramePreparer {
public:
    FramePreparer(FrameSource &frames, QSize target, int step) : m_frames(frames), m_target(target), m_step(step) {}

    // The next frame to write; nothing after the last. Throws the service's errors.
    std::optional<PreparedFrame> next()
    {
        const int count = static_cast<int>(m_frames.info().frames.size());
        while (m_next < count) {
            const int i = m_next++;
            QImage frame = m_frames.frame(i);
            if (frame.isNull())
                throw ImageCompressionServiceError::cannotReadFrame(i);
            m_changed |= m_frames.changedRect(i);
            if (i % m_step != 0)
                continue;
            PreparedFrame prepared;
            prepared.index = i;
            prepared.image = resized(frame, i);
            // The file's global colours serve the frame when they are the ones it is drawn in; once
            // they served the frame before, only the changed pixels need a look.
            prepared.inPalette = m_paletteHeld ? GifCodec::Writer::paletteHolds(m_frames.palette(), frame, m_changed)
                                               : GifCodec::Writer::paletteHolds(m_frames.palette(), frame);
            m_paletteHeld = prepared.inPalette;
            m_changed = QRect();
            // The writer works on its own pixels while the decoder draws the next frame.
            if (prepared.image.constBits() == frame.constBits())
                prepared.image = prepared.image.copy();
            if (prepared.image.isNull())
                throw ImageCompressionServiceError::cannotResizeFrame(i);
            return prepared;
        }
        return std::nullopt;
    }

private:
    QImage resized(const QImage &frame, int index)
    {
        if (!m_frames.isGif() || frame.format() != QImage::Format_ARGB32
            || !ImageReduction::reducesByArea(frame, m_target))
            return CompressionImageIO::redrawn(frame, m_target, true);
        // A frame shrunk by averaging areas is updated only where the canvas changed, so a frame
        // that draws a few pixels onto a huge screen costs those pixels, not the screen.
        if (m_scaledCanvas.isNull()) {
            m_scaledCanvas = QImage(m_target, QImage::Format_ARGB32_Premultiplied);
            if (m_scaledCanvas.isNull())
                throw ImageCompressionServiceError::cannotResizeFrame(index);
            m_scaledCanvas.fill(0); // the canvas starts transparent
        }
        if (!ImageReduction::updateScaled(frame, m_scaledCanvas, m_changed))
            throw ImageCompressionServiceError::cannotResizeFrame(index);
        return m_scaledCanvas;
    }

    FrameSource &m_frames;
    QSize m_target;
    int m_step;
    int m_next = 0;
    QRect m_changed;           // what changed since the last frame handed out
    bool m_paletteHeld = true; // nothing is drawn yet
    QImage m_scaledCanvas;
};

} // namespace

std::optional<int> gifLoopCount(const GifCodec::FileInfo &info)
{
    return info.loopCount;
}

int gifFrameDelay(const GifCodec::FileInfo &info, int index)
{
    if (index < 0 || index >= static_cast<int>(info.frames.size()))
        return 10;
    return GifCodec::effectiveDelayCs(info.frames[index]);
}

int gifFrameStep(int frameCount)
{
    return frameCount <= 8 ? 1 : 2;
}

ImageCompressionResult compressGIF(const ImageCompressionSource &source, const ImageCompressionSettings &settings,
                                   const QString &destinationDirectory)
{
    FrameSource frames(source.url, settings.maxDimension);
    if (frames.isTooCostly())
        throw ImageCompressionServiceError::imageTooLarge(source.url);
    if (!frames.hasFirstFrame())
        throw ImageCompressionServiceError::noReadableImage(source.url);
    const int count = static_cast<int>(frames.info().frames.size());
    if (count < 1)
        throw ImageCompressionServiceError::unsupportedImage(source.url);
    const int step = gifFrameStep(count);

    const QString extension = QStringLiteral("gif");
    const TempFileGuard temporary(temporaryOutputURL(extension));
    const QSize target = resizedSize(frames.firstFrameSize(), settings.maxDimension);
    if (qint64(target.width()) * target.height() > GifCodec::maxWrittenCanvasPixels)
        throw ImageCompressionServiceError::cannotResizeFrame(0);
    // The loop block is copied as it is; a file without one stays play-once.
    const std::optional<int> loopCount = frames.isGif() ? gifLoopCount(frames.info()) : std::nullopt;

    std::vector<int> delays(count);
    for (int i = 0; i < count; ++i)
        delays[i] = gifFrameDelay(frames.info(), i);

    GifCodec::Writer writer;
    if (!writer.open(temporary.path(), target, loopCount))
        throw ImageCompressionServiceError::cannotCreateDestination(temporary.path(), writer.errorNumber());

    int written = 0;
    QSize lastFrameSize;
    // Decoding and writing each take about half the work: side by side they take the time of the
    // longer one.
    FramePreparer preparer(frames, target, step);
    ProducedAhead<PreparedFrame> ahead([&preparer] { return preparer.next(); });
    while (std::optional<PreparedFrame> prepared = ahead.next()) {
        const int i = prepared->index;
        const int end = std::min(count, i + step);
        int delay = 0;
        for (int k = i; k < end; ++k)
            delay += delays[k];
        if (!writer.addFrame(prepared->image, std::min(delay, 65535),
                             prepared->inPalette ? frames.palette() : std::vector<QRgb>()))
            throw ImageCompressionServiceError::cannotFinalize(temporary.path(), writer.errorNumber());
        lastFrameSize = prepared->image.size();
        ++written;
    }
    if (!writer.finish())
        throw ImageCompressionServiceError::cannotFinalize(temporary.path(), writer.errorNumber());
    const qint64 encodedBytes = fileSize(temporary.path());

    const bool keepsOriginal = encodedBytes >= source.originalBytes && source.pixelSize == QSizeF(lastFrameSize)
        && frames.isGif();
    const DeliveredOutput output{keepsOriginal ? QSizeF(frames.firstFrameSize()) : QSizeF(lastFrameSize), count,
                                 keepsOriginal ? count : written};
    return deliverOutput(source, keepsOriginal ? source.url : temporary.path(), keepsOriginal, output,
                         destinationDirectory, extension);
}

} // namespace ImageCompressionService
