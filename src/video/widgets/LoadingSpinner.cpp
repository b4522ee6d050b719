#include "video/widgets/LoadingSpinner.h"

#include "model/AppTheme.h"
#include "ui/BusySpinner.h"

#include <QPainter>

LoadingSpinner::LoadingSpinner(QWidget *parent) : QWidget(parent), m_spinner(new BusySpinner(this))
{
    setFixedSize(28, 28);
}

int LoadingSpinner::angle() const { return m_spinner->angle(); }

void LoadingSpinner::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_spinner->setRunning(true);
}

void LoadingSpinner::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_spinner->setRunning(false);
}

void LoadingSpinner::paintEvent(QPaintEvent *)
{
    // Twelve spokes fading behind the leading one, at the small size scaled by 0.72.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    BusySpinner::paintSpokes(painter, QPointF(width() / 2.0, height() / 2.0), 0.72, AppTheme::secondaryText(),
                             m_spinner->angle());
}
