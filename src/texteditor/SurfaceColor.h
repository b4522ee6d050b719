#pragma once

#include <QColor>

// A colour of the surface's palette written as "#RRGGBB", with an opacity.
QColor surfaceColor(const char *hex, qreal opacity = 1);
