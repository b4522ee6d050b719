#include "support/ComparisonExecutors.h"

#include "textengine/TextComparisonDiff.h"

void HeldComparisonExecutor::run(std::size_t index)
{
    std::function<void()> job = std::move(m_jobs.at(index));
    m_jobs.erase(m_jobs.begin() + std::ptrdiff_t(index));
    job();
}

void HeldComparisonExecutor::runAll()
{
    while (!m_jobs.empty())
        run(0);
}

TextComparisonResult comparisonOf(const TextComparisonState &state)
{
    return *TextComparisonDiff::compare(state.originalText, state.editedText);
}
