#include "textengine/TextComparisonRules.h"

#include "model/TextRules.h"
#include "platform/NewFile.h"
#include "textengine/TextComparisonRenderer.h"
#include "textengine/TextComparisonWordExporter.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace TextComparisonRules {

TextComparisonState normalizedTextComparison(TextComparisonState state)
{
    std::stable_sort(state.annotations.begin(), state.annotations.end(),
                     [](const TextMarkupAnnotation &a, const TextMarkupAnnotation &b) {
                         if (a.location != b.location)
                             return a.location < b.location;
                         return a.length < b.length;
                     });
    qint64 counter = 1;
    for (TextMarkupAnnotation &annotation : state.annotations)
        annotation.sequenceNumber = TextRules::hasVisibleText(annotation.note) ? counter++ : 0;
    return state;
}

TextComparisonState clampedToEditedText(TextComparisonState state)
{
    const qint64 length = state.editedText.size();
    std::vector<TextMarkupAnnotation> kept;
    for (TextMarkupAnnotation &annotation : state.annotations) {
        if (annotation.location >= length || annotation.location < 0)
            continue;
        annotation.length = std::min(length - annotation.location, annotation.length);
        if (annotation.length <= 0)
            continue;
        kept.push_back(std::move(annotation));
    }
    state.annotations = std::move(kept);
    return normalizedTextComparison(std::move(state));
}

QString normalizedLineEnds(const QString &text)
{
    if (!text.contains(u'\r'))
        return text;
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(u'\r', u'\n');
    return result;
}

namespace {

bool isNewline(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

} // namespace

QString newDocumentText(const QString &text)
{
    const QString normalized = normalizedLineEnds(text);
    if (!TextRules::hasVisibleText(normalized))
        return normalized;
    qsizetype first = 0;
    qsizetype last = normalized.size();
    while (first < last && isNewline(normalized.at(first)))
        ++first;
    while (last > first && isNewline(normalized.at(last - 1)))
        --last;
    return normalized.mid(first, last - first);
}

TextComparisonState openedProjectState(TextComparisonState state)
{
    // Carriage returns that go away are those of "\r\n" pairs; a lone "\r" becomes "\n" in place.
    // Only their places are listed (a long text holds none at all, most often): an offset loses
    // as many as stand before it.
    const QString &edited = state.editedText;
    std::vector<qsizetype> removedAt;
    if (!state.annotations.empty() && edited.contains(u'\r')) {
        for (qsizetype k = 0; k + 1 < edited.size(); ++k) {
            if (edited.at(k) == u'\r' && edited.at(k + 1) == u'\n')
                removedAt.push_back(k);
        }
    }
    const auto removedBefore = [&removedAt](qint64 offset) {
        return qint64(std::lower_bound(removedAt.begin(), removedAt.end(), offset) - removedAt.begin());
    };
    const qint64 length = edited.size();
    for (TextMarkupAnnotation &annotation : state.annotations) {
        const qint64 start = std::clamp<qint64>(annotation.location, 0, length);
        const qint64 end = annotation.length > length - start ? length : start + annotation.length;
        const qint64 before = removedBefore(start);
        const qint64 inside = removedBefore(end) - before;
        if (annotation.location <= length)
            annotation.location -= before;
        annotation.length = std::max<qint64>(annotation.length - inside, 0);
    }
    state.originalText = normalizedLineEnds(state.originalText);
    state.editedText = normalizedLineEnds(state.editedText);
    return clampedToEditedText(std::move(state));
}

bool isValidMarkupRange(const QString &editedText, qint64 location, qint64 length)
{
    const qint64 textLength = editedText.size();
    return location >= 0 && length >= 1 && location <= textLength && length <= textLength - location;
}

TextMarkupAnnotation newMarkup(qint64 location, qint64 length)
{
    return TextMarkupAnnotation(QUuid::createUuid(), 0, location, length, QString(), false,
                                TextMarkupAnnotation::defaultHighlightColorHex, false,
                                TextMarkupAnnotation::defaultUnderlineColorHex, false);
}

void applyMarkupUpdate(TextMarkupAnnotation &annotation, const std::optional<QString> &note,
                       std::optional<bool> highlight, const std::optional<QString> &highlightColorHex,
                       std::optional<bool> underline, const std::optional<QString> &underlineColorHex,
                       std::optional<bool> strikethrough)
{
    if (note)
        annotation.note = *note;
    if (highlight)
        annotation.highlight = *highlight;
    if (highlightColorHex) {
        annotation.highlightColorHex = *highlightColorHex;
        annotation.highlight = *highlightColorHex != QLatin1String("none");
    }
    if (underline)
        annotation.underline = *underline;
    if (underlineColorHex) {
        annotation.underlineColorHex = *underlineColorHex;
        annotation.underline = true;
    }
    if (strikethrough)
        annotation.strikethrough = *strikethrough;
}

ExportTexts exportTexts(TextComparisonExportKind kind, TextComparisonExportFormat format)
{
    const bool full = kind == TextComparisonExportKind::Full;
    ExportTexts texts;
    texts.defaultTitle = full ? QStringLiteral("文案对比") : QStringLiteral("修改文案页");
    texts.label = full ? QStringLiteral("-文案对比-") : QStringLiteral("-修改文案页-");
    switch (format) {
    case TextComparisonExportFormat::Png:
        texts.extension = QStringLiteral("png");
        texts.successText = full ? QStringLiteral("文案对比已保存到桌面：") : QStringLiteral("修改文案页已保存到桌面：");
        texts.failureText = full ? QStringLiteral("无法生成文案对比图片") : QStringLiteral("无法生成修改文案页图片");
        break;
    case TextComparisonExportFormat::Pdf:
        texts.extension = QStringLiteral("pdf");
        texts.successText = full ? QStringLiteral("文案对比 PDF 已保存：") : QStringLiteral("修改文案页 PDF 已保存：");
        texts.failureText = full ? QStringLiteral("无法生成文案对比 PDF") : QStringLiteral("无法生成修改文案页 PDF");
        break;
    case TextComparisonExportFormat::Docx:
        texts.extension = QStringLiteral("docx");
        texts.successText = QStringLiteral("Word 已保存：");
        texts.failureText = QStringLiteral("无法生成文案 Word");
        break;
    }
    return texts;
}

QString exportTitle(const std::optional<QString> &title, TextComparisonExportKind kind)
{
    const QString trimmed = title ? title->trimmed() : QString();
    if (!trimmed.isEmpty())
        return trimmed;
    return kind == TextComparisonExportKind::Full ? QStringLiteral("文案对比") : QStringLiteral("修改文案页");
}

namespace {

QString sanitizedBase(const QString &text)
{
    static const QString forbidden = QStringLiteral("/\\:?%*|\"<>");
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        result += (forbidden.contains(c) || u < 0x20 || u == 0x7F) ? QChar(u'-') : c;
    }
    result = result.trimmed();
    // A leading dot would hide the file; strip dots (and blanks they uncover).
    while (!result.isEmpty() && (result.front() == u'.' || result.front().isSpace()))
        result.remove(0, 1);
    return result;
}


} // namespace

QString exportFileName(const QString &title, const QString &sourceName, TextComparisonExportKind kind,
                       TextComparisonExportFormat format, const QString &timestamp)
{
    const ExportTexts texts = exportTexts(kind, format);
    QString base = sanitizedBase(title);
    if (base.isEmpty()) {
        const QString stem = sourceName.contains(u'.') ? sourceName.left(sourceName.lastIndexOf(u'.')) : sourceName;
        base = sanitizedBase(stem);
    }
    if (base.isEmpty())
        base = QStringLiteral("文案导出");
    const QString tail = texts.label + timestamp + u'.' + texts.extension;
    const QString fitted = NewFiles::fittedName(base, tail);
    const QString cut = fitted.chopped(tail.size()).trimmed();
    return cut.isEmpty() ? NewFiles::fittedName(QStringLiteral("文案导出"), tail) : cut + tail;
}

std::optional<RenderedExport> renderExport(const TextComparisonState &state, const TextComparisonResult &comparison,
                                           TextComparisonExportKind kind, TextComparisonExportFormat format,
                                           const QString &title)
{
    const bool full = kind == TextComparisonExportKind::Full;
    RenderedExport result;
    std::optional<QByteArray> data;
    switch (format) {
    case TextComparisonExportFormat::Png:
        data = full ? TextComparisonRenderer::pngData(state, comparison, title, 1600, 2, &result.truncated)
                    : TextComparisonRenderer::editedPagePNGData(state, comparison, title, 1100, 2, &result.truncated);
        break;
    case TextComparisonExportFormat::Pdf:
        data = full ? TextComparisonRenderer::pdfData(state, comparison, title, 1600, &result.truncated)
                    : TextComparisonRenderer::editedPagePDFData(state, comparison, title, 1100, &result.truncated);
        break;
    case TextComparisonExportFormat::Docx:
        data = TextComparisonWordExporter::docxData(state, comparison, title, !full);
        break;
    }
    if (!data)
        return std::nullopt;
    result.data = std::move(*data);
    return result;
}

DesktopExport exportToDesktop(const std::optional<TextComparisonState> &state, const TextComparisonResult &comparison,
                              TextComparisonExportKind kind, TextComparisonExportFormat format,
                              const std::optional<QString> &givenTitle, const QString &timestamp)
{
    const ExportTexts texts = exportTexts(kind, format);
    if (!state)
        return {std::nullopt, texts.failureText};
    const QString title = exportTitle(givenTitle, kind);
    const std::optional<RenderedExport> rendered = renderExport(*state, comparison, kind, format, title);
    if (!rendered)
        return {std::nullopt, texts.failureText};
    const QString fileName = exportFileName(title, state->sourceName, kind, format, timestamp);
    int folderError = 0;
    const std::optional<QString> folder = NewFiles::desktopFolder(&folderError);
    const QString path = QDir(folder.value_or(NewFiles::desktopLocation())).filePath(fileName);
    // Never fall back to a relative path: that would write into the working directory.
    if (!folder)
        return {std::nullopt, NewFiles::failureText(path, folderError)};
    const NewFiles::Written written = NewFiles::writeFile(path, rendered->data);
    if (!written.path)
        return {std::nullopt, written.failure};
    // The name written, which differs from the wanted one when an export of this second holds it.
    return {written.path, texts.successText + QFileInfo(*written.path).fileName()
                              + (rendered->truncated ? truncatedNote : QString())};
}

} // namespace TextComparisonRules
