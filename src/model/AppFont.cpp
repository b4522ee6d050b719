#include "model/AppFont.h"

#include <QFontDatabase>
#include <QStringList>

#include <cmath>

namespace AppFont {

QString family()
{
    return QStringLiteral("Noto Sans CJK SC");
}

QFont font(double pixelSize, QFont::Weight weight)
{
    QFont f(family());
    f.setStyleHint(QFont::SansSerif);
    // QFont only keeps whole pixel sizes; fractional sizes are approximated by the nearest one
    // and at least one pixel.
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
    f.setWeight(weight);
    return f;
}

} // namespace AppFont
