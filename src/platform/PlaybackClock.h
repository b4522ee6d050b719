#pragma once

#include <QElapsedTimer>

// The time source of preview playback, injectable so that playback can be tested without waiting.
class PlaybackClock {
public:
    virtual ~PlaybackClock() = default;
    // Seconds on a monotonic clock; only differences matter.
    virtual double now() const = 0;
};

class SteadyPlaybackClock final : public PlaybackClock {
public:
    SteadyPlaybackClock() { m_timer.start(); }
    double now() const override { return double(m_timer.nsecsElapsed()) / 1e9; }

private:
    QElapsedTimer m_timer;
};
