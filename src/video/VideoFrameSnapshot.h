#pragma once

#include <QImage>
#include <QString>

// One extracted video frame, carried to annotation and saving.
struct VideoFrameSnapshot {
    // The frame, upright, one pixel per point.
    QImage image;
    // Suggested file name, e.g. "clip-00-00-03-00-75.png".
    QString fileName;
    // Seconds of the frame index (not the time the decoder delivered).
    double time = 0;
    // "HH:MM:SS:FF" of the frame index.
    QString timecode;
    // The frame index actually delivered, within the video.
    int frameIndex = 0;

    // The picture is not compared.
    bool operator==(const VideoFrameSnapshot &other) const
    {
        return fileName == other.fileName && time == other.time && timecode == other.timecode
            && frameIndex == other.frameIndex;
    }
};
