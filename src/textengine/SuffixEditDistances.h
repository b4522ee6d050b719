#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Insert/delete distances between the suffixes a[i..n) and b[j..m) of two sequences of token
// ids, d(i, j) = (n - i) + (m - j) - 2 * t(i, j) with t the suffix LCS length, found by the greedy
// furthest-reaching search that starts at the ends of both sequences (Myers, 1986).
//
// Level d of the search holds, for each diagonal k = (n - i) - (m - j) with |k| <= d and the
// parity of d, the largest n - i whose point on that diagonal lies within distance d of the end.
// Along a diagonal the distance never grows towards the end, so d(i, j) is the first level whose
// entry reaches the point: a binary search over the levels. Two texts that differ by D edits
// need about D levels, O((n + m) D) time at worst and D² / 2 numbers, instead of the n × m of a
// full table; levels are added lazily when a walk strays further from the common subsequence.
//
// The search gives up (distance() returns nothing) once it has done more than `workBudget` steps
// or would hold more than `levelBudget` levels; callers then fall back to the table.
class SuffixEditDistances {
public:
    SuffixEditDistances(const std::vector<int> &a, const std::vector<int> &b, std::size_t workBudget,
                        std::size_t levelBudget);

    std::optional<std::int64_t> distance(std::size_t i, std::size_t j);

    std::size_t levels() const { return m_levels; }

private:
    bool addLevel();
    std::int32_t furthest(std::size_t level, std::int64_t diagonal) const;

    const std::vector<int> &m_a;
    const std::vector<int> &m_b;
    std::int64_t m_n = 0;
    std::int64_t m_m = 0;
    std::size_t m_workBudget = 0;
    std::size_t m_levelBudget = 0;
    std::size_t m_work = 0;
    std::size_t m_levels = 0;
    bool m_gaveUp = false;
    // Level d starts at d(d + 1) / 2; diagonal k sits at (k + d) / 2 within it. -1 marks a
    // diagonal that lies outside the grid.
    std::vector<std::int32_t> m_furthest;
};
