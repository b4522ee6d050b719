#pragma once

#include <cstddef>
#include <span>

// The work (diagonal entries and snake steps) the exact line search may do before the comparison
// anchors on lines found once on each side instead, for the lines' ids a and b in [0, idCount).
//
// Where such lines make up a quarter of the texts or more (prose and code, whether edited in
// place, rewritten or reordered), the anchoring finds about as long a common subsequence as the
// search, and far sooner once lines moved: the search gets work for a few passes over the texts,
// which edits in place need, and no more. Texts made mostly of repeated lines (blank lines,
// braces, a few words over and over) give the anchoring little to hold on to, so the search gets
// far more there, up to about a tenth of a second. Either way the work is proportional to the
// texts.
std::size_t lineSearchBudget(std::span<const int> a, std::span<const int> b, int idCount);
