#include "model/AppTheme.h"

#include "model/HexColor.h"

// Each colour is made once, on first use (thread-safe static initialisation).
#define KIVORA_THEME_COLOR(name, hex)                                                                                 \
    const QColor &name()                                                                                              \
    {                                                                                                                 \
        static const QColor color = HexColor::uiColor(QStringLiteral(hex));                                           \
        return color;                                                                                                 \
    }

namespace AppTheme {

KIVORA_THEME_COLOR(background, "#F8FAFC")
KIVORA_THEME_COLOR(paleGray, "#F1F5F9")
KIVORA_THEME_COLOR(primaryText, "#0F172A")
KIVORA_THEME_COLOR(darkSlate, "#334155")
KIVORA_THEME_COLOR(secondaryText, "#64748B")
KIVORA_THEME_COLOR(lightSlate, "#DDE3EA")
KIVORA_THEME_COLOR(navy, "#1E3A5F")
KIVORA_THEME_COLOR(paleBlue, "#E8EEF7")
KIVORA_THEME_COLOR(accent, "#2563EB")
KIVORA_THEME_COLOR(green, "#059669")
KIVORA_THEME_COLOR(paleGreen, "#DDF8EC")
KIVORA_THEME_COLOR(red, "#DC2626")
KIVORA_THEME_COLOR(paleRed, "#FDECEC")
KIVORA_THEME_COLOR(paleSlate, "#E6EBF2")

const QColor &surface()
{
    static const QColor color(Qt::white);
    return color;
}

} // namespace AppTheme

#undef KIVORA_THEME_COLOR
