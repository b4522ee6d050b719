#pragma once

#include "model/TextComparisonState.h"
#include "textengine/TextComparisonExecutor.h"
#include "textengine/TextComparisonResult.h"

#include <deque>
#include <functional>

// Runs every search at once on the calling thread: the window behaves as if comparisons were
// instant, so tests of what the editor shows stay deterministic.
class InlineComparisonExecutor final : public TextComparisonExecutor {
public:
    void start(std::function<void()> job) override { job(); }
};

// Holds every search until the test runs it: a search that is "running" for as long as the test
// needs, answered in any order.
class HeldComparisonExecutor final : public TextComparisonExecutor {
public:
    void start(std::function<void()> job) override { m_jobs.push_back(std::move(job)); }

    std::size_t held() const { return m_jobs.size(); }
    // Runs the held search at `index` (0 = the oldest) on the calling thread.
    void run(std::size_t index);
    void runAll();

private:
    std::deque<std::function<void()>> m_jobs;
};

// The comparison of the state's texts, as the window's session computes it.
TextComparisonResult comparisonOf(const TextComparisonState &state);
