#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QWidget>

// A floating panel over the canvas. It stands at `canvasRect` (canvas points) which its owner
// turns into widget coordinates. Presses on the panel's own background are taken, so they never
// reach the canvas behind and start a gesture there.
class FloatingPanel : public QWidget {
    Q_OBJECT

public:
    explicit FloatingPanel(QWidget *parent = nullptr);

    // Where the panel stands on the canvas, in canvas points.
    QRectF canvasRect() const { return m_canvasRect; }
    void setCanvasRect(const QRectF &rect);

    // The soft shadow painted under the panel by whoever paints the canvas (the panel itself
    // only paints inside its bounds).
    struct Shadow {
        double opacity = 0.18;
        double radius = 10;
        QPointF offset{0, 5};
    };
    Shadow shadow() const { return m_shadow; }
    void setShadow(Shadow shadow) { m_shadow = shadow; }
    // Circle-shaped panels (the curve toggle) use a corner radius of half their side.
    double cornerRadius() const { return m_cornerRadius; }

Q_SIGNALS:
    // The panel changed its canvas rectangle; the owner moves it.
    void canvasRectChanged();

protected:
    void setChrome(const QColor &fill, double cornerRadius, const QColor &border, double borderWidth);
    void setBorderColor(const QColor &border);
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QRectF m_canvasRect;
    QColor m_fill = Qt::white;
    double m_cornerRadius = 8;
    QColor m_border;
    double m_borderWidth = 1;
    Shadow m_shadow;
};
