#include "platform/ParallelWork.h"

#include <QSemaphore>
#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <stdexcept>
#include <string>

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
    QSemaphore release;
    QSemaphore started;
    std::atomic<int> blockers{0};
    std::atomic<bool> blocking{true};
    ParallelWork::Background hold([&] {
        ParallelWork::forEach(64, [&](int) {
            if (!blocking)
                return;
            ++blockers;
            started.release();
            release.acquire();
        });
    });
    started.acquire(); // at least one thread is held
    {
        ParallelWork::Background work([&] { ++runs; });
        work.wait();
    }
    EXPECT_EQ(runs, 2);
    blocking = false;
    release.release(1000);
    hold.wait();
}

TEST(ParallelWork, AThrowingPieceStopsTheHandOutAndReachesTheCaller)
{
    // Each piece takes a moment, so helpers are still busy when index 3 throws; the caller
    // gets the exception only after they are done (ASan would catch a use of its stack).
    for (const int count : {1, 2, 200}) {
        std::atomic<int> started{0};
        std::atomic<int> running{0};
        std::atomic<int> maxAfterThrow{0};
        const int throwing = std::min(3, count - 1);
        try {
            ParallelWork::forEach(count, [&](int i) {
                ++started;
                ++running;
                QThread::msleep(2);
                --running;
                if (i == throwing)
                    throw std::runtime_error("piece " + std::to_string(i));
            });
            ADD_FAILURE() << "no exception for " << count;
        } catch (const std::runtime_error &error) {
            EXPECT_EQ(std::string(error.what()), "piece " + std::to_string(throwing));
        }
        EXPECT_EQ(running, 0) << "pieces still running when the caller resumed";
        EXPECT_LE(started, std::min(count, 3 + 16)) << "the hand-out went on";
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
