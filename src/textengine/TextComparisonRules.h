#pragma once

#include "model/MarkupViewModelTypes.h"
#include "model/TextComparisonState.h"
#include "textengine/TextComparisonResult.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The document rules behind the view model's text comparison operations, as free functions so
// that the operations stay thin: normalising and clamping markups, line ends, new documents,
// markup edits, and the Desktop exports (names, rendering, checked writes).
enum class TextComparisonExportFormat { Png, Pdf, Docx };

namespace TextComparisonRules {

// Markups sorted by (location, length), stable; notes numbered 1, 2, 3… in that order, others 0.
TextComparisonState normalizedTextComparison(TextComparisonState state);

// Markups cut to the edited text (dropped at or past its end or when nothing is left), then
// normalised.
TextComparisonState clampedToEditedText(TextComparisonState state);

// "\r\n" and lone "\r" become "\n".
QString normalizedLineEnds(const QString &text);

// What a new document stores for an imported text: line ends normalised and, unless the text
// is blank, leading and trailing line breaks removed (spaces and tabs stay).
QString newDocumentText(const QString &text);

// A state read from a project: both texts get "\n" line ends and each markup is moved back by
// the carriage returns removed before it and shortened by those removed inside it; then clamped
// and normalised.
TextComparisonState openedProjectState(TextComparisonState state);

// Whether (location, length) is a range a new markup may take on the edited text.
bool isValidMarkupRange(const QString &editedText, qint64 location, qint64 length);

// A markup fresh from the add operation: no note, default colours, all flags off.
TextMarkupAnnotation newMarkup(qint64 location, qint64 length);

// The update operation's field order: a colour given with its flag decides the flag.
void applyMarkupUpdate(TextMarkupAnnotation &annotation, const std::optional<QString> &note,
                       std::optional<bool> highlight, const std::optional<QString> &highlightColorHex,
                       std::optional<bool> underline, const std::optional<QString> &underlineColorHex,
                       std::optional<bool> strikethrough);

// Texts of one export: default title, file name label, extension, success and failure texts.
struct ExportTexts {
    QString defaultTitle;
    QString label;
    QString extension;
    QString successText;
    QString failureText;
};
ExportTexts exportTexts(TextComparisonExportKind kind, TextComparisonExportFormat format);

// The given title trimmed, or the kind's default title when it is absent or blank.
QString exportTitle(const std::optional<QString> &title, TextComparisonExportKind kind);

// base + label + timestamp + "." + extension. The base is the title with path and shell
// characters and control characters made "-", trimmed and without leading dots; else the source
// name without its extension; else "文案导出". It is cut at a character boundary so the whole
// name fits in 255 UTF-8 bytes.
QString exportFileName(const QString &title, const QString &sourceName, TextComparisonExportKind kind,
                       TextComparisonExportFormat format, const QString &timestamp);

struct RenderedExport {
    QByteArray data;
    bool truncated = false; // a page was cut at its height cap
};
// Renders the page (PNG at scale 2, PDF) or writes the DOCX for the kind, with `comparison` (the
// result of the state's texts); nothing on failure.
std::optional<RenderedExport> renderExport(const TextComparisonState &state, const TextComparisonResult &comparison,
                                           TextComparisonExportKind kind, TextComparisonExportFormat format,
                                           const QString &title);

// Appended to the success text when a page was cut.
inline const QString truncatedNote = QStringLiteral("（内容过长，已截断）");

// A whole Desktop export of the document: rendered, named and written as a new file (never over
// another, the next free name when the wanted one is taken). Touches nothing shared, so it runs off
// the window's thread. The message is the status to show when written, else the error, which
// names the folder and the reason.
struct DesktopExport {
    std::optional<QString> path;
    QString message;
};
DesktopExport exportToDesktop(const std::optional<TextComparisonState> &state, const TextComparisonResult &comparison,
                              TextComparisonExportKind kind, TextComparisonExportFormat format,
                              const std::optional<QString> &givenTitle, const QString &timestamp);

} // namespace TextComparisonRules
