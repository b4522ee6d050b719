#include "textengine/LineComparison.h"

#include "textengine/AlignedRows.h"
#include "textengine/AnchoredLineWalks.h"
#include "textengine/AnchoredMatches.h"
#include "textengine/ComparedLines.h"
#include "textengine/ExactLineWalks.h"
#include "textengine/LineDiffIds.h"
#include "textengine/LineSearchBudget.h"

std::optional<LineComparison> compareByLines(const QString &original, const QString &edited, bool wantChanges,
                                             const std::atomic<bool> *cancelled, const LineComparisonOptions &options)
{
    std::optional<ComparedLines> cut = compareLines(original, edited, cancelled);
    if (!cut)
        return std::nullopt;
    const ComparedLines::Side &sideA = cut->original;
    const ComparedLines::Side &sideB = cut->edited;
    const std::size_t nd = sideA.diffCount();
    const std::size_t md = sideB.diffCount();
    LineDiffIds ids(*cut);

    std::size_t prefix = 0;
    while (prefix < nd && prefix < md && ids.equal(prefix, prefix))
        ++prefix;
    const bool walkDiff = wantChanges && !(prefix == nd && prefix == md);
    const bool walkRows = sideA.ids != sideB.ids;

    AlignedRows rows(original, sideA);
    std::vector<char> matched;
    if (walkDiff)
        matched.assign(md, 0);
    std::fill(matched.begin(), matched.begin() + std::ptrdiff_t(std::min(prefix, matched.size())), 1);
    if (!walkRows) {
        for (std::size_t k = 0; k < sideA.rowCount(); ++k)
            rows.line(k);
    }

    // The exact search, within its budget.
    const std::size_t budget = options.workBudget.value_or(lineSearchBudget(sideA.ids, sideB.ids, cut->idCount));
    if (options.reached)
        options.reached(LineComparisonStage::Searching);
    const ExactLineWalkEnd end = walkLinesExactly(*cut, ids, prefix, walkDiff ? &matched : nullptr,
                                                  walkRows ? &rows : nullptr, budget, cancelled);
    if (end == ExactLineWalkEnd::Cancelled)
        return std::nullopt;

    LineComparison result;
    if (end == ExactLineWalkEnd::BudgetSpent) {
        // The fallback: both answers from one common subsequence that anchors on lines found
        // once a side.
        if (options.reached)
            options.reached(LineComparisonStage::Anchoring);
        std::optional<AnchoredPairs> pairs = anchoredMatches(ids.original(), ids.edited(), ids.idCount(), cancelled);
        ids.release();
        if (!pairs
            || !walkLinesAnchored(*cut, std::move(*pairs), walkDiff ? &matched : nullptr, walkRows ? &rows : nullptr,
                                  cancelled))
            return std::nullopt;
        result.anchored = true;
    }

    if (walkDiff) {
        for (std::size_t k = 0; k < md; ++k) {
            if (!matched[k]) {
                const TokenSpan span = sideB.lines[k];
                result.changedRanges.emplace_back(span.start, span.end);
            }
        }
    }
    result.alignedOriginal = rows.take();
    return result;
}
