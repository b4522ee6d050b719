// The line comparison: the input split at its first zero byte (or in halves) into the original and
// the edited text; the changes lie inside the edited text, in order, and identical texts have none.

#include "FuzzSupport.h"

#include "textengine/LineComparison.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    qsizetype split = bytes.indexOf('\0');
    const bool separated = split >= 0;
    if (!separated)
        split = bytes.size() / 2;
    const QString original = QString::fromUtf8(bytes.left(split));
    const QString edited = QString::fromUtf8(bytes.mid(split + (separated ? 1 : 0)));
    const std::optional<LineComparison> compared = compareByLines(original, edited, true, nullptr);
    FuzzSupport::require(compared.has_value(), "a comparison nobody cancelled gives a result");
    qsizetype after = 0;
    for (const auto &[start, end] : compared->changedRanges) {
        FuzzSupport::require(start >= after && start <= end && end <= edited.size(),
                             "changes lie inside the edited text, in order");
        after = end;
    }
    if (original == edited)
        FuzzSupport::require(compared->changedRanges.empty(), "identical texts have no changes");
    return 0;
}
