#include "comparison/widgets/SheetButton.h"

#include "model/AppTheme.h"
#include "ui/BusySpinner.h"
#include "ui/ControlPainting.h"
#include "ui/PanelChrome.h"

#include <QPainter>

#include <algorithm>

namespace {

ButtonStyle sheetStyle(const QFont &font, QSize minimumSize)
{
    ButtonStyle style;
    style.foreground = AppTheme::darkSlate();
    style.background = AppTheme::paleGray();
    style.fontPixels = font.pixelSize();
    style.fontWeight = QFont::Weight(font.weight());
    style.minimumSize = minimumSize;
    return style;
}

} // namespace

SheetButton::SheetButton(const QString &title, const QString &symbol, const QFont &font, QSize minimumSize,
                         QWidget *parent)
    : StyledButton(title, symbol, sheetStyle(font, minimumSize), parent)
{
    unsetCursor();
    setFont(font);
    setAccessibleName(title);
}

QSize SheetButton::sizeHint() const
{
    const int symbol = symbolName().isEmpty() ? 0 : 20;
    const int content = fontMetrics().horizontalAdvance(text()) + symbol + 28;
    return QSize(std::max(buttonStyle().minimumSize.width(), content), buttonStyle().minimumSize.height());
}

void SheetButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const ButtonStyle &style = buttonStyle();
    const bool enabled = isEnabled();
    const QColor fill = enabled ? style.background : PanelChrome::withAlpha(AppTheme::secondaryText(), 0.45);
    PanelChrome::paintRoundedBox(painter, rect, cornerRadius(), fill, enabled ? style.border : QColor(), 1);
    const QFontMetricsF metrics(font());
    const bool hasSymbol = !symbolName().isEmpty() || isBusy();
    const double symbolWidth = hasSymbol ? 20 : 0;
    const double textWidth = metrics.horizontalAdvance(text());
    const double left = rect.center().x() - (symbolWidth + textWidth) / 2;
    if (isBusy()) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        BusySpinner::paintRing(painter, QRectF(left + 1, rect.center().y() - 7, 14, 14), style.foreground, 2,
                               spinnerAngle());
        painter.restore();
    } else if (hasSymbol) {
        ControlPainting::alignedSymbol(painter, symbolName(), style.foreground, QRectF(left, rect.top(), 16, rect.height()), 15);
    }
    painter.setFont(font());
    painter.setPen(style.foreground);
    painter.drawText(QRectF(left + symbolWidth, rect.top(), textWidth + 1, rect.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     text());
}
