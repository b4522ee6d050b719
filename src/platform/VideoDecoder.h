#pragma once

#include "platform/VideoFrameSource.h"

#include <cstdint>
#include <deque>
#include <memory>

extern "C" {
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIndexEntry;
struct AVPacket;
}

class VideoFrameConverter;

// The one long-lived FFmpeg decoder of an open video. It keeps its place in the stream between
// requests: a target that lies ahead in the current group of pictures is reached by decoding on,
// without seeking again, which keeps stepping forward cheap. The picture decoded before the current
// one is kept too, unconverted, so that a step back by one frame needs no second decode from the
// keyframe. A few recently delivered pictures are kept so that the frame generator can take the frame
// the player has just decoded.
class VideoDecoder final : public VideoFrameSource {
public:
    // Takes ownership of an opened format context and codec context for the given stream.
    VideoDecoder(AVFormatContext *format, AVCodecContext *codec, int streamIndex);
    ~VideoDecoder() override;

    Status frameAt(double seconds, Match match, const AbortCheck &abort, Frame *out) override;
    Status frameAfter(double seconds, const AbortCheck &abort, Frame *out) override;

private:
    struct Held {
        AVFrame *frame = nullptr;
        double time = 0;
        bool valid = false;
    };
    struct Delivered {
        double time = 0;
        double previous = 0; // NaN: unknown; -inf: the stream's first frame
        double next = 0;     // NaN: unknown; +inf: the stream's last frame
        QImage image;
    };
    enum class Pull { frame, end, aborted };

    Status positionAt(double seconds, const AbortCheck &abort);
    Status seekBefore(double seconds, const AbortCheck &abort);
    Pull pullInto(Held &held, const AbortCheck &abort);
    Pull fillAhead(const AbortCheck &abort);
    void advance();
    void clearPosition();
    bool keyframeLiesBetween(double from, double to);
    // The last keyframe of the index at or before `timestamp` whose data lies inside the file.
    const AVIndexEntry *readableKeyframeAtOrBefore(int64_t timestamp);
    const Delivered *cached(double seconds, Match match) const;
    // The delivered picture that directly follows the delivered picture at `seconds`, when both are
    // still at hand.
    const Delivered *cachedAfter(double seconds) const;
    // The kept previous picture or the current one when either is the answer for the time; null when
    // neither is at hand.
    const Held *heldAnswer(double seconds, Match match) const;
    Status deliver(double time, double previous, double next, AVFrame *frame, Frame *out);

    AVFormatContext *m_format = nullptr;
    AVCodecContext *m_codec = nullptr;
    AVPacket *m_packet = nullptr;
    int m_stream = -1;
    double m_timeBase = 0;
    std::unique_ptr<VideoFrameConverter> m_converter;

    Held m_previous; // valid only while it directly precedes a valid m_current
    Held m_current;
    Held m_ahead;
    double m_previousTime = 0;
    bool m_flushing = false; // the null packet was sent; only buffered frames remain
    bool m_ended = false;    // the decoder has given its last frame
    std::deque<Delivered> m_cache;
};
