#include "textengine/SuffixLcsOrder.h"

namespace {

// About the work of the table (one pass of n rows of m / 64 words, and a walk that counts bits
// in a row per step), in steps of the distance search, which are of similar cost.
std::size_t tableWork(std::size_t n, std::size_t m)
{
    return (n + m + 2) * (m / 64 + 1) * 2 + 65536;
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
        // The distance of the whole problem bounds those the walk needs along its way; when it
        // is out of reach (it is at least the difference in length), the table serves the walk.
        const std::size_t apart = m_a.size() > m_b.size() ? m_a.size() - m_b.size() : m_b.size() - m_a.size();
        if (apart >= m_levelBudget || !m_distances.distance(0, 0))
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
