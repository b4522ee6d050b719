#pragma once

#include <QWidget>

// The video timeline: a track with a filled part and a thumb, 34 high, over a closed range of
// positions. Positions the user makes are whole numbers (frame indices); positions given from
// outside are drawn as they are. A press anywhere starts a drag at that point, without a grab
// offset. A disabled scrubber ignores the pointer and draws its thumb in grey.
class VideoScrubber final : public QWidget {
    Q_OBJECT

public:
    static constexpr int controlHeight = 34;
    // Kept free at each end of the track for the thumb.
    static constexpr double inset = 9;

    explicit VideoScrubber(QWidget *parent = nullptr);

    double value() const { return m_value; }
    // A change from outside. When no drag is under way, a value outside the range is written back
    // clamped (valueWritten).
    void setValue(double value);
    double lower() const { return m_lower; }
    double upper() const { return m_upper; }
    void setRange(double lower, double upper);
    bool isDragging() const { return m_dragging; }

    // The whole position under x in a control `width` wide; halves round away from zero.
    static double positionAt(double x, double width, double lower, double upper);
    // The thumb's centre (and the filled part's right end) for a value, unrounded.
    static double thumbCentre(double value, double width, double lower, double upper);

    QSize sizeHint() const override { return QSize(260, controlHeight); }
    QSize minimumSizeHint() const override { return QSize(260, controlHeight); }

Q_SIGNALS:
    // The scrubber writes its value (the binding's write).
    void valueWritten(double value);
    // true when a drag starts, false when it ends.
    void editingChanged(bool editing);
    // Each position a drag produces, after it was written.
    void valueChangedByUser(double value);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void dragTo(double x);
    void writeBackClamped();

    double m_value = 0;
    double m_lower = 0;
    double m_upper = 0;
    bool m_dragging = false;
};
