#pragma once

#include <QColor>
#include <QWidget>

// A widget filled with a colour and optionally outlined in a rounded rectangle.
class CompressionSurface : public QWidget {
    Q_OBJECT

public:
    CompressionSurface(const QColor &fill, const QColor &border, qreal radius, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill;
    QColor m_border;
    qreal m_radius;
};
