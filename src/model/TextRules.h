#pragma once

#include <QString>

#include <optional>

// Unicode rules shared by the numbering, the note counts and the legacy repair.
namespace TextRules {

// The text without leading and trailing white space and line breaks (Unicode White_Space).
QString trimmed(const QString &text);

// Whether the text holds anything but white space and line breaks.
bool hasVisibleText(const QString &text);

// Whether a code point is a numeric character: Unicode Numeric_Type other than None, so
// full-width digits and Han numerals count as well as ASCII digits.
bool isNumericCharacter(char32_t codePoint);

// Reads ASCII decimal digits as a 64-bit integer; anything else, or an overflow, gives nothing.
std::optional<qint64> parseAsciiDecimal(const QString &text);
// The same with an optional leading "+" or "-".
std::optional<qint64> parseSignedAsciiDecimal(const QString &text);

} // namespace TextRules
