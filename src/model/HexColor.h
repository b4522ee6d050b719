#pragma once

#include <QColor>
#include <QString>

// Hex colour texts ("#DC2626") to colours. A text without hexadecimal digits, "none" included,
// gives black: callers for which "none" means no colour decide that before converting.
namespace HexColor {

// The interface reading: a three-character text is shorthand ("#FFF" is white).
QColor uiColor(const QString &hex);

// The drawing reading used by the renderers: always the low 24 bits of the number ("#FFF" is
// red 0, green 15, blue 255).
QColor drawingColor(const QString &hex);

// The number scanned from the text as the renderers and views read it, and whether the trimmed
// text had exactly three characters.
quint64 scanValue(const QString &hex, bool *isShorthand = nullptr);

} // namespace HexColor
