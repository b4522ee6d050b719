#pragma once

#include <QImage>
#include <QObject>

// A picture that changes over time and replaces the still image under the annotations: the video
// workspace's player. The canvas paints the latest frame, letterboxed into the canvas.
class CanvasFrameSource : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~CanvasFrameSource() override;

    virtual QImage currentFrame() const = 0;
    // The current frame already scaled for the screen, when the source made such a copy; the canvas
    // shows it pixel for pixel where it has exactly the size the frame is shown at.
    virtual QImage currentPreview() const { return {}; }
    // The box, in device pixels, the canvas shows frames in; sources that can scale ahead use it.
    virtual void setDisplaySize(QSize) {}

Q_SIGNALS:
    void frameChanged();
};

// A source holding one picture set by its owner (tests, and callers that decode frames themselves).
class StaticFrameSource final : public CanvasFrameSource {
    Q_OBJECT

public:
    using CanvasFrameSource::CanvasFrameSource;

    QImage currentFrame() const override { return m_frame; }
    void setFrame(const QImage &frame);

private:
    QImage m_frame;
};
