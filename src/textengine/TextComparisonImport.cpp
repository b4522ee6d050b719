#include "textengine/TextComparisonImport.h"

#include "textengine/RtfText.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <unicode/ucnv.h>
#include <zip.h>

#include <memory>
#include <vector>

QString textComparisonImportErrorDescription(TextComparisonImportError error)
{
    switch (error) {
    case TextComparisonImportError::unsupportedEncoding:
        return QStringLiteral("文案文件无法解析");
    case TextComparisonImportError::docxArchiveUnreadable:
        return QStringLiteral("DOCX 文件无法读取");
    case TextComparisonImportError::docxTextMissing:
        return QStringLiteral("DOCX 中没有可解析的正文");
    case TextComparisonImportError::rtfUnreadable:
        return QStringLiteral("RTF 文件无法读取");
    case TextComparisonImportError::rtfTextMissing:
        return QStringLiteral("RTF 中没有可解析的正文");
    }
    return {};
}

namespace TextComparisonImport {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no truncated tail.
bool isValidUtf8(const char *data, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    qsizetype i = 0;
    while (i < size) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        char32_t minimum;
        char32_t value;
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            minimum = 0x80;
            value = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            minimum = 0x800;
            value = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            minimum = 0x10000;
            value = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= size)
            return false;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char d = p[i + k];
            if ((d & 0xC0) != 0x80)
                return false;
            value = (value << 6) | (d & 0x3F);
        }
        if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::optional<QString> decodeUtf8(const QByteArray &bytes, bool skipBom)
{
    const qsizetype offset = skipBom ? 3 : 0;
    if (!isValidUtf8(bytes.constData() + offset, bytes.size() - offset))
        return std::nullopt;
    return QString::fromUtf8(bytes.constData() + offset, bytes.size() - offset);
}

// UTF-16 in the given byte order; an odd byte count or an unpaired surrogate fails.
std::optional<QString> decodeUtf16(const QByteArray &bytes, qsizetype offset, bool bigEndian)
{
    const qsizetype size = bytes.size() - offset;
    if (size % 2 != 0)
        return std::nullopt;
    QString text(size / 2, Qt::Uninitialized);
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData() + offset);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype k = 0; k < size / 2; ++k) {
        const unsigned char first = p[2 * k];
        const unsigned char second = p[2 * k + 1];
        out[k] = bigEndian ? char16_t((first << 8) | second) : char16_t((second << 8) | first);
    }
    for (qsizetype k = 0; k < text.size(); ++k) {
        const QChar c = text.at(k);
        if (c.isHighSurrogate()) {
            if (k + 1 >= text.size() || !text.at(k + 1).isLowSurrogate())
                return std::nullopt;
            ++k;
        } else if (c.isLowSurrogate()) {
            return std::nullopt;
        }
    }
    return text;
}

std::optional<QString> decodeGb18030(const QByteArray &bytes)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, void (*)(UConverter *)> converter(ucnv_open("GB18030", &status), ucnv_close);
    if (U_FAILURE(status) || !converter)
        return std::nullopt;
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    // One byte never gives more than one UTF-16 unit in GB18030 (four bytes give at most two).
    std::vector<UChar> buffer(std::size_t(bytes.size()) + 1);
    const int32_t length = ucnv_toUChars(converter.get(), buffer.data(), int32_t(buffer.size()), bytes.constData(),
                                         int32_t(bytes.size()), &status);
    if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING)
        return std::nullopt;
    return QString(reinterpret_cast<const QChar *>(buffer.data()), length);
}

} // namespace

qint64 decodingPenalty(const QString &text, Reading reading)
{
    qint64 penalty = 0;
    for (qsizetype k = 0; k < text.size(); ++k) {
        char32_t u = text.at(k).unicode();
        if (QChar::isHighSurrogate(u) && k + 1 < text.size() && text.at(k + 1).isLowSurrogate())
            u = QChar::surrogateToUcs4(char16_t(u), text.at(++k).unicode());
        if (u == 0x0000)
            penalty += 20;
        else if (u == 0xFFFD)
            penalty += 50;
        else if ((u >= 0x01 && u <= 0x08) || u == 0x0B || u == 0x0C || (u >= 0x0E && u <= 0x1F))
            penalty += 10;
        else if (u >= 0xC0 && u <= 0xFF && reading == Reading::utf16)
            penalty += 2;
        else if (const QChar::Category category = QChar::category(u);
                 category == QChar::Other_PrivateUse || category == QChar::Other_NotAssigned)
            penalty += 20;
    }
    return penalty;
}

std::optional<QString> decodedText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return decodeUtf8(bytes, true);
    if (bytes.startsWith("\xFF\xFE"))
        return decodeUtf16(bytes, 2, false);
    if (bytes.startsWith("\xFE\xFF"))
        return decodeUtf16(bytes, 2, true);

    struct Candidate {
        QString text;
        qint64 penalty = 0;
    };
    std::vector<Candidate> candidates;
    const auto consider = [&candidates](std::optional<QString> text, Reading reading) {
        if (!text)
            return;
        const qint64 penalty = decodingPenalty(*text, reading);
        if (reading != Reading::utf8 && penalty > text->size())
            return;
        candidates.push_back({std::move(*text), penalty});
    };
    consider(decodeUtf8(bytes, false), Reading::utf8);
    consider(decodeGb18030(bytes), Reading::gb18030);
    consider(decodeUtf16(bytes, 0, false), Reading::utf16);
    if (candidates.empty())
        return std::nullopt;
    std::size_t best = 0;
    for (std::size_t k = 1; k < candidates.size(); ++k) {
        if (candidates[k].penalty < candidates[best].penalty)
            best = k;
    }
    return candidates[best].text;
}

std::optional<QString> docxPartText(const QByteArray &xml)
{
    QStringList paragraphs;
    QString currentParagraph;
    QString currentText;
    bool collecting = false;
    int fallbackDepth = 0;
    int depth = 0;

    QXmlStreamReader reader(xml);
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (++depth > maxDocxDepth)
                return std::nullopt;
            const QStringView name = reader.qualifiedName();
            if (name == u"mc:Fallback") {
                ++fallbackDepth;
                continue;
            }
            if (fallbackDepth > 0)
                continue;
            if (name == u"w:t") {
                currentText.clear();
                collecting = true;
            } else if (name == u"w:tab") {
                currentParagraph += u'\t';
            } else if (name == u"w:noBreakHyphen") {
                currentParagraph += u'\u2011';
            } else if (name == u"w:br" || name == u"w:cr") {
                currentParagraph += u'\n';
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
            const QStringView name = reader.qualifiedName();
            if (name == u"mc:Fallback") {
                fallbackDepth = std::max(0, fallbackDepth - 1);
                continue;
            }
            if (fallbackDepth > 0)
                continue;
            if (name == u"w:t") {
                currentParagraph += currentText;
                currentText.clear();
                collecting = false;
            } else if (name == u"w:p") {
                paragraphs.append(currentParagraph);
                currentParagraph.clear();
            }
        } else if (token == QXmlStreamReader::Characters) {
            if (collecting && fallbackDepth == 0 && !reader.isCDATA())
                currentText += reader.text();
        }
    }
    paragraphs.append(currentParagraph);
    QStringList kept;
    for (const QString &paragraph : paragraphs) {
        const QString trimmed = paragraph.trimmed();
        if (!trimmed.isEmpty())
            kept.append(trimmed);
    }
    return kept.join(u'\n');
}

namespace {

struct ZipCloser {
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
struct ZipFileCloser {
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};

bool isTextPartName(const QString &name)
{
    static const QRegularExpression headerOrFooter(QStringLiteral("^word/(header|footer)[0-9]+\\.xml$"));
    return name == QLatin1String("word/document.xml") || headerOrFooter.match(name).hasMatch();
}

// The part's bytes, read in memory and only up to its declared size; an entry that declares
// too much, delivers more or less than it declares, is encrypted or fails its CRC gives nothing.
std::optional<QByteArray> readPart(zip_t *archive, zip_uint64_t index)
{
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
        return std::nullopt;
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        return std::nullopt;
    if (stat.size > zip_uint64_t(maxDocxTotalBytes))
        return std::nullopt;
    const qint64 size = qint64(stat.size);

    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(archive, index, 0));
    if (!file)
        return std::nullopt;
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 read = 0;
    while (read < size) {
        const zip_int64_t got = zip_fread(file.get(), bytes.data() + read, zip_uint64_t(size - read));
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return std::nullopt; // fewer bytes than declared
        read += got;
    }
    char extra;
    if (zip_fread(file.get(), &extra, 1) != 0)
        return std::nullopt; // more bytes than declared, or a CRC error at the end
    return bytes;
}

} // namespace

DocxResult docxText(const QString &path)
{
    DocxResult result;
    int errorCode = 0;
    std::unique_ptr<zip_t, ZipCloser> archive(
        zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &errorCode));
    if (!archive) {
        result.error = TextComparisonImportError::docxArchiveUnreadable;
        return result;
    }
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    std::vector<zip_uint64_t> parts;
    for (zip_int64_t index = 0; index < count; ++index) {
        const char *name = zip_get_name(archive.get(), zip_uint64_t(index), ZIP_FL_ENC_RAW);
        if (name && isTextPartName(QString::fromUtf8(name)))
            parts.push_back(zip_uint64_t(index));
    }
    if (parts.empty()) {
        result.error = TextComparisonImportError::docxArchiveUnreadable;
        return result;
    }
    // The parts' sizes together, as declared, before any of them is inflated and read.
    qint64 totalBytes = 0;
    for (const zip_uint64_t index : parts) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive.get(), index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)
            || stat.size > zip_uint64_t(maxDocxTotalBytes - totalBytes)) {
            result.error = TextComparisonImportError::docxArchiveUnreadable;
            return result;
        }
        totalBytes += qint64(stat.size);
    }
    QStringList texts;
    for (const zip_uint64_t index : parts) {
        const std::optional<QByteArray> bytes = readPart(archive.get(), index);
        const std::optional<QString> text = bytes ? docxPartText(*bytes) : std::nullopt;
        if (!text) {
            result.error = TextComparisonImportError::docxArchiveUnreadable;
            return result;
        }
        if (!text->trimmed().isEmpty())
            texts.append(*text);
    }
    result.text = texts.join(u'\n').trimmed();
    if (result.text.isEmpty())
        result.error = TextComparisonImportError::docxTextMissing;
    return result;
}

ImportResult importFile(const QString &path)
{
    ImportResult result;
    const QFileInfo info(path);
    if (info.suffix().toLower() == QLatin1String("docx")) {
        DocxResult docx = docxText(path);
        if (docx.error)
            result.errorMessage = textComparisonImportErrorDescription(*docx.error);
        else
            result.text = docx.text;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.errorMessage = QStringLiteral("无法读取文件：") + info.fileName();
        return result;
    }
    if (file.size() > maxTextFileBytes) {
        result.errorMessage = textComparisonImportErrorDescription(TextComparisonImportError::unsupportedEncoding);
        return result;
    }
    // Read one byte more than allowed so that a file growing meanwhile is still refused.
    const QByteArray bytes = file.read(maxTextFileBytes + 1);
    if (bytes.size() > maxTextFileBytes) {
        result.errorMessage = textComparisonImportErrorDescription(TextComparisonImportError::unsupportedEncoding);
        return result;
    }
    if (file.error() != QFileDevice::NoError) {
        result.errorMessage = QStringLiteral("无法读取文件：") + info.fileName();
        return result;
    }
    if (info.suffix().toLower() == QLatin1String("rtf") && RtfText::startsAsRtf(bytes)) {
        RtfText::Result rtf = RtfText::text(bytes);
        if (rtf.error)
            result.errorMessage = textComparisonImportErrorDescription(*rtf.error);
        else
            result.text = std::move(rtf.text);
        return result;
    }
    result.text = decodedText(bytes);
    if (!result.text)
        result.errorMessage = textComparisonImportErrorDescription(TextComparisonImportError::unsupportedEncoding);
    return result;
}

} // namespace TextComparisonImport
