#include "textengine/AnchoredLineWalks.h"

#include <algorithm>

bool walkLinesAnchored(const ComparedLines &cut, AnchoredPairs pairs, std::vector<char> *matched, AlignedRows *rows,
                       const std::atomic<bool> *cancelled)
{
    if (matched) {
        std::fill(matched->begin(), matched->end(), 0);
        for (const auto &pair : pairs)
            (*matched)[pair.second] = 1;
    }
    if (!rows)
        return true;
    const std::vector<int> &idsB = cut.edited.ids;
    const std::size_t ns = cut.original.rowCount();
    const std::size_t ms = cut.edited.rowCount();
    rows->clear();
    // The empty last lines of two texts that end with a break stand opposite each other.
    if (cut.original.endsWithBreak() && cut.edited.endsWithBreak())
        pairs.emplace_back(std::uint32_t(ns - 1), std::uint32_t(ms - 1));
    pairs.emplace_back(std::uint32_t(ns), std::uint32_t(ms));
    std::size_t i = 0;
    std::size_t j = 0;
    for (const auto &[pi, pj] : pairs) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return false;
        for (; j < pj; ++j) {
            if (idsB[j] == cut.emptyId || i >= pi)
                rows->empty();
            else
                rows->line(i++);
        }
        for (; i < pi; ++i)
            rows->line(i);
        if (pi < ns) {
            rows->line(pi);
            i = pi + 1;
            j = pj + 1;
        }
    }
    return true;
}
