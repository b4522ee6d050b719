#pragma once

#include "platform/PlaybackClock.h"
#include "platform/VideoAsset.h"
#include "platform/VideoFrameSource.h"

#include <QThread>

#include <atomic>
#include <cmath>
#include <limits>
#include <memory>

// A frame source of `count` frames at `rate` fps without any decoding; each picture is 4×4 pixels whose
// red channel is the frame number. A request for the time in `blockAt` waits until `release` is set
// (or the request is abandoned), to hold a seek in flight.
class FakeFrameSource final : public VideoFrameSource {
public:
    FakeFrameSource(double rate, int count) : m_rate(rate), m_count(count) {}

    std::atomic<double> blockAt{std::numeric_limits<double>::quiet_NaN()};
    std::atomic<bool> release{false};
    std::atomic<int> frameAtCalls{0};

    Status frameAt(double seconds, Match match, const AbortCheck &abort, Frame *out) override
    {
        ++frameAtCalls;
        // Any request for the frame at that time (requests come a hair early).
        if (std::abs(seconds - blockAt.load()) < 0.25 / m_rate) {
            while (!release) {
                if (abort && abort())
                    return Status::aborted;
                QThread::msleep(1);
            }
        }
        const double position = seconds * m_rate;
        const long index = match == Match::nearest ? std::lround(position) : long(std::floor(position + 1e-6));
        return make(index, out);
    }

    Status frameAfter(double seconds, const AbortCheck &, Frame *out) override
    {
        const long index = long(std::floor(seconds * m_rate + 1e-6)) + 1;
        if (index >= m_count)
            return Status::failed;
        return make(index, out);
    }

    static int numberOf(const QImage &image) { return image.isNull() ? -1 : qRed(image.pixel(0, 0)); }

private:
    Status make(long index, Frame *out) const
    {
        index = std::clamp(index, 0L, long(m_count - 1));
        QImage image(4, 4, QImage::Format_ARGB32);
        image.fill(qRgb(int(index % 256), 0, 0));
        *out = Frame{double(index) / m_rate, image};
        return Status::ok;
    }

    double m_rate;
    int m_count;
};

class ManualClock final : public PlaybackClock {
public:
    double now() const override { return time; }
    double time = 100.0;
};

inline VideoAsset fakeAsset(std::shared_ptr<VideoFrameSource> source, double duration, float nominalRate)
{
    VideoAsset asset;
    asset.duration = duration;
    asset.hasVideoTrack = true;
    asset.nominalFrameRate = nominalRate;
    asset.frameSource = std::move(source);
    return asset;
}
