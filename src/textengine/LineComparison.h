#pragma once

#include <QString>

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

// The line-level comparison behind TextComparisonDiff::compare: one cut of both texts into
// lines, one search, and from it both the diff's walk (the edited lines outside the common
// subsequence) and the alignment's walk (the original with empty rows opposite edited lines
// that have no counterpart).
//
// In steps: the cut and the lines' ids (ComparedLines, LineDiffIds); the exact walks over the
// longest common subsequence, within a budget of work proportional to the texts
// (ExactLineWalks, LineSearchBudget); past it (lines that moved: sorted, reversed, shuffled,
// swapped, or rewritten throughout) the fallback, a common subsequence found by anchoring on
// lines that occur once on each side (AnchoredMatches), still a correct diff, and the alignment
// made from the same pairs (AnchoredLineWalks); the aligned text itself (AlignedRows).
struct LineComparison {
    // The edited lines outside the common subsequence, as code-unit ranges, not yet merged.
    std::vector<std::pair<qsizetype, qsizetype>> changedRanges;
    QString alignedOriginal;
    // Whether the budget ran out and the anchored common subsequence gave the answers.
    bool anchored = false;
};

enum class LineComparisonStage { Searching, Anchoring };

struct LineComparisonOptions {
    // Diagonal entries and snake steps the exact search may visit; lineSearchBudget by default.
    std::optional<std::size_t> workBudget;
    // Told when a stage begins, on the comparing thread (tests raise the cancel flag here).
    std::function<void(LineComparisonStage)> reached;
};

// Without `wantChanges` only the aligned original is made. Nothing once `cancelled` is raised.
std::optional<LineComparison> compareByLines(const QString &original, const QString &edited, bool wantChanges,
                                             const std::atomic<bool> *cancelled,
                                             const LineComparisonOptions &options = {});
