// Text import: the first byte chooses the file's kind (text, RTF or DOCX), the rest is the file,
// read by the upload panel's import; and the bytes as a text whose encoding is guessed.

#include "FuzzSupport.h"

#include "textengine/TextComparisonImport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const char *const suffixes[] = { "txt", "rtf", "docx" };
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const QString path
        = FuzzSupport::writtenFile(bytes, QStringLiteral("input.") + QLatin1String(suffixes[data[0] % 3]));
    const TextComparisonImport::ImportResult imported = TextComparisonImport::importFile(path);
    FuzzSupport::require(imported.text || !imported.errorMessage.isEmpty(), "a refused file says why");
    TextComparisonImport::decodedText(bytes);
    return 0;
}
