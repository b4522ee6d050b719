#pragma once

#include "platform/VideoFrameSource.h"

#include <QSize>
#include <QString>

#include <limits>
#include <memory>
#include <optional>

// What opening a video file tells about it: the container's duration, whether it has a picture
// track, the track's nominal frame rate and shortest frame duration, and the one decoder that the
// player and the frame generator of this video share.
struct VideoAsset {
    // Seconds; NaN when the file does not say.
    double duration = std::numeric_limits<double>::quiet_NaN();
    // Whether a picture track exists. Cover art attached to an audio file does not count.
    bool hasVideoTrack = false;
    // Single precision, as the frame rate is stored in the track header; 0 when unknown.
    float nominalFrameRate = 0;
    // Seconds; NaN when unknown.
    double minFrameDuration = std::numeric_limits<double>::quiet_NaN();
    // The presentation time in seconds of the track's last picture, as its packets tell (nothing is
    // decoded); NaN when the file does not say.
    double lastPictureTime = std::numeric_limits<double>::quiet_NaN();
    // The coded picture size (before rotation).
    QSize codedSize;
    // Set exactly when `hasVideoTrack` is.
    std::shared_ptr<VideoFrameSource> frameSource;

    // Opens an MP4, MOV or M4V file (the QuickTime family only: other containers, playlists and
    // anything that would reach beyond the local file are refused). Blocking; call it off the GUI
    // thread. Nothing when the file cannot be read as such a video.
    static std::optional<VideoAsset> load(const QString &path);
};
