#include "texteditor/RoundedPanel.h"

#include "ui/ControlPainting.h"

#include <QPainter>

RoundedPanel::RoundedPanel(const QColor &fill, const QColor &border, qreal borderWidth, QWidget *parent)
    : QWidget(parent)
    , m_fill(fill)
    , m_border(border)
    , m_borderWidth(borderWidth)
{
}

void RoundedPanel::setBorder(const QColor &border, qreal width)
{
    if (border == m_border && width == m_borderWidth)
        return;
    m_border = border;
    m_borderWidth = width;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    ControlPainting::roundedPanel(painter, rect(), 8, m_fill, m_border, m_borderWidth);
}
