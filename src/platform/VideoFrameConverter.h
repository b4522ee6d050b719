#pragma once

#include "platform/FrameBufferPool.h"

#include <QImage>

extern "C" {
struct AVFrame;
struct AVStream;
struct SwsContext;
}

// Turns decoded frames into upright ARGB32 pictures: the colour matrix and range come from the frame
// (BT.709 for HD and BT.601 below when the file leaves them open, as players do), non-square pixels
// are widened by the sample aspect ratio (unless that moves the width by under a pixel), and the
// stream's display matrix is applied. Pictures are
// written into a few reused buffers; an image handed out keeps its buffer until its last copy is gone.
class VideoFrameConverter {
public:
    explicit VideoFrameConverter(const AVStream *stream);
    ~VideoFrameConverter();
    VideoFrameConverter(const VideoFrameConverter &) = delete;
    VideoFrameConverter &operator=(const VideoFrameConverter &) = delete;

    // A null image when the frame is empty, larger than `maxSide` on a side or cannot be converted.
    QImage convert(const AVFrame *frame);

    static constexpr int maxSide = 8192;

private:
    // What the scaler was made for.
    struct Setup {
        int width = 0;
        int height = 0;
        int format = -1;
        int targetWidth = 0;
        int colorspace = 0;
        bool fullRange = false;
        bool operator==(const Setup &) const = default;
    };

    bool prepareScaler(const Setup &setup);
    bool scaleInto(const AVFrame *frame, QImage &image);

    SwsContext *m_sws = nullptr;
    Setup m_setup;
    AVFrame *m_target = nullptr;
    FrameBufferPool m_buffers{2};
    int m_clockwiseDegrees = 0;
    bool m_mirror = false;
    double m_sampleAspect = 1.0;
};
