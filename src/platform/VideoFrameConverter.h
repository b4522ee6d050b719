#pragma once

#include <QImage>

extern "C" {
struct AVFrame;
struct AVStream;
struct SwsContext;
}

// Turns decoded frames into upright ARGB32 pictures: the colour matrix and range come from the frame
// (BT.709 for HD and BT.601 below when the file leaves them open, as players do), non-square pixels
// are widened by the sample aspect ratio, and the stream's display matrix is applied.
class VideoFrameConverter {
public:
    explicit VideoFrameConverter(const AVStream *stream);
    ~VideoFrameConverter();
    VideoFrameConverter(const VideoFrameConverter &) = delete;
    VideoFrameConverter &operator=(const VideoFrameConverter &) = delete;

    // A null image when the frame is empty, larger than `maxSide` on a side or cannot be converted.
    QImage convert(const AVFrame *frame);

    // Clockwise quarter turns applied after an optional horizontal mirror.
    int clockwiseDegrees() const { return m_clockwiseDegrees; }

    static constexpr int maxSide = 8192;

private:
    SwsContext *m_sws = nullptr;
    int m_clockwiseDegrees = 0;
    bool m_mirror = false;
    double m_sampleAspect = 1.0;
};
