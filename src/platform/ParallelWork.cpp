#include "platform/ParallelWork.h"

#include <QRunnable>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace ParallelWork {

namespace {

// A pool of our own rather than the application's: the painter checks the application pool on
// every large fill (to split the fill over it), under a lock, and painting from that pool's own
// threads makes the checks contend. The pool lives as long as the process; its threads wait idle
// between pieces of work.
QThreadPool *pool()
{
    static QThreadPool *const instance = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 8));
        p->setExpiryTimeout(-1);
        return p;
    }();
    return instance;
}

} // namespace

void forEach(int count, const std::function<void(int)> &work)
{
    if (count <= 0)
        return;
    std::atomic<int> next{0};
    std::mutex failureMutex;
    std::exception_ptr failure;
    // A piece that throws stops the hand-out of new pieces; the first exception is kept for the
    // calling thread. Nothing may escape on a pool thread, and the caller may not unwind while
    // helpers still use its stack.
    auto drain = [&] {
        for (int i = next++; i < count; i = next++) {
            try {
                work(i);
            } catch (...) {
                next = count;
                const std::lock_guard lock(failureMutex);
                if (!failure)
                    failure = std::current_exception();
            }
        }
    };
    QThreadPool *const pool = ParallelWork::pool();
    // The calling thread is one of the workers.
    const int helpers = std::min(count - 1, pool->maxThreadCount());
    if (helpers > 0) {
        QSemaphore finished;
        std::vector<std::unique_ptr<QRunnable>> runnables;
        runnables.reserve(size_t(helpers));
        for (int i = 0; i < helpers; ++i) {
            runnables.emplace_back(QRunnable::create([&] {
                drain();
                finished.release();
            }));
            runnables.back()->setAutoDelete(false);
            pool->start(runnables.back().get());
        }
        drain();
        // Helpers still waiting in the queue are not needed any more: everything is done or taken.
        int running = 0;
        for (const std::unique_ptr<QRunnable> &runnable : runnables) {
            if (!pool->tryTake(runnable.get()))
                ++running;
        }
        finished.acquire(running);
    } else {
        drain();
    }
    if (failure)
        std::rethrow_exception(failure);
}

struct Background::State {
    std::function<void()> work;
    std::atomic<bool> claimed{false};
    QSemaphore done;
    std::exception_ptr failure; // written before done is released, read after it is acquired

    // Runs the work unless another thread has claimed it; true when this call ran it. An
    // exception is kept for the waiting thread instead of escaping on a pool thread.
    bool runOnce()
    {
        if (claimed.exchange(true))
            return false;
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        done.release();
        return true;
    }
};

Background::Background(std::function<void()> work) : m_state(std::make_shared<State>())
{
    m_state->work = std::move(work);
    // The runnable holds the state: a pool thread may reach it after the work was done here.
    pool()->start([state = m_state] { state->runOnce(); });
}

Background::~Background()
{
    try {
        wait();
    } catch (...) {
        // Nobody asked for the result, and a destructor may not throw: the failure is dropped.
    }
}

void Background::wait()
{
    if (m_waited)
        return;
    m_waited = true;
    if (!m_state->runOnce())
        m_state->done.acquire();
    if (m_state->failure)
        std::rethrow_exception(std::exchange(m_state->failure, nullptr));
}

} // namespace ParallelWork
