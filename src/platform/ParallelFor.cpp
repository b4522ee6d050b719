#include "platform/ParallelFor.h"

#include <QThreadPool>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace ParallelFor {

namespace {

// Shared by the caller and the helpers it started; the last helper to finish wakes the caller.
struct Batch {
    explicit Batch(qsizetype count, const std::function<void(qsizetype)> &body) : count(count), body(body) {}

    void work()
    {
        for (qsizetype i = next++; i < count; i = next++)
            body(i);
    }

    const qsizetype count;
    const std::function<void(qsizetype)> &body;
    std::atomic<qsizetype> next = 0;
    std::mutex mutex;
    std::condition_variable finished;
    int running = 0;
};

} // namespace

void forEachIndex(qsizetype count, const std::function<void(qsizetype)> &body)
{
    if (count <= 0)
        return;
    Batch batch(count, body);
    QThreadPool *pool = QThreadPool::globalInstance();
    const qsizetype helpers = std::min<qsizetype>(count - 1, std::max(pool->maxThreadCount() - 1, 0));
    for (qsizetype h = 0; h < helpers; ++h) {
        {
            const std::lock_guard lock(batch.mutex);
            ++batch.running;
        }
        // Only free threads are taken: a helper queued behind other work would make the caller wait
        // for that work as well.
        const bool started = pool->tryStart([&batch] {
            batch.work();
            const std::lock_guard lock(batch.mutex);
            if (--batch.running == 0)
                batch.finished.notify_all();
        });
        if (!started) {
            const std::lock_guard lock(batch.mutex);
            --batch.running;
            break;
        }
    }
    batch.work();
    std::unique_lock lock(batch.mutex);
    batch.finished.wait(lock, [&batch] { return batch.running == 0; });
}

} // namespace ParallelFor
