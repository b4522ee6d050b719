#pragma once

#include "textengine/TextComparisonImport.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The text an RTF document shows, read the way the DOCX import reads a package: the body's
// paragraphs (table cells one to a line), then the headers' and then the footers', each paragraph
// trimmed, empty ones dropped, joined by "\n". Control words and groups are interpreted: fonts
// choose the code page of \'hh escapes and raw bytes, \uN gives Unicode, fields show their result,
// and what a reader never sees (font, colour and style tables, document information, pictures,
// object data, field instructions, notes, comments, hidden and deleted text, starred destinations)
// gives nothing.
namespace RtfText {

// Groups nested deeper than this make the document unreadable: each open level holds a little
// state, and no word processor nests anywhere near this deep.
inline constexpr int maxGroupDepth = 1000;

// Whether the bytes open as an RTF document does ("{\rtf").
bool startsAsRtf(const QByteArray &bytes);

struct Result {
    QString text;
    std::optional<TextComparisonImportError> error;
};

// One pass over the bytes, work and memory in proportion to their size.
Result text(const QByteArray &bytes);

} // namespace RtfText
