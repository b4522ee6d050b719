#pragma once

#include <QColor>
#include <QWidget>

// A white rounded panel with a light border (the panes, the list, the search field).
class RoundedPanel : public QWidget {
    Q_OBJECT

public:
    RoundedPanel(const QColor &fill, const QColor &border, qreal borderWidth = 1, QWidget *parent = nullptr);
    void setBorder(const QColor &border, qreal width);
    QColor border() const { return m_border; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill;
    QColor m_border;
    qreal m_borderWidth;
};
