// TIFF readers: every image reader, and the CMYK page converted through its profile.

#include "FuzzSupport.h"

#include "platform/CmykTiff.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    FuzzSupport::readAsImage(bytes, QStringLiteral("tif"));
    if (const std::optional<CmykTiff::Layout> layout = CmykTiff::layout(bytes)) {
        const CmykTiff::Decoded decoded = CmykTiff::decode(bytes, *layout);
        if (decoded.image)
            FuzzSupport::require(decoded.image->size() == layout->size, "a CMYK page has the size its tags give");
    }
    return 0;
}
