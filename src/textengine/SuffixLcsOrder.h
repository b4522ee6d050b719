#pragma once

#include "textengine/SuffixEditDistances.h"

#include <cstddef>
#include <span>

// The question each step of the diff's walks asks of the suffix LCS table t of a and b: how
// t(i + 1, j) compares with t(i, j + 1). Both have the same number of tokens left, so the
// answer is the reverse of how the edit distances d(i + 1, j) and d(i, j + 1) compare, which
// SuffixEditDistances gives in memory bounded by its budget, whatever the distance; no table.
class SuffixLcsOrder {
public:
    // The sequences must outlive the order. A small budget exercises the remaking of levels.
    SuffixLcsOrder(std::span<const int> a, std::span<const int> b,
                   std::size_t numberBudget = SuffixEditDistances::defaultNumberBudget)
        : m_distances(a, b, numberBudget)
    {
    }

    // Negative when t(i + 1, j) < t(i, j + 1), zero when equal, positive when greater; i < n, j < m.
    int compare(std::size_t i, std::size_t j)
    {
        const std::int64_t below = m_distances.distance(i + 1, j);
        const std::int64_t right = m_distances.distance(i, j + 1);
        return below < right ? 1 : (below == right ? 0 : -1);
    }

    const SuffixEditDistances &distances() const { return m_distances; }

private:
    SuffixEditDistances m_distances;
};
