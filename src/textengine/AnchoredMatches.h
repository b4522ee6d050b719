#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

// A common subsequence of two sequences of token ids found without the search for the longest
// one, for texts whose lines moved so much that the search would take too long: pairs (i, j)
// with a[i] == b[j], increasing in both, so that the tokens of b outside them are a correct diff.
//
// Equal heads and tails are matched first; then the tokens that occur exactly once on each side
// (or, when there are none, those of the rarest shared token) anchor the longest chain of pairs
// that stand in the same order on both sides, and the parts between the anchors are compared
// again, recursively; parts that have become small get the exact walk of the diff. When that
// leaves fewer pairs than half the shorter sequence (lines found once that moved far, as
// functions of a program reordered), the tokens repeated on both sides are walked on their own
// too, and their pairs kept when there are more. The time is about linear in the texts for most
// shapes and bounded in all: past a budget of work the parts left keep no pairs.
//
// Ids must lie in [0, idCount). Nothing once `cancelled` is raised.
using AnchoredPairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
std::optional<AnchoredPairs> anchoredMatches(std::span<const int> a, std::span<const int> b, int idCount,
                                             const std::atomic<bool> *cancelled);
