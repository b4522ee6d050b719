// GIF readers: every image reader, the block scan that counts a file's work, and the frame decoder,
// which never decodes more than the scan counted.

#include "FuzzSupport.h"

#include "platform/GifCodec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    FuzzSupport::readAsImage(bytes, QStringLiteral("gif"));
    const QString path = FuzzSupport::writtenFile(bytes, QStringLiteral("frames.gif"));
    const std::optional<GifCodec::FileInfo> info = GifCodec::scan(path);
    if (!info || GifCodec::exceedsWorkLimit(*info, QSize(800, 800).boundedTo(info->canvas)))
        return 0;
    GifCodec::FrameDecoder decoder;
    if (!decoder.open(path))
        return 0;
    for (size_t i = 0; i < info->frames.size(); ++i) {
        const QImage frame = decoder.nextFrame();
        if (frame.isNull())
            break;
        FuzzSupport::require(frame.size() == info->canvas, "a frame is the screen's size");
    }
    FuzzSupport::require(decoder.decodedPixels() <= GifCodec::decodeWork(*info),
                         "the frames decode no more pixels than the scan counted");
    return 0;
}
