#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What can go wrong when a source text is read; the descriptions are what the user sees.
enum class TextComparisonImportError {
    unsupportedEncoding,   // "文案文件无法解析"
    docxArchiveUnreadable, // "DOCX 文件无法读取"
    docxTextMissing,       // "DOCX 中没有可解析的正文"
    rtfUnreadable,         // "RTF 文件无法读取"
    rtfTextMissing,        // "RTF 中没有可解析的正文"
};

QString textComparisonImportErrorDescription(TextComparisonImportError error);

// Reading a source file into one text: text files in UTF-8, GB18030 or UTF-16, RTF documents as the
// text they show (RtfText), and DOCX packages read in memory.
namespace TextComparisonImport {

// Text files above this size are refused before they are read.
inline constexpr qint64 maxTextFileBytes = qint64(32) << 20;
// The text parts of a DOCX may declare at most this many bytes together: their XML is read at some
// 25 MB a second, and a package of a few hundred KB can inflate to hundreds of MB. Checked on the
// declared sizes before any part is read.
inline constexpr qint64 maxDocxTotalBytes = qint64(48) << 20;
// Elements nested deeper than this make a part unreadable: each level is held while it is open,
// and no document nests anywhere near this deep.
inline constexpr int maxDocxDepth = 1000;

// The most plausible decoding of the bytes, or nothing when no candidate decodes.
// A byte-order mark decides the encoding alone (UTF-8, or UTF-16 in its byte order); without
// one, UTF-8, GB18030 and UTF-16 little-endian are scored and the lowest penalty wins, earlier
// candidates winning ties. The GB18030 and UTF-16 readings accept nearly any bytes, so either is
// left out when its penalty exceeds its length (bytes of another encoding, such as
// Windows-1252, read as garbage); a valid UTF-8 reading is always kept.
std::optional<QString> decodedText(const QByteArray &bytes);

// The decoding a text came from.
enum class Reading { utf8, gb18030, utf16 };

// Lower is more plausible. NUL, U+FFFD, control characters, private-use and unassigned code points
// count against every reading. Letters U+00C0..U+00FF count against the UTF-16 reading only: in
// UTF-8 and GB18030 they are ordinary letters and signs ("café", "3×4", pinyin "lǜ shī").
qint64 decodingPenalty(const QString &text, Reading reading);

// The visible text of one WordprocessingML part: w:t runs, w:tab as a tab, w:noBreakHyphen as
// U+2011, w:br and w:cr as line breaks, paragraphs trimmed and joined by "\n". Text under mc:Fallback is skipped (it repeats the
// mc:Choice content). A part that breaks off with an XML error gives the text read so far; one
// nested deeper than maxDocxDepth gives nothing.
std::optional<QString> docxPartText(const QByteArray &xml);

struct DocxResult {
    QString text;
    std::optional<TextComparisonImportError> error;
};

// The body, header and footer parts of the package, in archive order.
DocxResult docxText(const QString &path);

struct ImportResult {
    std::optional<QString> text;
    QString errorMessage; // set when text is absent
};

// A file as the upload panel hands it over: "docx" (any case) is read as a package, "rtf" (any
// case) that opens as RTF ("{\rtf") as an RTF document, everything else as a text file. RTF and
// text files share the size limit.
ImportResult importFile(const QString &path);

} // namespace TextComparisonImport
