#include "textengine/SuffixEditDistances.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The window never shrinks below this many levels: a walk asks for the levels a few steps
// around the distance it has left.
constexpr std::size_t suffixDistancesLeastWindow = 8;
// A window made for a walk that goes down reaches this far above the level asked for.
constexpr std::size_t suffixDistancesHeadroom = 4;
// The cancel flag is looked at after this much work (well under a millisecond).
constexpr std::size_t suffixDistancesLookEvery = std::size_t(1) << 16;

} // namespace

SuffixEditDistances::SuffixEditDistances(std::span<const int> a, std::span<const int> b, std::size_t numberBudget)
    : m_a(a)
    , m_b(b)
    , m_n(std::int64_t(a.size()))
    , m_m(std::int64_t(b.size()))
    , m_windowBudget(numberBudget / 3)
    , m_checkpointBudget(numberBudget / 3)
{
    // A lower bound of the distance: the common subsequence holds no more of a token than the
    // fewer of its counts on the two sides (exact when the edits bring new lines). The walks from
    // (0, 0) stay near its diagonal, a step aside for each level they descend, so with a distance
    // D only the diagonals within D - d (and a margin) of it are needed at level d. The levels are
    // made on that band for the bound and a margin; a question outside it makes every level anew
    // on all diagonals.
    int symbols = 0;
    for (int s : a)
        symbols = std::max(symbols, s + 1);
    for (int s : b)
        symbols = std::max(symbols, s + 1);
    std::vector<std::int32_t> balance(std::size_t(symbols), 0);
    for (int s : a)
        ++balance[std::size_t(s)];
    for (int s : b)
        --balance[std::size_t(s)];
    std::size_t bound = 0;
    for (std::int32_t count : balance)
        bound += std::size_t(count < 0 ? -std::int64_t(count) : std::int64_t(count));
    m_reach = bound + bound / 16 + 16;
}

std::size_t SuffixEditDistances::numbersHeld() const
{
    return m_windowNumbers + m_checkpointNumbers + m_top.size() + m_belowTop.size();
}

void SuffixEditDistances::setLimits(std::size_t work, const std::atomic<bool> *cancelled)
{
    m_workLimit = work;
    m_cancelled = cancelled;
    m_nextLook = m_work;
}

void SuffixEditDistances::noteWork(std::size_t units)
{
    m_work += units;
    if (m_work < m_nextLook)
        return;
    m_nextLook = m_work + suffixDistancesLookEvery;
    if (m_workLimit < m_nextLook)
        m_nextLook = m_work < m_workLimit ? m_workLimit + 1 : m_work;
    if (m_work > m_workLimit || (m_cancelled && m_cancelled->load(std::memory_order_relaxed)))
        m_stopped = true;
}

void SuffixEditDistances::noteHeld()
{
    m_mostNumbersHeld = std::max(m_mostNumbersHeld, numbersHeld());
}

std::pair<std::int64_t, std::int64_t> SuffixEditDistances::band(std::size_t d) const
{
    const std::int64_t level = std::int64_t(d);
    std::int64_t lowK = std::max(-level, -m_m);
    if ((lowK + level) % 2 != 0)
        ++lowK;
    std::int64_t highK = std::min(level, m_n);
    if (m_reach != allDiagonals) {
        const std::int64_t halfWidth = std::int64_t(m_reach) - level;
        lowK = std::max(lowK, m_n - m_m - halfWidth);
        highK = std::min(highK, m_n - m_m + halfWidth);
        if ((lowK + level) % 2 != 0)
            ++lowK;
    }
    if ((highK + level) % 2 != 0)
        --highK;
    return {lowK, highK};
}

std::size_t SuffixEditDistances::bandNumbers(std::size_t d) const
{
    const auto [lowK, highK] = band(d);
    return lowK > highK ? 0 : std::size_t((highK - lowK) / 2 + 1);
}

// Positions are counted from the ends: x tokens of a and y tokens of b lie behind the point, and
// the point (x, y) is (i, j) = (n - x, m - y). Diagonal k = x - y runs over [-m, n]; -1 marks a
// diagonal outside the grid. Only the band is stored: every entry in it is written below.
void SuffixEditDistances::makeLevel(std::size_t d, const Level *previous, const Level *beforePrevious, Level &out)
{
    const std::int64_t level = std::int64_t(d);
    const auto [lowK, highK] = band(d);
    out.first = lowK > highK ? 0 : std::size_t((lowK + level) / 2);
    out.values.resize(lowK > highK ? 0 : std::size_t((highK - lowK) / 2 + 1));
    const int *a = m_a.data();
    const int *b = m_b.data();
    noteWork(out.values.size());
    for (std::int64_t k = lowK; k <= highK && !m_stopped; k += 2) {
        const std::size_t slot = std::size_t((k + level) / 2);
        std::int64_t x = -1;
        if (d == 0) {
            x = 0;
        } else {
            // A step that consumes one token of b, from diagonal k + 1. Where that diagonal's
            // furthest point already stands on the last row, the point one before it (no farther
            // from the end, so no farther in distance) makes the step instead.
            if (k + 1 <= level - 1) {
                const std::int64_t from = previous->at(slot);
                if (from >= 0)
                    x = std::max(x, std::min(from, m_m + k));
            }
            // A step that consumes one token of a, from diagonal k - 1; the same at the last column.
            if (k - 1 >= -(level - 1)) {
                const std::int64_t from = previous->at(slot - 1);
                if (from >= 0)
                    x = std::max(x, std::min(from + 1, m_n));
            }
            // Whatever lay within d - 2 lies within d. A point that level reached already ends
            // its snake there: no tokens to compare.
            if (std::abs(k) <= level - 2) {
                const std::int64_t reached = beforePrevious->at(slot - 1);
                if (reached >= x) {
                    out.values[slot - out.first] = std::int32_t(reached);
                    continue;
                }
            }
        }
        // Every diagonal inside the grid has a point within |k| <= d steps of the end.
        std::int64_t y = x - k;
        const std::int64_t from = x;
        while (x < m_n && y < m_m && a[m_n - 1 - x] == b[m_m - 1 - y]) {
            ++x;
            ++y;
        }
        out.values[slot - out.first] = std::int32_t(x);
        if (x - from > 64)
            noteWork(std::size_t(x - from));
    }
}

void SuffixEditDistances::clearWindow()
{
    m_window.clear();
    m_windowNumbers = 0;
}

void SuffixEditDistances::pushWindow(std::size_t d, const Level &values)
{
    if (m_window.empty())
        m_windowBase = d;
    m_window.push_back(values);
    m_windowNumbers += values.size();
}

bool SuffixEditDistances::addCheckpoint(std::size_t d, const Level &previous, const Level &current)
{
    const std::size_t numbers = previous.size() + current.size();
    auto [at, added] = m_checkpoints.try_emplace(d, previous, current);
    if (!added)
        return false;
    (void)at;
    m_checkpointNumbers += numbers;
    return true;
}

// The first pass, and any level above those made so far: onwards from the two highest levels.
// Checkpoints fall on multiples of a spacing that doubles whenever they outgrow their budget,
// so that they stay spread evenly over the levels whatever the distance turns out to be.
void SuffixEditDistances::extendTo(std::size_t d)
{
    if (m_started && (m_window.empty() || m_windowBase + m_window.size() != m_highest + 1))
        clearWindow();
    while ((!m_started || m_highest < d) && !m_stopped) {
        const std::size_t next = m_started ? m_highest + 1 : 0;
        Level out;
        makeLevel(next, m_started ? &m_top : nullptr, next >= 2 ? &m_belowTop : nullptr, out);
        m_belowTop = std::move(m_top);
        m_top = std::move(out);
        m_highest = next;
        m_started = true;
        pushWindow(next, m_top);
        while (m_windowNumbers > m_windowBudget && m_window.size() > suffixDistancesLeastWindow) {
            m_windowNumbers -= m_window.front().size();
            m_window.pop_front();
            ++m_windowBase;
        }
        if (next % m_spacing == 0 && addCheckpoint(next, m_belowTop, m_top)) {
            while (m_checkpointNumbers > m_checkpointBudget && m_checkpoints.size() > 1) {
                m_spacing *= 2;
                for (auto it = m_checkpoints.begin(); it != m_checkpoints.end();) {
                    if (it->first % m_spacing != 0) {
                        m_checkpointNumbers -= it->second.first.size() + it->second.second.size();
                        it = m_checkpoints.erase(it);
                    } else {
                        ++it;
                    }
                }
            }
        }
    }
    noteHeld();
}

// Makes the window hold level d again, from the nearest checkpoint below. A walk on its way down
// gets the levels below d (and a few above); one on its way up, as many above as below. Gaps
// longer than the window get a checkpoint halfway (and halfway again), so that the next windows
// start closer, while a second budget allows.
void SuffixEditDistances::rebuildAround(std::size_t d, bool ascending)
{
    // Level e holds its band. Upwards: a few levels, or half the budget for a walk going up;
    // then downwards from there as far as the budget allows.
    std::size_t high = d;
    std::size_t numbers = bandNumbers(d);
    while (high < m_highest
           && (high - d < suffixDistancesHeadroom
               || (ascending && numbers + bandNumbers(high + 1) <= m_windowBudget / 4))) {
        ++high;
        numbers += bandNumbers(high);
    }
    std::size_t lowest = high;
    while (lowest > 0
           && (lowest > d || high - lowest + 1 < suffixDistancesLeastWindow
               || numbers + bandNumbers(lowest - 1) <= m_windowBudget)) {
        --lowest;
        numbers += bandNumbers(lowest);
    }
    const std::size_t windowLevels = high - lowest + 1;
    // Halfway checkpoints above the new window have served the walk: drop them.
    if (!ascending) {
        for (auto it = m_checkpoints.upper_bound(high + windowLevels); it != m_checkpoints.end();) {
            if (it->first % m_spacing != 0) {
                m_checkpointNumbers -= it->second.first.size() + it->second.second.size();
                it = m_checkpoints.erase(it);
            } else {
                ++it;
            }
        }
    }
    auto from = std::prev(m_checkpoints.upper_bound(d));
    const std::size_t start = from->first;
    const std::size_t low = std::max(lowest, start);
    clearWindow();
    Level previous = from->second.first;
    Level current = from->second.second;
    if (start == low)
        pushWindow(start, current);
    auto halfwayAfter = [&](std::size_t level) {
        return low - level > windowLevels ? level + (low - level) / 2 : SIZE_MAX;
    };
    std::size_t halfway = halfwayAfter(start);
    for (std::size_t e = start + 1; e <= high && !m_stopped; ++e) {
        Level next;
        makeLevel(e, &current, e >= 2 ? &previous : nullptr, next);
        previous = std::move(current);
        current = std::move(next);
        if (e >= low) {
            pushWindow(e, current);
        } else if (e == halfway) {
            if (m_checkpointNumbers + previous.size() + current.size() <= 2 * m_checkpointBudget)
                addCheckpoint(e, previous, current);
            halfway = halfwayAfter(e);
        }
    }
    noteHeld();
}

// A walk that goes up (a step away from the common subsequence) finds the next levels from the
// two at the top of the window, which gives up levels at its bottom while over its budget.
void SuffixEditDistances::raiseWindow(std::size_t d)
{
    const std::size_t high = std::min(m_highest, d + suffixDistancesHeadroom);
    for (std::size_t e = m_windowBase + m_window.size(); e <= high && !m_stopped; ++e) {
        Level next;
        makeLevel(e, &m_window.back(), &m_window[m_window.size() - 2], next);
        m_windowNumbers += next.size();
        m_window.push_back(std::move(next));
        while (m_windowNumbers > m_windowBudget && m_window.size() > suffixDistancesLeastWindow
               && m_windowBase < d) {
            m_windowNumbers -= m_window.front().size();
            m_window.pop_front();
            ++m_windowBase;
        }
    }
    noteHeld();
}

const SuffixEditDistances::Level &SuffixEditDistances::level(std::size_t d)
{
    if (!m_started || d > m_highest)
        extendTo(d);
    if (m_stopped || d == m_highest)
        return m_top;
    if (d + 1 == m_highest)
        return m_belowTop;
    const bool above = !m_window.empty() && d >= m_windowBase + m_window.size();
    if (above && m_window.size() >= 2)
        raiseWindow(d);
    else if (m_window.empty() || d < m_windowBase || above)
        rebuildAround(d, above);
    if (m_stopped)
        return m_top;
    return m_window[d - m_windowBase];
}

bool SuffixEditDistances::within(std::int64_t x, std::int64_t k, std::size_t d)
{
    while (true) {
        const Level &values = level(d);
        if (m_stopped)
            return true;
        const std::int64_t aside = std::abs(k - (m_n - m_m));
        if (m_reach == allDiagonals || (d <= m_reach && aside <= std::int64_t(m_reach - d)))
            return values.at(std::size_t((k + std::int64_t(d)) / 2)) >= x;
        // Outside the band: every level again, on all diagonals.
        m_reach = allDiagonals;
        m_started = false;
        m_top.clear();
        m_belowTop.clear();
        clearWindow();
        m_checkpoints.clear();
        m_checkpointNumbers = 0;
        m_spacing = 16;
    }
}

std::int64_t SuffixEditDistances::distance(std::size_t i, std::size_t j)
{
    const std::int64_t x = m_n - std::int64_t(i);
    const std::int64_t y = m_m - std::int64_t(j);
    const std::int64_t k = x - y;
    const std::size_t lowest = std::size_t(std::abs(k));
    // From the last answer: the first level of k's parity whose entry reaches the point.
    std::size_t d = std::max(m_hint, lowest);
    if ((d - lowest) % 2 != 0)
        ++d;
    if (within(x, k, d)) {
        while (d >= lowest + 2 && within(x, k, d - 2))
            d -= 2;
    } else {
        do
            d += 2;
        while (!within(x, k, d));
    }
    m_hint = d;
    return std::int64_t(d);
}
