#include "ui/FloatingPanel.h"

#include "ui/PanelChrome.h"

#include <QMouseEvent>
#include <QPainter>

FloatingPanel::FloatingPanel(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_NoMousePropagation);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void FloatingPanel::setCanvasRect(const QRectF &rect)
{
    const QSize size = rect.size().toSize();
    if (this->size() != size)
        resize(size);
    if (rect == m_canvasRect)
        return;
    m_canvasRect = rect;
    Q_EMIT canvasRectChanged();
}

void FloatingPanel::setChrome(const QColor &fill, double cornerRadius, const QColor &border, double borderWidth)
{
    m_fill = fill;
    m_cornerRadius = cornerRadius;
    m_border = border;
    m_borderWidth = borderWidth;
    update();
}

void FloatingPanel::setBorderColor(const QColor &border)
{
    if (border == m_border)
        return;
    m_border = border;
    update();
}

void FloatingPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    PanelChrome::paintRoundedBox(painter, QRectF(rect()), m_cornerRadius, m_fill, m_border, m_borderWidth);
}

void FloatingPanel::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void FloatingPanel::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void FloatingPanel::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}
