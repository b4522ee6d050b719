#include "support/HeldWorkers.h"

#include <QThreadPool>

namespace {

constexpr int watchdogMs = 30'000;
// More than either pool ever has threads, so that every waiting piece gets through.
constexpr int plenty = 1000;

} // namespace

HeldWorkers::HeldWorkers()
{
    QThreadPool *qt = QThreadPool::globalInstance();
    const int qtThreads = qt->maxThreadCount();
    for (int i = 0; i < qtThreads; ++i) {
        qt->start([this] {
            m_qtStarted.release();
            m_gate.acquire();
        });
    }
    // One piece on the pool, which hands the rest of the pieces to every other thread of the pool.
    m_ours.emplace([this] {
        ParallelWork::forEach(64, [this](int) {
            m_oursStarted.release();
            m_gate.acquire();
        });
    });
    m_holding = m_qtStarted.tryAcquire(qtThreads, watchdogMs) && m_oursStarted.tryAcquire(1, watchdogMs);
    m_watchdog = std::thread([this] {
        if (!m_done.tryAcquire(1, watchdogMs)) {
            m_timedOut = true;
            m_gate.release(plenty);
        }
    });
}

HeldWorkers::~HeldWorkers()
{
    release();
}

bool HeldWorkers::release()
{
    if (!m_released) {
        m_released = true;
        m_done.release();
        m_watchdog.join();
        m_gate.release(plenty);
        m_ours->wait();
        QThreadPool::globalInstance()->waitForDone();
    }
    return !m_timedOut;
}
