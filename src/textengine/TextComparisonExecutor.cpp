#include "textengine/TextComparisonExecutor.h"

#include "platform/ThreadPriority.h"

#include <QCoreApplication>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// The search threads still running. It lives as long as the process: a thread's last step is to
// sign off here, possibly after the application has gone.
struct ComparisonThreadCount {
    std::mutex mutex;
    std::condition_variable signedOff;
    int running = 0;
};

ComparisonThreadCount &comparisonThreadCount()
{
    static ComparisonThreadCount *const instance = new ComparisonThreadCount;
    return *instance;
}

// At the application's end, before the process's statics go: the searches still running were
// cancelled with their window and end at their next check of the flag.
void awaitComparisonThreads()
{
    ComparisonThreadCount &count = comparisonThreadCount();
    std::unique_lock lock(count.mutex);
    count.signedOff.wait(lock, [&count] { return count.running == 0; });
}

class ThreadedComparisonExecutor final : public TextComparisonExecutor {
public:
    void start(std::function<void()> job) override
    {
        static const bool registered = [] {
            if (QCoreApplication::instance())
                qAddPostRoutine(awaitComparisonThreads);
            return true;
        }();
        (void)registered;
        ComparisonThreadCount &count = comparisonThreadCount();
        {
            const std::lock_guard lock(count.mutex);
            ++count.running;
        }
        try {
            std::thread([job = std::move(job), &count]() mutable {
                ThreadPriority::lowerForBackgroundWork();
                {
                    // Everything the job holds goes before the thread signs off.
                    const std::function<void()> work = std::move(job);
                    try {
                        work();
                    } catch (...) {
                        // The job reports its own failures; nothing may leave a thread.
                    }
                }
                const std::lock_guard lock(count.mutex);
                --count.running;
                count.signedOff.notify_all();
            }).detach();
        } catch (...) {
            // No thread to be had: the starter hears of it and treats the search as failed.
            {
                const std::lock_guard lock(count.mutex);
                --count.running;
                count.signedOff.notify_all();
            }
            throw;
        }
    }
};

} // namespace

namespace TextComparisonExecutors {

std::shared_ptr<TextComparisonExecutor> threaded()
{
    return std::make_shared<ThreadedComparisonExecutor>();
}

} // namespace TextComparisonExecutors
