#pragma once

#include "platform/ParallelWork.h"

#include <QSemaphore>

#include <atomic>
#include <optional>
#include <thread>

// Keeps every thread of Qt's application thread pool and of our worker pool busy until release(),
// to show that some work on the calling thread does not wait for them. A watchdog lets them go
// after 30 s, so work that does wait ends (and release() reports it) instead of hanging the test.
class HeldWorkers {
public:
    HeldWorkers();
    ~HeldWorkers();
    HeldWorkers(const HeldWorkers &) = delete;
    HeldWorkers &operator=(const HeldWorkers &) = delete;

    // Whether every Qt pool thread and at least one of ours were taken (false only when they
    // did not start within 30 s).
    bool holding() const { return m_holding; }
    // Lets the threads go; false when the watchdog had to do it first.
    bool release();

private:
    QSemaphore m_qtStarted;
    QSemaphore m_oursStarted;
    QSemaphore m_gate;
    QSemaphore m_done;
    std::atomic<bool> m_timedOut = false;
    bool m_holding = false;
    bool m_released = false;
    std::optional<ParallelWork::Background> m_ours;
    std::thread m_watchdog;
};
