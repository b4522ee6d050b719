#include "platform/ParallelWork.h"

#include <QSemaphore>
#include <gtest/gtest.h>

#include <atomic>

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
