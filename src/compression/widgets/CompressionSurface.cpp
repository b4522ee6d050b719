#include "compression/widgets/CompressionSurface.h"

#include "ui/ControlPainting.h"

#include <QPainter>

CompressionSurface::CompressionSurface(const QColor &fill, const QColor &border, qreal radius, QWidget *parent)
    : QWidget(parent)
    , m_fill(fill)
    , m_border(border)
    , m_radius(radius)
{
}

void CompressionSurface::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_radius <= 0 && !m_border.isValid()) {
        painter.fillRect(rect(), m_fill);
        return;
    }
    ControlPainting::roundedPanel(painter, rect(), m_radius, m_fill, m_border);
}
