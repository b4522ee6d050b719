#include "textengine/SuffixEditDistances.h"

#include <algorithm>
#include <cstdlib>

SuffixEditDistances::SuffixEditDistances(const std::vector<int> &a, const std::vector<int> &b,
                                         std::size_t workBudget, std::size_t levelBudget)
    : m_a(a)
    , m_b(b)
    , m_n(std::int64_t(a.size()))
    , m_m(std::int64_t(b.size()))
    , m_workBudget(workBudget)
    , m_levelBudget(levelBudget)
{
}

std::int32_t SuffixEditDistances::furthest(std::size_t level, std::int64_t diagonal) const
{
    const std::size_t base = level * (level + 1) / 2;
    return m_furthest[base + std::size_t((diagonal + std::int64_t(level)) / 2)];
}

// Positions are counted from the ends: x tokens of a and y tokens of b lie behind the point, and
// the point (x, y) is (i, j) = (n - x, m - y). Diagonal k = x - y runs over [-m, n].
bool SuffixEditDistances::addLevel()
{
    if (m_gaveUp || m_levels >= m_levelBudget || m_work > m_workBudget) {
        m_gaveUp = true;
        return false;
    }
    const std::size_t d = m_levels;
    const std::int64_t level = std::int64_t(d);
    const std::size_t base = d * (d + 1) / 2;
    m_furthest.resize(base + d + 1);
    m_work += d + 1;
    for (std::int64_t k = -level; k <= level; k += 2) {
        std::int32_t &slot = m_furthest[base + std::size_t((k + level) / 2)];
        if (k < -m_m || k > m_n) {
            slot = -1;
            continue;
        }
        std::int64_t x = -1;
        if (d == 0) {
            x = 0;
        } else {
            // A step that consumes one token of b, from diagonal k + 1. Where that diagonal's
            // furthest point already stands on the last row, the point one before it (no farther
            // from the end, so no farther in distance) makes the step instead.
            if (k + 1 <= level - 1) {
                const std::int64_t from = furthest(d - 1, k + 1);
                if (from >= 0)
                    x = std::max(x, std::min(from, m_m + k));
            }
            // A step that consumes one token of a, from diagonal k - 1; the same at the last column.
            if (k - 1 >= -(level - 1)) {
                const std::int64_t from = furthest(d - 1, k - 1);
                if (from >= 0)
                    x = std::max(x, std::min(from + 1, m_n));
            }
            // Whatever lay within d - 2 lies within d.
            if (std::abs(k) <= level - 2)
                x = std::max<std::int64_t>(x, furthest(d - 2, k));
        }
        // Every diagonal inside the grid has a point within |k| <= d steps of the end.
        std::int64_t y = x - k;
        const std::int64_t start = x;
        while (x < m_n && y < m_m && m_a[std::size_t(m_n - 1 - x)] == m_b[std::size_t(m_m - 1 - y)]) {
            ++x;
            ++y;
        }
        m_work += std::size_t(x - start);
        slot = std::int32_t(x);
    }
    ++m_levels;
    return true;
}

std::optional<std::int64_t> SuffixEditDistances::distance(std::size_t i, std::size_t j)
{
    const std::int64_t x = m_n - std::int64_t(i);
    const std::int64_t y = m_m - std::int64_t(j);
    const std::int64_t k = x - y;
    const std::size_t lowest = std::size_t(std::abs(k));
    // The highest level computed so far with the parity of k.
    auto top = [&]() -> std::int64_t {
        if (m_levels == 0)
            return -1;
        std::int64_t t = std::int64_t(m_levels) - 1;
        if ((t - std::int64_t(lowest)) % 2 != 0)
            --t;
        return t;
    };
    while (top() < std::int64_t(lowest) || furthest(std::size_t(top()), k) < x) {
        if (!addLevel())
            return std::nullopt;
    }
    // The first level (lowest, lowest + 2, ...) whose entry on diagonal k reaches x.
    std::size_t low = 0;
    std::size_t high = (std::size_t(top()) - lowest) / 2;
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (furthest(lowest + 2 * middle, k) >= x)
            high = middle;
        else
            low = middle + 1;
    }
    return std::int64_t(lowest + 2 * low);
}
