#pragma once

#include "model/TextComparisonState.h"
#include "textengine/TextComparisonChange.h"
#include "textengine/TextComparisonResult.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The comparison as an editable Word file: five parts (content types, relationships, core and
// app properties, the document) in a stored ZIP. All formatting is direct run formatting.
namespace TextComparisonWordExporter {

struct WordRunStyle {
    bool bold = false;
    int fontSize = 24; // half-points
    std::optional<QString> shadingHex;
    std::optional<QString> underlineHex;
    bool strikethrough = false;
    std::optional<QString> colorHex;
    bool superscript = false;

    QString runPropertiesXML() const;
    bool operator==(const WordRunStyle &) const = default;
};

struct StyledRange {
    qsizetype location = 0;
    qsizetype length = 0;
    QString colorHex;
};

// The DOCX bytes, or nothing when the package cannot be written (see MinimalZipArchive).
// timestamp is the ISO 8601 UTC time written into the core properties; empty means now. The
// changes, the aligned original and the change count come from `result`, the comparison of the
// state's texts that the editor shows.
std::optional<QByteArray> docxData(const TextComparisonState &state, const TextComparisonResult &result,
                                   const QString &title, bool editedPageOnly, const QString &timestamp = QString());

QString documentXML(const TextComparisonState &state, const TextComparisonResult &result, const QString &title,
                    bool editedPageOnly);
QString paragraphXML(const QString &runs, int spacingAfter);
QString runXML(const QString &text, const WordRunStyle &style);
QString editedRunsXML(const QString &text, const std::vector<TextComparisonChange> &changes,
                      const std::vector<TextMarkupAnnotation> &annotations);
QStringList noteParagraphs(const TextComparisonState &state);
QString corePropertiesXML(const QString &title, const QString &timestamp);
QString contentTypesXML();
QString relationshipsXML();
QString appPropertiesXML();

// Text for XML character data and attribute values: & < > " escaped, and the characters XML
// 1.0 forbids (C0 controls other than tab/LF/CR, U+FFFE, U+FFFF, unpaired surrogates) dropped.
QString xmlEscaped(const QString &text);

// A colour as the pages draw it, written as six upper-case hex digits ("#fde68a" → "FDE68A").
QString hexValue(const QString &colorHex);

} // namespace TextComparisonWordExporter
