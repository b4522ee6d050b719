#include "ui/EmptyStateButton.h"

#include "model/TypeScale.h"
#include "ui/ControlPainting.h"
#include "ui/PanelChrome.h"

#include <QPainter>

namespace {

ButtonStyle emptyStateStyle()
{
    ButtonStyle style;
    style.fontPixels = TypeScale::button;
    style.symbolPixels = 23;
    style.minimumSize = QSize(126, 86);
    style.stacked = true;
    return style;
}

} // namespace

EmptyStateButton::EmptyStateButton(const QString &title, const QString &symbol, QWidget *parent)
    : StyledButton(title, symbol, emptyStateStyle(), parent)
{
    unsetCursor();
    setFixedSize(126, 86);
    setAccessibleName(title);
}

void EmptyStateButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const ButtonStyle &style = buttonStyle();
    PanelChrome::paintRoundedBox(painter, rect, 8, style.background, style.border, 1);
    const double lineHeight = QFontMetricsF(font()).height();
    const double top = rect.center().y() - (28 + 9 + lineHeight) / 2;
    ControlPainting::alignedSymbol(painter, symbolName(), style.foreground, QRectF(rect.center().x() - 14, top, 28, 28), 23);
    painter.setFont(font());
    painter.setPen(style.foreground);
    painter.drawText(QRectF(rect.left(), top + 37, rect.width(), lineHeight), Qt::AlignCenter, text());
}
