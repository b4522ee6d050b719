#pragma once

#include <QColor>
#include <QObject>
#include <QPointF>
#include <QRectF>

class QPainter;
class QTimer;
class QWidget;

// The one busy spinner of the kit. While running it steps on every 80 ms and repaints the widget
// that shows it; the step is kept while it stands still, so a restarted spinner goes on from where
// it stopped. The widget paints one of the faces below at the current step.
class BusySpinner : public QObject {
    Q_OBJECT

public:
    static constexpr int stepMs = 80;
    static constexpr int degreesPerStep = 30;

    explicit BusySpinner(QWidget *widget);

    void setRunning(bool running);
    bool isRunning() const;
    // The steps taken so far.
    int step() const { return m_step; }
    // The turn of the step in degrees, 0…330.
    int angle() const { return m_step % (360 / degreesPerStep) * degreesPerStep; }

    // A three-quarter ring in `rect`, turned clockwise by `angle` degrees.
    static void paintRing(QPainter &painter, const QRectF &rect, const QColor &color, qreal penWidth, int angle);
    // Eight strokes around `centre` reaching out to `radius`, the one of `step` faintest and the
    // one before it darkest.
    static void paintStrokes(QPainter &painter, QPointF centre, double radius, const QColor &color, int step);
    // Twelve spokes about `centre` fading behind the leading one at `angle` degrees, the 14-point
    // wheel scaled by `scale`.
    static void paintSpokes(QPainter &painter, QPointF centre, qreal scale, const QColor &color, int angle);

private:
    QTimer *m_timer = nullptr;
    int m_step = 0;
};
