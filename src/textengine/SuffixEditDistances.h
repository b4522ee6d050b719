#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <span>
#include <utility>
#include <vector>

// Insert/delete distances between the suffixes a[i..n) and b[j..m) of two sequences of token
// ids, d(i, j) = (n - i) + (m - j) - 2 * t(i, j) with t the suffix LCS length, found by the greedy
// furthest-reaching search that starts at the ends of both sequences (Myers, 1986).
//
// Level d of the search holds, for each diagonal k = (n - i) - (m - j) with |k| <= d and the
// parity of d, the largest n - i whose point on that diagonal lies within distance d of the end.
// Along a diagonal the distance never grows towards the end, so d(i, j) <= d exactly when the
// entry of level d reaches the point. Two texts that differ by D edits need about D levels of
// at most D + 1 numbers: O((n + m) D) time at worst.
//
// The walks of the diff ask for the levels from the top down (the distance left shrinks as they
// go, and grows again only by a step at a time), while the search makes them from the bottom up.
// All D levels would be D² / 2 numbers; instead only a window of consecutive levels is kept,
// with checkpoints (pairs of neighbouring levels) from which the levels below the window are made
// again when the walk reaches them. Checkpoints are spread over the levels of the first pass and
// added halfway into long gaps, within a budget of numbers; the memory is the budget and a few
// levels, whatever the distance, and a walk costs about two or three searches. The levels are
// made only on the band of diagonals a walk from (0, 0) can reach (see the constructor).
class SuffixEditDistances {
public:
    // Numbers (4 bytes each) kept in the window and the checkpoints together: 24 MiB.
    static constexpr std::size_t defaultNumberBudget = std::size_t(6) << 20;

    // The sequences must outlive the distances. A small budget trades time for memory only.
    SuffixEditDistances(std::span<const int> a, std::span<const int> b, std::size_t numberBudget = defaultNumberBudget);

    // Exact for any point; cheapest when successive points lie close together, as on a walk.
    std::int64_t distance(std::size_t i, std::size_t j);

    // Stops the search once it has visited `work` diagonal entries and snake steps in all (a
    // bound on its time) or once `cancelled` is raised. A stopped search answers anything at once
    // and meaninglessly: whoever set the limits asks stopped() after each answer.
    void setLimits(std::size_t work, const std::atomic<bool> *cancelled);
    bool stopped() const { return m_stopped; }

    // Numbers held now, and the most held at once.
    std::size_t numbersHeld() const;
    std::size_t mostNumbersHeld() const { return m_mostNumbersHeld; }

private:
    // The entries of a level on its band of diagonals: slot s (diagonal 2s - d) at values[s - first];
    // every slot outside the band reads -1, as a diagonal off the grid.
    struct Level {
        std::size_t first = 0;
        std::vector<std::int32_t> values;

        std::int32_t at(std::size_t slot) const
        {
            return slot - first < values.size() ? values[slot - first] : -1;
        }
        std::size_t size() const { return values.size(); }
        void clear() { values.clear(); }
    };

    // The band of level d: its lowest and highest diagonal (of d's parity), empty when low > high.
    std::pair<std::int64_t, std::int64_t> band(std::size_t d) const;
    std::size_t bandNumbers(std::size_t d) const;
    void makeLevel(std::size_t d, const Level *previous, const Level *beforePrevious, Level &out);
    const Level &level(std::size_t d);
    void extendTo(std::size_t d);
    void rebuildAround(std::size_t d, bool ascending);
    void raiseWindow(std::size_t d);
    void pushWindow(std::size_t d, const Level &values);
    void clearWindow();
    bool addCheckpoint(std::size_t d, const Level &previous, const Level &current);
    bool within(std::int64_t x, std::int64_t k, std::size_t d);
    void noteHeld();
    void noteWork(std::size_t units);

    std::span<const int> m_a;
    std::span<const int> m_b;
    std::int64_t m_n = 0;
    std::int64_t m_m = 0;
    std::size_t m_windowBudget = 0;
    std::size_t m_checkpointBudget = 0;
    std::size_t m_hint = 0;
    // Level d holds the diagonals within m_reach - d of the diagonal of (0, 0), or all of them.
    static constexpr std::size_t allDiagonals = SIZE_MAX;
    std::size_t m_reach = allDiagonals;
    std::size_t m_mostNumbersHeld = 0;

    // The limits: work done, the work allowed, and when the flag is looked at next.
    std::size_t m_work = 0;
    std::size_t m_workLimit = SIZE_MAX;
    std::size_t m_nextLook = 0;
    const std::atomic<bool> *m_cancelled = nullptr;
    bool m_stopped = false;

    // The two highest levels made so far, from which the search goes on upwards.
    bool m_started = false;
    std::size_t m_highest = 0;
    Level m_top;
    Level m_belowTop;

    // Consecutive levels [m_windowBase, m_windowBase + size).
    std::deque<Level> m_window;
    std::size_t m_windowBase = 0;
    std::size_t m_windowNumbers = 0;

    // Level d - 1 and level d, by d; level 0 is always there.
    std::map<std::size_t, std::pair<Level, Level>> m_checkpoints;
    std::size_t m_checkpointNumbers = 0;
    std::size_t m_spacing = 16;
};
