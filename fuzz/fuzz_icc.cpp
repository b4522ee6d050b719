// Colour profiles: measured before the colour library reads them, then read by it for CMYK pictures,
// and by Qt for RGB ones.

#include "FuzzSupport.h"

#include "platform/CmykProfileTransform.h"
#include "platform/IccProfileTables.h"

#include <QColorSpace>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray profile(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const std::optional<qint64> bytes = IccProfileTables::workingBytes(profile))
        FuzzSupport::require(*bytes >= 0, "a profile's tables take no negative room");
    for (const bool inverted : { false, true })
        const CmykProfileTransform transform(profile, inverted);
    const QColorSpace space = QColorSpace::fromIccProfile(profile);
    FuzzSupport::require(!space.isValid() || !space.iccProfile().isEmpty(), "a colour space read keeps its profile");
    return 0;
}
