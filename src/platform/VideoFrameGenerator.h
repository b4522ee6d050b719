#pragma once

#include "platform/VideoFrameSource.h"

#include <atomic>
#include <limits>
#include <memory>

// Extracts single frames for saving and annotation: the frame nearest a requested time, accepted only
// when it lies within the tolerances before and after that time. Shares the player's decoder, so the
// frame the player has just decoded for that time is taken without decoding again.
class VideoFrameGenerator {
public:
    explicit VideoFrameGenerator(std::shared_ptr<VideoFrameSource> source);

    double requestedTimeToleranceBefore() const { return m_before; }
    double requestedTimeToleranceAfter() const { return m_after; }
    void setRequestedTimeToleranceBefore(double seconds) { m_before = seconds; }
    void setRequestedTimeToleranceAfter(double seconds) { m_after = seconds; }

    // Blocking. The picture and, in `actualTime`, the time of the frame delivered; a null image when
    // no frame lies within the tolerances or the video yields none (`actualTime` is then untouched).
    QImage copyImage(double seconds, double *actualTime);

    // The picture that follows (`direction` > 0) or precedes (`direction` < 0) the frame presented at
    // `frameTime`, whatever the distance; null at that end of the video or when it cannot be decoded.
    QImage copyAdjacentImage(double frameTime, int direction, double *actualTime);

    // Makes any extraction still running or queued give up quickly (the video is being closed).
    void abandon() { m_abandoned = true; }

private:
    std::shared_ptr<VideoFrameSource> m_source;
    std::atomic<double> m_before{std::numeric_limits<double>::infinity()};
    std::atomic<double> m_after{std::numeric_limits<double>::infinity()};
    std::atomic<bool> m_abandoned{false};
};
