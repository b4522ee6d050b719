#include "compression/ImageCompressionService.h"

#include "compression/TempFileGuard.h"

#include <QFile>

#include <algorithm>
#include <utility>

// The GIF path: frames scaled to the long-edge limit and, beyond 8 frames, every second frame
// kept with the delays of the frames it stands for, so the animation keeps its duration.
namespace ImageCompressionService {

namespace {

// Frames of the input, one after another. A GIF is streamed through the frame decoder; any other
// file on the GIF path (a PNG named .gif, say) is read as its one picture.
class FrameSource {
public:
    explicit FrameSource(const QString &path)
    {
        QFile file(path);
        const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(13 + 3 * 256) : QByteArray();
        m_isGif = GifCodec::hasGifSignature(head);
        if (m_isGif) {
            m_palette = globalColorTable(head);
            if (auto scanned = GifCodec::scan(path);
                scanned && !GifCodec::exceedsWorkLimit(*scanned) && m_decoder.open(path)) {
                m_info = std::move(*scanned);
                m_first = m_decoder.nextFrame();
            }
        } else {
            m_first = CompressionImageIO::loadUprightImage(path).image;
            m_info.canvas = m_first.size();
            m_info.frames.push_back({QRect(QPoint(0, 0), m_first.size()), std::nullopt});
        }
    }

    bool isGif() const { return m_isGif; }
    bool hasFirstFrame() const { return !m_firstSize.isEmpty() || !m_first.isNull(); }
    QSize firstFrameSize() const { return m_first.isNull() ? m_firstSize : m_first.size(); }
    const GifCodec::FileInfo &info() const { return m_info; }
    // The file's global colour table; empty when it has none.
    const std::vector<QRgb> &palette() const { return m_palette; }

    // Frame `index` (the first one is already decoded); a null image when it cannot be decoded.
    // The first frame is handed over rather than kept: it shares the decoder's canvas, and a copy
    // held here would make the next frame copy the whole canvas.
    QImage frame(int index)
    {
        if (index == 0) {
            m_firstSize = m_first.size();
            return std::exchange(m_first, QImage());
        }
        return m_isGif ? m_decoder.nextFrame() : QImage();
    }

private:
    bool m_isGif = false;
    GifCodec::FrameDecoder m_decoder;
    GifCodec::FileInfo m_info;
    QImage m_first;
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
    FrameSource frames(source.url);
    if (!frames.hasFirstFrame())
        throw ImageCompressionServiceError::noReadableImage(source.url);
    const int count = static_cast<int>(frames.info().frames.size());
    if (count < 1)
        throw ImageCompressionServiceError::unsupportedImage(source.url);
    const int step = gifFrameStep(count);

    const QString extension = QStringLiteral("gif");
    const TempFileGuard temporary(temporaryOutputURL(extension));
    const QSize target = resizedSize(frames.firstFrameSize(), settings.maxDimension);
    // The loop block is copied as it is; a file without one stays play-once.
    const std::optional<int> loopCount = frames.isGif() ? gifLoopCount(frames.info()) : std::nullopt;

    std::vector<int> delays(count);
    for (int i = 0; i < count; ++i)
        delays[i] = gifFrameDelay(frames.info(), i);

    GifCodec::Writer writer;
    if (!writer.open(temporary.path(), target, loopCount))
        throw ImageCompressionServiceError::cannotCreateDestination(temporary.path());

    int written = 0;
    QSize lastFrameSize;
    for (int i = 0; i < count; ++i) {
        // Every frame is decoded in order, also those that are not written: later frames are
        // drawn over the earlier ones.
        QImage frame = frames.frame(i);
        if (frame.isNull())
            throw ImageCompressionServiceError::cannotReadFrame(i);
        if (i % step != 0)
            continue;
        const QImage resized = CompressionImageIO::redrawn(frame, target, true);
        // The file's global colours serve the frame when they are the ones it is drawn in.
        const bool inPalette = GifCodec::Writer::paletteHolds(frames.palette(), frame);
        frame = QImage(); // the decoder's canvas is not shared while the next frame is drawn
        const int end = std::min(count, i + step);
        int delay = 0;
        for (int k = i; k < end; ++k)
            delay += delays[k];
        if (!writer.addFrame(resized, std::min(delay, 65535), inPalette ? frames.palette() : std::vector<QRgb>()))
            throw ImageCompressionServiceError::cannotFinalize(temporary.path());
        lastFrameSize = resized.size();
        ++written;
    }
    if (!writer.finish())
        throw ImageCompressionServiceError::cannotFinalize(temporary.path());
    const qint64 encodedBytes = fileSize(temporary.path());

    const bool keepsOriginal = encodedBytes >= source.originalBytes && source.pixelSize == QSizeF(lastFrameSize)
        && frames.isGif();
    const DeliveredOutput output{keepsOriginal ? QSizeF(frames.firstFrameSize()) : QSizeF(lastFrameSize), count,
                                 keepsOriginal ? count : written};
    return deliverOutput(source, keepsOriginal ? source.url : temporary.path(), keepsOriginal, output,
                         destinationDirectory, extension);
}

} // namespace ImageCompressionService
