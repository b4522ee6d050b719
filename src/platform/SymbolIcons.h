#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// The program's own line icons, looked up by the symbol names the interface uses
// ("magnifyingglass", "photo.badge.plus", ...). Each is a 24 × 24 SVG drawn in one colour, rendered
// sharp at any size; the disabled state is drawn at reduced opacity.
namespace SymbolIcons {

// The default tint: the secondary text colour of the interface.
inline const QColor defaultTint = QColor(0x33, 0x41, 0x55);

// The icon for a symbol name in the given colour; an empty icon for an unknown name.
QIcon icon(const QString &symbolName, const QColor &tint = defaultTint);

// Whether an icon exists for the name.
bool contains(const QString &symbolName);

} // namespace SymbolIcons
