#include "platform/VideoDecoder.h"

#include "platform/VideoFrameConverter.h"

#include <algorithm>
#include <cmath>
#include <limits>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

constexpr double unknownTime = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr std::size_t cachedPictures = 3;
// A damaged stream may make the decoder report errors without end while it drains.
constexpr int maxErrorsWhileDraining = 64;

int64_t clampedTimestamp(double value)
{
    if (!(value > -9.0e18))
        return -(int64_t(1) << 62);
    if (!(value < 9.0e18))
        return int64_t(1) << 62;
    return int64_t(std::floor(value));
}

} // namespace

VideoDecoder::VideoDecoder(AVFormatContext *format, AVCodecContext *codec, int streamIndex)
    : m_format(format), m_codec(codec), m_stream(streamIndex)
{
    m_packet = av_packet_alloc();
    m_previous.frame = av_frame_alloc();
    m_current.frame = av_frame_alloc();
    m_ahead.frame = av_frame_alloc();
    m_timeBase = av_q2d(format->streams[streamIndex]->time_base);
    m_converter = std::make_unique<VideoFrameConverter>(format->streams[streamIndex]);
    m_previousTime = unknownTime;
}

VideoDecoder::~VideoDecoder()
{
    av_frame_free(&m_previous.frame);
    av_frame_free(&m_current.frame);
    av_frame_free(&m_ahead.frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
}

VideoFrameSource::Status VideoDecoder::frameAt(double seconds, Match match, const AbortCheck &abort, Frame *out)
{
    if (!std::isfinite(seconds))
        return Status::failed;
    if (const Delivered *hit = cached(seconds, match)) {
        *out = Frame{hit->time, hit->image};
        return Status::ok;
    }
    if (const Held *held = heldAnswer(seconds, match)) {
        if (held == &m_previous)
            return deliver(m_previous.time, unknownTime, m_current.time, m_previous.frame, out);
        const double next = m_ahead.valid ? m_ahead.time : (m_ended ? infinity : unknownTime);
        return deliver(m_current.time, m_previousTime, next, m_current.frame, out);
    }
    const Status status = positionAt(seconds, abort);
    if (status != Status::ok)
        return status;
    if (match == Match::nearest && m_ahead.valid
        && m_ahead.time - seconds < std::abs(seconds - m_current.time))
        return deliver(m_ahead.time, m_current.time, unknownTime, m_ahead.frame, out);
    const double next = m_ahead.valid ? m_ahead.time : (m_ended ? infinity : unknownTime);
    return deliver(m_current.time, m_previousTime, next, m_current.frame, out);
}

VideoFrameSource::Status VideoDecoder::frameAfter(double seconds, const AbortCheck &abort, Frame *out)
{
    if (!std::isfinite(seconds))
        return Status::failed;
    // A step forward from a frame shown before, after the decoder has moved elsewhere (a scrub, a
    // seek back to that frame answered from the delivered pictures), needs no decode from the keyframe.
    if (const Delivered *hit = cachedAfter(seconds)) {
        *out = Frame{hit->time, hit->image};
        return Status::ok;
    }
    const bool atCurrent = m_current.valid && std::abs(m_current.time - seconds) <= timeSlack;
    // After a step back to the kept previous picture, the frame after it is the current one.
    if (!atCurrent && m_previous.valid && std::abs(m_previous.time - seconds) <= timeSlack
        && m_previous.time < m_current.time) {
        QImage image = m_converter->convert(m_current.frame);
        if (image.isNull())
            return Status::failed;
        *out = Frame{m_current.time, std::move(image)};
        return Status::ok;
    }
    if (!atCurrent) {
        const Status status = positionAt(seconds, abort);
        if (status != Status::ok)
            return status;
    }
    const Pull pull = fillAhead(abort);
    if (pull == Pull::aborted)
        return Status::aborted;
    if (pull == Pull::end)
        return Status::failed;
    advance();
    // Playback pictures go straight to the player's queue; caching them would only push out the
    // frames an exact seek may still ask for.
    QImage image = m_converter->convert(m_current.frame);
    if (image.isNull())
        return Status::failed;
    *out = Frame{m_current.time, std::move(image)};
    return Status::ok;
}

VideoFrameSource::Status VideoDecoder::positionAt(double seconds, const AbortCheck &abort)
{
    const double target = seconds + timeSlack;
    bool forward = false;
    if (m_current.valid && m_current.time <= target) {
        if ((m_ahead.valid && m_ahead.time > target) || (!m_ahead.valid && m_ended))
            return Status::ok;
        forward = !keyframeLiesBetween(m_current.time, seconds);
    }
    if (!forward) {
        const Status status = seekBefore(seconds, abort);
        if (status != Status::ok)
            return status;
    }
    for (;;) {
        const Pull pull = fillAhead(abort);
        if (pull == Pull::aborted)
            return Status::aborted;
        if (pull == Pull::end)
            break;
        if (m_current.valid && m_ahead.time > target)
            break;
        // After a seek that could not go back far enough (the stream's start), the first picture
        // lies after the target; it is then the frame shown at the target.
        const bool firstBeyond = !m_current.valid && m_ahead.time > target;
        advance();
        if (firstBeyond)
            m_previousTime = -infinity;
    }
    return m_current.valid ? Status::ok : Status::failed;
}

VideoFrameSource::Status VideoDecoder::seekBefore(double seconds, const AbortCheck &abort)
{
    AVStream *stream = m_format->streams[m_stream];
    int64_t timestamp = clampedTimestamp((seconds + timeSlack) / m_timeBase);
    // The index of a cut-off file still lists keyframes whose data is gone: start from the last one
    // that is there, so a target past the readable end always gives the last readable picture.
    const int listed = av_index_search_timestamp(stream, timestamp, AVSEEK_FLAG_BACKWARD);
    const AVIndexEntry *readable = readableKeyframeAtOrBefore(timestamp);
    if (readable && listed >= 0 && readable != avformat_index_get_entry(stream, listed))
        timestamp = std::min(timestamp, readable->timestamp);
    for (int attempt = 0; attempt < 4; ++attempt) {
        int result = av_seek_frame(m_format, m_stream, timestamp, AVSEEK_FLAG_BACKWARD);
        if (result < 0) {
            // Nothing indexed before the target: start from the beginning.
            const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
            result = avformat_seek_file(m_format, m_stream, std::numeric_limits<int64_t>::min(), start, start, 0);
        }
        avcodec_flush_buffers(m_codec);
        clearPosition();
        if (result < 0)
            return Status::failed;
        const Pull pull = fillAhead(abort);
        if (pull == Pull::aborted)
            return Status::aborted;
        if (pull == Pull::end || m_ahead.time <= seconds + timeSlack)
            return Status::ok;
        // The keyframe's decode time lies before the target but its picture after it (reordered
        // frames): go back to the keyframe before it.
        const int index = av_index_search_timestamp(stream, timestamp, AVSEEK_FLAG_BACKWARD);
        if (index >= 0) {
            const AVIndexEntry *entry = avformat_index_get_entry(stream, index);
            if (!entry)
                return Status::ok;
            const int64_t earlier = entry->timestamp - 1;
            if (av_index_search_timestamp(stream, earlier, AVSEEK_FLAG_BACKWARD) < 0)
                return Status::ok;
            timestamp = earlier;
        } else if (avformat_index_get_entries_count(stream) == 0 && timestamp > 0) {
            timestamp -= clampedTimestamp(1.0 / m_timeBase);
        } else {
            return Status::ok;
        }
    }
    return Status::ok;
}

VideoDecoder::Pull VideoDecoder::pullInto(Held &held, const AbortCheck &abort)
{
    int drainErrors = 0;
    for (;;) {
        if (m_ended)
            return Pull::end;
        int result = avcodec_receive_frame(m_codec, held.frame);
        if (result == 0) {
            int64_t timestamp = held.frame->best_effort_timestamp;
            if (timestamp == AV_NOPTS_VALUE)
                timestamp = held.frame->pts;
            const double time = timestamp == AV_NOPTS_VALUE ? unknownTime : double(timestamp) * m_timeBase;
            // Pictures without a time, and the pre-roll an edit list places before zero, are never shown.
            if (!(std::isfinite(time) && time >= 0)) {
                av_frame_unref(held.frame);
                continue;
            }
            held.time = time;
            held.valid = true;
            return Pull::frame;
        }
        if (result == AVERROR_EOF) {
            m_ended = true;
            return Pull::end;
        }
        if (m_flushing) {
            // Only buffered pictures remain; a damaged one yields an error, the next may still come.
            if (result == AVERROR(EAGAIN) || ++drainErrors > maxErrorsWhileDraining) {
                m_ended = true;
                return Pull::end;
            }
            continue;
        }
        if (abort && abort())
            return Pull::aborted;
        result = av_read_frame(m_format, m_packet);
        if (result < 0) {
            // End of file, or a truncated one: the last pictures come out only after a null packet.
            avcodec_send_packet(m_codec, nullptr);
            m_flushing = true;
            continue;
        }
        if (m_packet->stream_index == m_stream)
            avcodec_send_packet(m_codec, m_packet); // a damaged packet is skipped
        av_packet_unref(m_packet);
    }
}

VideoDecoder::Pull VideoDecoder::fillAhead(const AbortCheck &abort)
{
    if (m_ahead.valid)
        return Pull::frame;
    return pullInto(m_ahead, abort);
}

void VideoDecoder::advance()
{
    // The current picture becomes the previous one: its reference moves, no pixels are copied.
    av_frame_unref(m_previous.frame);
    m_previous.valid = false;
    if (m_current.valid) {
        m_previousTime = m_current.time;
        std::swap(m_previous, m_current);
    }
    std::swap(m_current, m_ahead);
    av_frame_unref(m_ahead.frame);
    m_ahead.valid = false;
}

void VideoDecoder::clearPosition()
{
    av_frame_unref(m_previous.frame);
    m_previous.valid = false;
    av_frame_unref(m_current.frame);
    av_frame_unref(m_ahead.frame);
    m_current.valid = false;
    m_ahead.valid = false;
    m_previousTime = unknownTime;
    m_flushing = false;
    m_ended = false;
}

bool VideoDecoder::keyframeLiesBetween(double from, double to)
{
    AVStream *stream = m_format->streams[m_stream];
    if (avformat_index_get_entries_count(stream) == 0)
        return to - from > 2.0; // no index: decoding on beats a blind seek over short distances
    const AVIndexEntry *entry = readableKeyframeAtOrBefore(clampedTimestamp(to / m_timeBase));
    return entry && double(entry->timestamp) * m_timeBase > from + timeSlack;
}

const AVIndexEntry *VideoDecoder::readableKeyframeAtOrBefore(int64_t timestamp)
{
    AVStream *stream = m_format->streams[m_stream];
    const int64_t fileSize = m_format->pb ? avio_size(m_format->pb) : -1;
    for (int index = av_index_search_timestamp(stream, timestamp, AVSEEK_FLAG_BACKWARD); index >= 0; --index) {
        const AVIndexEntry *entry = avformat_index_get_entry(stream, index);
        if (!entry)
            return nullptr;
        if (!(entry->flags & AVINDEX_KEYFRAME))
            continue;
        if (fileSize <= 0 || entry->pos + entry->size <= fileSize)
            return entry;
    }
    return nullptr;
}

const VideoDecoder::Delivered *VideoDecoder::cached(double seconds, Match match) const
{
    const double target = seconds + timeSlack;
    for (auto it = m_cache.rbegin(); it != m_cache.rend(); ++it) {
        const Delivered &d = *it;
        if (match == Match::containing) {
            if (d.time <= target && target < d.next) // a NaN (unknown) next never matches
                return &d;
            continue;
        }
        if (seconds >= d.time) {
            if (seconds - d.time <= d.next - seconds)
                return &d;
        } else if (d.time - seconds < seconds - d.previous) {
            return &d;
        }
    }
    return nullptr;
}

const VideoDecoder::Held *VideoDecoder::heldAnswer(double seconds, Match match) const
{
    // Between the previous picture and the current one, a decode from the keyframe would stop at the
    // previous picture and have the current one ahead: both are already here, decoded in the same order.
    if (!(m_previous.valid && m_current.valid))
        return nullptr;
    const double target = seconds + timeSlack;
    if (!(m_previous.time <= target && target < m_current.time))
        return nullptr;
    if (match == Match::nearest && m_current.time - seconds < std::abs(seconds - m_previous.time))
        return &m_current;
    return &m_previous;
}

const VideoDecoder::Delivered *VideoDecoder::cachedAfter(double seconds) const
{
    // The frame after the one presented at `seconds` is the successor of the last picture at or
    // before it: a delivered picture whose known successor lies beyond that time, and which is in
    // turn recorded as the predecessor of a delivered picture at the successor's time.
    const double target = seconds + timeSlack;
    for (const Delivered &shown : m_cache) {
        if (!(std::abs(shown.time - seconds) <= timeSlack && shown.next > target && std::isfinite(shown.next)))
            continue;
        for (const Delivered &after : m_cache) {
            if (std::abs(after.time - shown.next) <= timeSlack && std::abs(after.previous - shown.time) <= timeSlack)
                return &after;
        }
    }
    return nullptr;
}

VideoFrameSource::Status VideoDecoder::deliver(double time, double previous, double next, AVFrame *frame, Frame *out)
{
    QImage image = m_converter->convert(frame);
    if (image.isNull())
        return Status::failed;
    m_cache.push_back(Delivered{time, previous, next, image});
    while (m_cache.size() > cachedPictures)
        m_cache.pop_front();
    *out = Frame{time, std::move(image)};
    return Status::ok;
}
