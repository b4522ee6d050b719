#pragma once

#include <functional>
#include <memory>

// Where the text comparison's searches run. The program starts each on a thread of its own; tests
// run them inline or hold them until they say so, which keeps them deterministic at any size.
class TextComparisonExecutor {
public:
    virtual ~TextComparisonExecutor() = default;
    // Runs `job` once, now or later, on this or another thread. The job holds everything it
    // needs by value, so it may outlive whoever started it. Throws when it cannot be started.
    virtual void start(std::function<void()> job) = 0;
};

namespace TextComparisonExecutors {

// Each job on a thread of its own at background priority, so a short search started later never
// queues behind a long one that is still winding down after its cancellation. Nothing waits for
// these threads while the window lives; the application's end waits for those still running
// (their searches were cancelled by then and stop at their next check).
std::shared_ptr<TextComparisonExecutor> threaded();

} // namespace TextComparisonExecutors
