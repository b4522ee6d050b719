#pragma once

#include "textengine/PositionRanks.h"
#include "textengine/SuffixEditDistances.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The question each step of the diff's walks asks of the suffix LCS table t of a and b: how
// t(i + 1, j) compares with t(i, j + 1), answered from SuffixEditDistances in memory bounded by
// its budget, whatever the distance; no table.
//
// A token that occurs on one side only is never matched, so it adds nothing to any common
// subsequence: t(i, j) equals t'(r(i), s(j)) over the sequences without such tokens, where r(i)
// and s(j) count the tokens kept before i and j. Replaced lines are mostly new lines, so the
// sequences without them lie far closer together than a and b, and the search over them needs
// far fewer levels. The two points asked about may have different numbers of tokens left once a
// dropped token lies between them, so their LCS lengths are compared, not their distances.
class SuffixLcsOrder {
public:
    // The sequences must outlive the order. A small budget exercises the remaking of levels.
    SuffixLcsOrder(std::span<const int> a, std::span<const int> b,
                   std::size_t numberBudget = SuffixEditDistances::defaultNumberBudget);

    // Negative when t(i + 1, j) < t(i, j + 1), zero when equal, positive when greater; i < n, j < m.
    int compare(std::size_t i, std::size_t j);

    const SuffixEditDistances &distances() const { return *m_distances; }

    // See SuffixEditDistances::setLimits: after a stop, compare() answers meaninglessly.
    void setLimits(std::size_t work, const std::atomic<bool> *cancelled) { m_distances->setLimits(work, cancelled); }
    bool stopped() const { return m_distances->stopped(); }

private:
    // A side's tokens that occur on the other side too, and the ranks of their positions; both
    // empty when every token of the side is kept.
    struct KeptSide {
        std::vector<int> tokens;
        std::optional<PositionRanks> ranks;

        std::size_t rank(std::size_t position) const { return ranks ? ranks->rank(position) : position; }
    };

    // Twice t'(i, j) at a point of the kept sequences.
    std::int64_t doubledLcs(std::size_t i, std::size_t j);

    KeptSide m_keptA;
    KeptSide m_keptB;
    std::int64_t m_n = 0;
    std::int64_t m_m = 0;
    std::optional<SuffixEditDistances> m_distances;
};
