#include "ui/BusySpinner.h"

#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cmath>

BusySpinner::BusySpinner(QWidget *widget)
    : QObject(widget)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(stepMs);
    connect(m_timer, &QTimer::timeout, this, [this, widget] {
        // Wraps where every face repeats (8 strokes, 12 turns), so the count never overflows.
        m_step = (m_step + 1) % 24;
        widget->update();
    });
}

void BusySpinner::setRunning(bool running)
{
    if (running == m_timer->isActive())
        return;
    running ? m_timer->start() : m_timer->stop();
}

bool BusySpinner::isRunning() const { return m_timer->isActive(); }

void BusySpinner::paintRing(QPainter &painter, const QRectF &rect, const QColor &color, qreal penWidth, int angle)
{
    painter.setPen(QPen(color, penWidth, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(rect, -angle * 16, 270 * 16);
}

void BusySpinner::paintStrokes(QPainter &painter, QPointF centre, double radius, const QColor &color, int step)
{
    const int phase = step % 8;
    for (int index = 0; index < 8; ++index) {
        QColor tint = color;
        tint.setAlphaF(0.25 + 0.75 * ((index - phase + 8) % 8) / 7.0);
        painter.setPen(QPen(tint, 1.6, Qt::SolidLine, Qt::RoundCap));
        const double angle = index * M_PI / 4;
        painter.drawLine(centre + QPointF(std::cos(angle), std::sin(angle)) * radius * 0.5,
                         centre + QPointF(std::cos(angle), std::sin(angle)) * radius);
    }
}

void BusySpinner::paintSpokes(QPainter &painter, QPointF centre, qreal scale, const QColor &color, int angle)
{
    painter.save();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.rotate(angle);
    for (int spoke = 0; spoke < 12; ++spoke) {
        QColor tint = color;
        tint.setAlphaF(float(1.0 - spoke / 12.0 * 0.85));
        painter.setPen(QPen(tint, 2.2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -5), QPointF(0, -10));
        painter.rotate(-30);
    }
    painter.restore();
}
