#include "texteditor/SurfaceButton.h"

#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/ControlPainting.h"

#include <QPainter>

#include <algorithm>

namespace {

ButtonStyle surfaceButtonStyle(QSize minimumSize)
{
    ButtonStyle style;
    style.foreground = AppTheme::darkSlate();
    style.background = AppTheme::paleGray();
    style.border = AppTheme::lightSlate();
    style.fontPixels = TypeScale::button;
    style.fontWeight = QFont::DemiBold;
    style.symbolPixels = 15;
    style.minimumSize = minimumSize;
    return style;
}

} // namespace

SurfaceButton::SurfaceButton(const QString &title, const QString &symbolName, QSize minimumSize, QWidget *parent)
    : StyledButton(title, symbolName, surfaceButtonStyle(minimumSize), parent)
{
}

void SurfaceButton::setTitle(const QString &title)
{
    if (title == text())
        return;
    setText(title);
    updateGeometry();
    update();
}

void SurfaceButton::setLabelFont(const QFont &font)
{
    setFont(font);
    updateGeometry();
}

QSize SurfaceButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    int width = metrics.horizontalAdvance(text()) + 2 * 12 + (symbolName().isEmpty() ? 0 : 20);
    return QSize(std::max(width, buttonStyle().minimumSize.width()), buttonStyle().minimumSize.height());
}

void SurfaceButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const ButtonStyle &style = buttonStyle();
    ControlPainting::roundedPanel(painter, rect, 8, style.background, style.border);
    painter.setFont(font());
    const QFontMetricsF metrics(font());
    const qreal textWidth = metrics.horizontalAdvance(text());
    const qreal total = textWidth + (symbolName().isEmpty() ? 0 : 20);
    qreal x = rect.center().x() - total / 2;
    if (!symbolName().isEmpty()) {
        ControlPainting::symbol(painter, symbolName(), style.foreground, QRectF(x, rect.top(), 15, rect.height()), 15);
        x += 20;
    }
    painter.setPen(style.foreground);
    painter.drawText(QRectF(x, rect.top(), textWidth + 1, rect.height()), Qt::AlignVCenter | Qt::AlignLeft, text());
}
