#pragma once

#include "textengine/SuffixEditDistances.h"
#include "textengine/SuffixLcsTable.h"

#include <cstddef>
#include <memory>
#include <vector>

// The question each step of the diff's walks asks of the suffix LCS table t of a and b: how
// t(i + 1, j) compares with t(i, j + 1). Both have the same number of tokens left, so the
// answer is the reverse of how the edit distances d(i + 1, j) and d(i, j + 1) compare, and texts
// that differ in few places are answered from SuffixEditDistances without any table. When
// those distances would cost more than the table (texts that differ almost everywhere), the
// bit-parallel table answers instead, from that step on; both give the same values, so the
// walk is the same either way.
class SuffixLcsOrder {
public:
    // Table sizes above this many bits keep only every k-th row (16 MiB).
    static constexpr std::size_t fullTableBitBudget = std::size_t(1) << 27;
    // At most this many levels of distances (about 16 MiB of numbers).
    static constexpr std::size_t distanceLevelBudget = 2896;

    // The sequences must outlive the order. The budgets may be lowered to exercise the fallback.
    SuffixLcsOrder(const std::vector<int> &a, const std::vector<int> &b,
                   std::size_t levelBudget = distanceLevelBudget);

    // Negative when t(i + 1, j) < t(i, j + 1), zero when equal, positive when greater; i < n, j < m.
    int compare(std::size_t i, std::size_t j);

private:
    SuffixLcsTable &table();

    const std::vector<int> &m_a;
    const std::vector<int> &m_b;
    std::size_t m_levelBudget = 0;
    bool m_started = false;
    SuffixEditDistances m_distances;
    std::unique_ptr<SuffixLcsTable> m_table;
};
