#include "texteditor/ColorSwatch.h"

#include "model/AppTheme.h"
#include "model/HexColor.h"

#include <QPainter>

ColorSwatch::ColorSwatch(const QString &name, const QString &hexText, QWidget *parent)
    : FeedbackButton(parent)
    , m_hex(hexText)
{
    setFixedSize(24, 28);
    setToolTip(name);
    setAccessibleName(name);
    setCursor(Qt::PointingHandCursor);
}

void ColorSwatch::setChosen(bool chosen)
{
    if (chosen == m_chosen)
        return;
    m_chosen = chosen;
    update();
}

void ColorSwatch::paintContent(QPainter &painter, const QRectF &rect)
{
    const QRectF circle(rect.center().x() - 9, rect.center().y() - 9, 18, 18);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 26));
    painter.drawEllipse(circle.translated(0, 1).adjusted(-1, -1, 1, 1));
    painter.setBrush(HexColor::uiColor(m_hex));
    painter.drawEllipse(circle);
    painter.setBrush(Qt::NoBrush);
    if (m_chosen)
        painter.setPen(QPen(AppTheme::primaryText(), 2.2));
    else
        painter.setPen(QPen(Qt::white, 1));
    painter.drawEllipse(circle);
}
