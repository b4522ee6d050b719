#include "textengine/SuffixLcsOrder.h"

#include <algorithm>
#include <cstdint>

namespace {

// About the work of the table (one pass of n rows of m / 64 words, and a walk that counts bits
// in a row per step), in steps of the distance search, which are of similar cost.
std::size_t tableWork(std::size_t n, std::size_t m)
{
    return (n + m + 2) * (m / 64 + 1) * 2 + 65536;
}

// A lower bound of the edit distance of a and b: the LCS holds no more of a token than the
// fewer of its counts on the two sides. Exact for edits that bring new lines.
std::size_t distanceLowerBound(const std::vector<int> &a, const std::vector<int> &b)
{
    int symbols = 0;
    for (int s : a)
        symbols = std::max(symbols, s + 1);
    for (int s : b)
        symbols = std::max(symbols, s + 1);
    std::vector<std::int64_t> balance(std::size_t(symbols), 0);
    for (int s : a)
        ++balance[std::size_t(s)];
    for (int s : b)
        --balance[std::size_t(s)];
    std::size_t bound = 0;
    for (std::int64_t count : balance)
        bound += std::size_t(count < 0 ? -count : count);
    return bound;
}

} // namespace

SuffixLcsOrder::SuffixLcsOrder(const std::vector<int> &a, const std::vector<int> &b, std::size_t levelBudget)
    : m_a(a)
    , m_b(b)
    , m_levelBudget(levelBudget)
    , m_distances(a, b, tableWork(a.size(), b.size()), levelBudget)
{
}

SuffixLcsTable &SuffixLcsOrder::table()
{
    if (!m_table)
        m_table = std::make_unique<SuffixLcsTable>(m_a, m_b, fullTableBitBudget);
    return *m_table;
}

int SuffixLcsOrder::compare(std::size_t i, std::size_t j)
{
    if (!m_started) {
        m_started = true;
        // The distance of the whole problem bounds those the walk needs along its way. When it is
        // surely out of reach (beyond the levels allowed, or its levels alone would cost more
        // than the table), or turns out to be, the table serves the walk.
        const std::size_t bound = distanceLowerBound(m_a, m_b);
        if (bound >= m_levelBudget || bound * bound / 2 > tableWork(m_a.size(), m_b.size())
            || !m_distances.distance(0, 0))
            table();
    }
    if (!m_table) {
        const auto below = m_distances.distance(i + 1, j);
        const auto right = below ? m_distances.distance(i, j + 1) : std::nullopt;
        if (below && right)
            return *below < *right ? 1 : (*below == *right ? 0 : -1);
    }
    SuffixLcsTable &t = table();
    const std::int64_t below = t.value(i + 1, j);
    const std::int64_t right = t.value(i, j + 1);
    return below < right ? -1 : (below == right ? 0 : 1);
}
