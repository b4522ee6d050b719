#include "platform/VideoFrameGenerator.h"

#include <cmath>

VideoFrameGenerator::VideoFrameGenerator(std::shared_ptr<VideoFrameSource> source) : m_source(std::move(source)) {}

QImage VideoFrameGenerator::copyImage(double seconds, double *actualTime)
{
    if (!m_source || m_abandoned || !std::isfinite(seconds))
        return {};
    VideoFrameSource::Frame frame;
    VideoFrameSource::Status status;
    {
        auto guard = m_source->lock();
        status = m_source->frameAt(seconds, VideoFrameSource::Match::nearest, [this] { return m_abandoned.load(); },
                                   &frame);
    }
    if (status != VideoFrameSource::Status::ok)
        return {};
    // Tolerances are whole 1/60000 s; the slack absorbs the rounding of frame times to that grid.
    const double slack = VideoFrameSource::timeSlack;
    const double before = m_before;
    const double after = m_after;
    if (frame.time < seconds - before - slack || frame.time > seconds + after + slack)
        return {};
    if (actualTime)
        *actualTime = frame.time;
    return frame.image;
}

QImage VideoFrameGenerator::copyAdjacentImage(double frameTime, int direction, double *actualTime)
{
    if (!m_source || m_abandoned || !std::isfinite(frameTime) || direction == 0)
        return {};
    const double slack = VideoFrameSource::timeSlack;
    const auto abort = [this] { return m_abandoned.load(); };
    VideoFrameSource::Frame frame;
    VideoFrameSource::Status status;
    {
        auto guard = m_source->lock();
        // The frame on screen just before this one started is the one before it.
        status = direction > 0 ? m_source->frameAfter(frameTime, abort, &frame)
                               : m_source->frameAt(frameTime - 2 * slack, VideoFrameSource::Match::containing, abort,
                                                   &frame);
    }
    if (status != VideoFrameSource::Status::ok)
        return {};
    const bool beyond = direction > 0 ? frame.time > frameTime + slack : frame.time < frameTime - slack;
    if (!beyond)
        return {};
    if (actualTime)
        *actualTime = frame.time;
    return frame.image;
}
