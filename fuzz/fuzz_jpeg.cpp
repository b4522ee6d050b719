// JPEG readers: every image reader, the marker walk that judges a file before its decode, and the
// direct re-encode compression uses for JPEGs kept at their size.

#include "FuzzSupport.h"

#include "compression/CompressionImageIO.h"
#include "platform/ImageDecoding.h"
#include "platform/JpegFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    FuzzSupport::readAsImage(bytes, QStringLiteral("jpg"));
    const std::optional<JpegFile::Layout> layout = JpegFile::layout(bytes);
    if (layout && JpegFile::isUndecodable(*layout))
        FuzzSupport::require(!ImageDecoding::loadOrientedImageData(bytes), "a file judged undecodable is not read");
    const QString path = FuzzSupport::writtenFile(bytes, QStringLiteral("recode.jpg"));
    if (const std::optional<QSize> recoded
        = CompressionImageIO::recodeJpeg(path, 0, FuzzSupport::freshPath(QStringLiteral("recoded.jpg")), 0.75))
        FuzzSupport::require(layout && recoded->width() > 0 && recoded->height() > 0, "a re-encoded JPEG has a size");
    return 0;
}
