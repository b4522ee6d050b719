#pragma once

#include <QImage>

#include <functional>
#include <limits>
#include <mutex>

// Where the player and the frame generator get decoded pictures from. One source stands for one open
// video with one long-lived decoder; the player and the generator share it, so an exact seek never
// decodes the same frames twice. A source is not thread-safe: callers hold `lock()` around every call.
class VideoFrameSource {
public:
    // One decoded, upright picture and its presentation time in seconds.
    struct Frame {
        double time = 0;
        QImage image;
        // A copy scaled down for the screen, when the player made one (sources leave it null).
        QImage preview{};
    };

    enum class Match {
        // The frame on screen at that time: the largest presentation time not after it.
        containing,
        // The frame whose presentation time lies nearest to it, before or after.
        nearest,
    };

    enum class Status { ok, aborted, failed };

    // Polled between packets; returning true abandons the request with `Status::aborted`.
    using AbortCheck = std::function<bool()>;

    virtual ~VideoFrameSource() = default;

    // The frame for a time. `failed` when the video yields no picture at all or the picture cannot be
    // converted (damaged data, absurd dimensions).
    virtual Status frameAt(double seconds, Match match, const AbortCheck &abort, Frame *out) = 0;

    // The frame that follows the one presented at `seconds`; `failed` at the end of the stream.
    virtual Status frameAfter(double seconds, const AbortCheck &abort, Frame *out) = 0;

    std::unique_lock<std::mutex> lock() { return std::unique_lock<std::mutex>(m_mutex); }

    // Timestamps are compared with this slack: requested times are rounded to 1/60000 s.
    static constexpr double timeSlack = 1.0 / 120000.0;

private:
    std::mutex m_mutex;
};
