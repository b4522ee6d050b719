#pragma once

#include <QFont>
#include <QString>

// The one place that names the user-interface typeface. Views, label geometry and the renderers
// all take their fonts from here, so Chinese text measures the same on screen, in exports and in
// offscreen tests.
namespace AppFont {

// The family every font of the program uses.
QString family();

// A font of the program's family at a size in pixels (never points: pixel sizes keep on-screen
// metrics and rendered metrics identical whatever the screen's DPI).
QFont font(double pixelSize, QFont::Weight weight = QFont::Normal);

} // namespace AppFont
