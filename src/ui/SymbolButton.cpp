#include "ui/SymbolButton.h"

#include "model/TypeScale.h"
#include "ui/ControlPainting.h"

#include <QPainter>

#include <cmath>

namespace {

ButtonStyle symbolStyle(int side, int symbolSize, const QColor &tint, qreal cornerRadius)
{
    ButtonStyle style;
    style.foreground = tint;
    style.fontPixels = TypeScale::emphasis;
    style.fontWeight = QFont::Normal;
    style.symbolPixels = symbolSize;
    style.minimumSize = QSize(side, side);
    style.cornerRadius = cornerRadius;
    return style;
}

} // namespace

SymbolButton::SymbolButton(const QString &symbolName, int side, int symbolSize, const QColor &tint,
                           qreal cornerRadius, QWidget *parent)
    : StyledButton(QString(), symbolName, symbolStyle(side, symbolSize, tint, cornerRadius), parent)
{
    unsetCursor();
    setFixedSize(side, side);
}

void SymbolButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const ButtonStyle &style = buttonStyle();
    ControlPainting::roundedPanel(painter, rect, cornerRadius(), style.background, style.border);
    ControlPainting::symbol(painter, symbolName(), style.foreground, rect, int(std::lround(style.symbolPixels)));
}
