#include "platform/ParallelWork.h"

#include <QSemaphore>
#include <gtest/gtest.h>

#include <QThread>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Holds every thread of the shared pool in a piece of work until released, so that work started
// meanwhile runs on the calling thread alone, in order.
class PoolHold {
public:
    PoolHold()
        : m_hold([this] {
              ParallelWork::forEach(64, [this](int) {
                  if (!m_blocking)
                      return;
                  m_started.release();
                  m_release.acquire();
              });
          })
    {
        // The pool's size is the one it is made with; every one of its threads is held once that
        // many pieces have started.
        m_started.acquire(std::clamp(QThread::idealThreadCount(), 1, 8));
    }
    ~PoolHold()
    {
        m_blocking = false;
        m_release.release(1000);
        m_hold.wait();
    }
    PoolHold(const PoolHold &) = delete;
    PoolHold &operator=(const PoolHold &) = delete;

private:
    QSemaphore m_release;
    QSemaphore m_started;
    std::atomic<bool> m_blocking{true};
    ParallelWork::Background m_hold;
};

} // namespace

TEST(ParallelWork, BackgroundWorkRunsOnceEvenWhenThePoolIsBusy)
{
    // Free pool: the work runs once, and waiting (again, or by going out of scope) is harmless.
    std::atomic<int> runs{0};
    {
        ParallelWork::Background work([&] { ++runs; });
        work.wait();
        EXPECT_EQ(runs, 1);
        work.wait();
    }
    EXPECT_EQ(runs, 1);

    // Every pool thread held up: waiting does the work on the waiting thread instead of stalling.
    const PoolHold hold;
    ParallelWork::Background work([&] { ++runs; });
    work.wait();
    EXPECT_EQ(runs, 2);
}

TEST(ParallelWork, AThrowingPieceStopsTheHandOutAndReachesTheCaller)
{
    // On a free pool, whatever the scheduling: the first exception reaches the caller, and only
    // after every started piece has finished (ASan would catch a use of the caller's stack).
    for (const int count : {1, 2, 200}) {
        std::atomic<int> running{0};
        const int throwing = std::min(3, count - 1);
        try {
            ParallelWork::forEach(count, [&](int i) {
                ++running;
                QThread::msleep(1);
                --running;
                if (i == throwing)
                    throw std::runtime_error("piece " + std::to_string(i));
            });
            ADD_FAILURE() << "no exception for " << count;
        } catch (const std::runtime_error &error) {
            EXPECT_EQ(std::string(error.what()), "piece " + std::to_string(throwing));
        }
        EXPECT_EQ(running, 0) << "pieces still running when the caller resumed";
    }

    // With every pool thread held, the pieces run on the calling thread in order, so the stop of
    // the hand-out can be seen exactly: nothing after the throwing piece starts.
    {
        const PoolHold hold;
        std::vector<int> started;
        EXPECT_THROW(ParallelWork::forEach(200,
                                           [&](int i) {
                                               started.push_back(i);
                                               if (i == 3)
                                                   throw std::runtime_error("piece 3");
                                           }),
                     std::runtime_error);
        EXPECT_EQ(started, (std::vector<int>{0, 1, 2, 3}));
    }

    // Work in the background that throws reports it to the waiting thread, once.
    ParallelWork::Background failing([] { throw std::logic_error("background"); });
    EXPECT_THROW(failing.wait(), std::logic_error);
    EXPECT_NO_THROW(failing.wait());
    { ParallelWork::Background dropped([] { throw std::logic_error("nobody waits"); }); }

    // The pool is still whole afterwards.
    std::atomic<int> sum{0};
    ParallelWork::forEach(100, [&](int i) { sum += i; });
    EXPECT_EQ(sum, 4950);
}
