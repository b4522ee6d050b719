// Video open: the file is written out and opened as the video workspace opens it.

#include "FuzzSupport.h"

#include "platform/VideoAsset.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    VideoAsset::load(FuzzSupport::writtenFile(bytes, QStringLiteral("input.mp4")));
    return 0;
}
