#pragma once

// A meter of the window's event loop: every gap between two of its turns that is longer than a
// threshold, with the action that was running, as the user feels it (nothing moves, nothing
// answers). A precise timer on the window's thread fires whenever the loop is free (every 2 ms
// at most, so that the probe itself does not take a core from the workers); the time between two
// firings that the loop could not give is a stall. Nested loops (a modal dialog) turn the timer
// too. Header-only, for the tests' support and the benches alike; it measures, it judges nothing
// (tests never assert a duration).

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <vector>

class StallMeter final : public QObject {
public:
    struct Stall {
        QString action;
        double startMs = 0; // since start()
        double lengthMs = 0;
    };

    explicit StallMeter(double thresholdMs = 20, QObject *parent = nullptr)
        : QObject(parent)
        , m_thresholdMs(thresholdMs)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { turn(); });
    }

    // Starts measuring (and forgets what was measured), charging gaps to `action`.
    void start(const QString &action = QString())
    {
        m_stalls.clear();
        m_action = action;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    void stop()
    {
        turn();
        m_timer.stop();
    }
    // From now on gaps are charged to `action`. Called between events (not inside one), the gap
    // up to now still belongs to the action before.
    void begin(const QString &action)
    {
        turn();
        m_action = action;
    }
    const QString &action() const { return m_action; }
    double elapsedMs() const { return double(m_clock.nsecsElapsed()) / 1e6; }

    const std::vector<Stall> &stalls() const { return m_stalls; }
    // The longest gap charged to the action (0 when none passed the threshold).
    double longest(const QString &action) const
    {
        double longest = 0;
        for (const Stall &stall : m_stalls) {
            if (stall.action == action)
                longest = std::max(longest, stall.lengthMs);
        }
        return longest;
    }
    int count(const QString &action, double atLeastMs) const
    {
        return int(std::count_if(m_stalls.begin(), m_stalls.end(), [&](const Stall &stall) {
            return stall.action == action && stall.lengthMs >= atLeastMs;
        }));
    }

private:
    void turn()
    {
        if (!m_clock.isValid())
            return;
        const qint64 now = m_clock.nsecsElapsed();
        const double gap = double(now - m_last) / 1e6;
        if (gap > m_thresholdMs)
            m_stalls.push_back({m_action, double(m_last) / 1e6, gap});
        m_last = now;
    }

    double m_thresholdMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    QString m_action;
    std::vector<Stall> m_stalls;
};
