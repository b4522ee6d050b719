#include "textengine/ExactLineWalks.h"

#include "textengine/SuffixLcsOrder.h"

#include <optional>
#include <span>

namespace {

// The walks look at the cancel flag every this many steps.
constexpr std::size_t exactLineWalksLookEvery = std::size_t(1) << 16;

bool exactLineWalksCancelled(const std::atomic<bool> *cancelled)
{
    return cancelled && cancelled->load(std::memory_order_relaxed);
}

} // namespace

ExactLineWalkEnd walkLinesExactly(const ComparedLines &cut, LineDiffIds &ids, std::size_t prefix,
                                  std::vector<char> *matched, AlignedRows *rows, std::size_t budget,
                                  const std::atomic<bool> *cancelled)
{
    const ComparedLines::Side &sideA = cut.original;
    const ComparedLines::Side &sideB = cut.edited;
    const std::vector<int> &idsA = sideA.ids;
    const std::vector<int> &idsB = sideB.ids;
    const std::size_t nd = sideA.diffCount();
    const std::size_t md = sideB.diffCount();
    const std::size_t ns = sideA.rowCount();
    const std::size_t ms = sideB.rowCount();
    const bool walkDiff = matched != nullptr;
    const bool walkRows = rows != nullptr;
    if (exactLineWalksCancelled(cancelled))
        return ExactLineWalkEnd::Cancelled;

    // One search serves both walks when their tables agree: every break of one kind, and both
    // texts ending with a break or both with the same last line. With both ending with a break
    // the alignment's table is the diff's plus one (the empty last lines match) but at the
    // empty last lines themselves, which it answers on its own.
    const bool bothEndWithBreak = sideA.endsWithBreak() && sideB.endsWithBreak();
    const bool sameLastLine = !sideA.endsWithBreak() && !sideB.endsWithBreak() && nd > 0 && md > 0
                              && idsA[nd - 1] == idsB[md - 1];
    const bool shared = walkDiff && walkRows && ids.oneKind() && (bothEndWithBreak || sameLastLine);
    std::optional<SuffixLcsOrder> diffOrder;
    std::optional<SuffixLcsOrder> rowOrder;
    const std::size_t numbers = SuffixEditDistances::defaultNumberBudget / (walkDiff && walkRows && !shared ? 2 : 1);
    if (walkDiff) {
        // Without a shared search, the diff's own ids.
        const std::span<const int> a = shared ? std::span<const int>(idsA.data(), nd) : ids.original();
        const std::span<const int> b = shared ? std::span<const int>(idsB.data(), md) : ids.edited();
        diffOrder.emplace(a.subspan(prefix), b.subspan(prefix), numbers);
        diffOrder->setLimits(budget, cancelled);
    }
    if (walkRows && !shared) {
        rowOrder.emplace(std::span<const int>(idsA.data() + prefix, ns - prefix),
                         std::span<const int>(idsB.data() + prefix, ms - prefix), numbers);
        rowOrder->setLimits(budget, cancelled);
    }
    auto stopped = [&] { return (diffOrder && diffOrder->stopped()) || (rowOrder && rowOrder->stopped()); };
    auto rowCompare = [&](std::size_t i, std::size_t j) {
        if (!shared)
            return rowOrder->compare(i - prefix, j - prefix);
        if (i < nd && j < md)
            return diffOrder->compare(i - prefix, j - prefix);
        // Only with both ending with a break: at the original's empty last line, or opposite
        // the edited one.
        if (i == nd)
            return j + 1 < ms ? -1 : 0;
        return 1;
    };

    // The walks go in step, the one behind first, so that both ask about the same stretch of
    // the search while it holds it.
    std::size_t di = prefix, dj = prefix;
    std::size_t ri = prefix, rj = prefix;
    if (walkRows) {
        for (std::size_t k = 0; k < prefix; ++k)
            rows->line(k);
    }
    std::size_t steps = 0;
    while (true) {
        const bool diffLeft = walkDiff && di < nd && dj < md;
        const bool rowsLeft = walkRows && ri < ns;
        if (!diffLeft && !rowsLeft)
            break;
        if (++steps % exactLineWalksLookEvery == 0 && exactLineWalksCancelled(cancelled))
            return ExactLineWalkEnd::Cancelled;
        if (diffLeft && (!rowsLeft || di + dj <= ri + rj)) {
            if (ids.equal(di, dj)) {
                (*matched)[dj] = 1;
                ++di;
                ++dj;
                continue;
            }
            const int step = diffOrder->compare(di - prefix, dj - prefix);
            if (stopped())
                break;
            if (step < 0)
                ++dj;
            else
                ++di;
            continue;
        }
        if (rj < ms && idsA[ri] == idsB[rj]) {
            rows->line(ri++);
            ++rj;
        } else if (rj >= ms) {
            rows->line(ri++);
        } else if (idsB[rj] == cut.emptyId) {
            rows->empty();
            ++rj;
        } else {
            const int step = rowCompare(ri, rj);
            if (stopped())
                break;
            if (step < 0) {
                rows->empty();
                ++rj;
            } else {
                rows->line(ri++);
                if (step == 0)
                    ++rj;
            }
        }
    }
    if (exactLineWalksCancelled(cancelled))
        return ExactLineWalkEnd::Cancelled;
    if (stopped())
        return ExactLineWalkEnd::BudgetSpent;
    if (walkRows) {
        for (; rj < ms; ++rj)
            rows->empty();
    }
    return ExactLineWalkEnd::Finished;
}
