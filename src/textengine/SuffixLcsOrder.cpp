#include "textengine/SuffixLcsOrder.h"

#include <algorithm>

namespace {

// The side without the tokens whose bit `other` is not set in `sides`; nothing when all are kept.
void suffixLcsOrderKeep(std::span<const int> tokens, const std::vector<std::uint8_t> &sides, std::uint8_t other,
                        std::vector<int> &kept, std::optional<PositionRanks> &ranks)
{
    const bool dropsAny = std::any_of(tokens.begin(), tokens.end(),
                                      [&](int s) { return (sides[std::size_t(s)] & other) == 0; });
    if (!dropsAny)
        return;
    ranks.emplace();
    for (int s : tokens) {
        const bool keep = (sides[std::size_t(s)] & other) != 0;
        ranks->push(keep);
        if (keep)
            kept.push_back(s);
    }
    kept.shrink_to_fit();
}

} // namespace

SuffixLcsOrder::SuffixLcsOrder(std::span<const int> a, std::span<const int> b, std::size_t numberBudget)
{
    int symbols = 0;
    for (int s : a)
        symbols = std::max(symbols, s + 1);
    for (int s : b)
        symbols = std::max(symbols, s + 1);
    // Bit 1: the token occurs in a; bit 2: in b.
    std::vector<std::uint8_t> sides(std::size_t(symbols), 0);
    for (int s : a)
        sides[std::size_t(s)] |= 1;
    for (int s : b)
        sides[std::size_t(s)] |= 2;
    suffixLcsOrderKeep(a, sides, 2, m_keptA.tokens, m_keptA.ranks);
    suffixLcsOrderKeep(b, sides, 1, m_keptB.tokens, m_keptB.ranks);
    sides = {};
    const std::span<const int> keptA = m_keptA.ranks ? std::span<const int>(m_keptA.tokens) : a;
    const std::span<const int> keptB = m_keptB.ranks ? std::span<const int>(m_keptB.tokens) : b;
    m_n = std::int64_t(keptA.size());
    m_m = std::int64_t(keptB.size());
    // The copies count against the budget (up to half of it), so that leaving tokens out never
    // takes more memory than searching over all of them would.
    const std::size_t copied = m_keptA.tokens.size() + m_keptB.tokens.size();
    m_distances.emplace(keptA, keptB, numberBudget - std::min(copied, numberBudget / 2));
}

std::int64_t SuffixLcsOrder::doubledLcs(std::size_t i, std::size_t j)
{
    return (m_n - std::int64_t(i)) + (m_m - std::int64_t(j)) - m_distances->distance(i, j);
}

int SuffixLcsOrder::compare(std::size_t i, std::size_t j)
{
    const std::size_t i0 = m_keptA.rank(i);
    const std::size_t i1 = m_keptA.rank(i + 1);
    const std::size_t j0 = m_keptB.rank(j);
    const std::size_t j1 = m_keptB.rank(j + 1);
    // Both tokens dropped: the same point of the kept sequences.
    if (i0 == i1 && j0 == j1)
        return 0;
    const std::int64_t below = doubledLcs(i1, j0);
    const std::int64_t right = doubledLcs(i0, j1);
    return below < right ? -1 : (below == right ? 0 : 1);
}
