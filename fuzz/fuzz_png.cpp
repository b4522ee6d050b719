// PNG readers: every image reader of the program.

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::readAsImage(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), QStringLiteral("png"));
    return 0;
}
