#include "texteditor/SurfaceColor.h"

#include "model/HexColor.h"

QColor surfaceColor(const char *hex, qreal opacity)
{
    QColor color = HexColor::uiColor(QString::fromLatin1(hex));
    color.setAlphaF(float(opacity));
    return color;
}
