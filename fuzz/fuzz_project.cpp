// The project file reader: a project it reads is written again and read back the same.

#include "FuzzSupport.h"

#include "model/MarkupProjectDocument.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto decoded = MarkupProjectDocument::decode(bytes);
    const auto *document = std::get_if<MarkupProjectDocument>(&decoded);
    if (!document)
        return 0;
    const auto encoded = document->encode();
    const auto *written = std::get_if<QByteArray>(&encoded);
    FuzzSupport::require(written, "a project read can be written");
    FuzzSupport::require(std::holds_alternative<MarkupProjectDocument>(MarkupProjectDocument::decode(*written)),
                         "a project written is read back");
    return 0;
}
