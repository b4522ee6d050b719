#include "textengine/AnchoredMatches.h"

#include "textengine/SuffixLcsOrder.h"

#include <QHash>

#include <algorithm>
#include <limits>

namespace {

// Parts with at most this many tokens on both sides together get the exact walk first.
constexpr std::size_t anchoredExactTokens = 4096;
// The cancel flag is looked at after this many units of work.
constexpr std::size_t anchoredLookEvery = std::size_t(1) << 16;

struct AnchoredPart {
    std::uint32_t a0 = 0;
    std::uint32_t a1 = 0;
    std::uint32_t b0 = 0;
    std::uint32_t b1 = 0;
};

class AnchoredSearch {
public:
    AnchoredSearch(std::span<const int> a, std::span<const int> b, int idCount, const std::atomic<bool> *cancelled)
        : m_a(a)
        , m_b(b)
        , m_countA(std::size_t(idCount), 0)
        , m_countB(std::size_t(idCount), 0)
        , m_placeB(std::size_t(idCount), 0)
        , m_cancelled(cancelled)
        , m_workLimit(64 * (a.size() + b.size()) + (std::size_t(1) << 20))
    {
    }

    bool run(AnchoredPairs &pairs)
    {
        std::vector<AnchoredPart> parts{{0, std::uint32_t(m_a.size()), 0, std::uint32_t(m_b.size())}};
        while (!parts.empty() && m_work <= m_workLimit) {
            const AnchoredPart part = parts.back();
            parts.pop_back();
            if (!split(part, pairs, parts))
                return false;
        }
        // Into the order of the sequences: each token of b has at most one partner.
        constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();
        std::vector<std::uint32_t> partner(m_b.size(), none);
        for (const auto &[i, j] : pairs)
            partner[j] = i;
        pairs.clear();
        for (std::uint32_t j = 0; j < partner.size(); ++j) {
            if (j % anchoredLookEvery == 0 && !wanted(anchoredLookEvery))
                return false;
            if (partner[j] != none)
                pairs.emplace_back(partner[j], j);
        }
        return true;
    }

private:
    bool wanted(std::size_t units)
    {
        m_work += units;
        if (m_work < m_nextLook)
            return true;
        m_nextLook = m_work + anchoredLookEvery;
        return !(m_cancelled && m_cancelled->load(std::memory_order_relaxed));
    }

    // Matches the part's equal heads and tails, then anchors the rest and queues the parts
    // between the anchors. False once cancelled.
    bool split(AnchoredPart part, AnchoredPairs &pairs, std::vector<AnchoredPart> &parts)
    {
        while (part.a0 < part.a1 && part.b0 < part.b1 && m_a[part.a0] == m_b[part.b0])
            pairs.emplace_back(part.a0++, part.b0++);
        while (part.a0 < part.a1 && part.b0 < part.b1 && m_a[part.a1 - 1] == m_b[part.b1 - 1])
            pairs.emplace_back(--part.a1, --part.b1);
        const std::size_t p = part.a1 - part.a0;
        const std::size_t q = part.b1 - part.b0;
        if (!wanted(p + q))
            return false;
        if (p == 0 || q == 0)
            return true;
        if (p + q <= anchoredExactTokens) {
            const std::optional<bool> walked = exactWalk(part, pairs);
            if (!walked)
                return false;
            if (*walked)
                return true;
        }
        std::vector<std::pair<std::uint32_t, std::uint32_t>> anchors;
        if (!uniqueAnchors(part, anchors))
            return false;
        if (anchors.empty())
            rarestAnchors(part, anchors);
        // The parts between the anchors, the last one queued first so that the first is taken next.
        std::uint32_t nextA = part.a1;
        std::uint32_t nextB = part.b1;
        for (auto it = anchors.rbegin(); it != anchors.rend(); ++it) {
            if (it->first + 1 < nextA && it->second + 1 < nextB)
                parts.push_back({it->first + 1, nextA, it->second + 1, nextB});
            pairs.push_back(*it);
            nextA = it->first;
            nextB = it->second;
        }
        if (!anchors.empty() && part.a0 < nextA && part.b0 < nextB)
            parts.push_back({part.a0, nextA, part.b0, nextB});
        return true;
    }

    // The diff's own walk over a small part, its ids made dense first. Nothing when cancelled,
    // false when the part's search ran past its share of work.
    std::optional<bool> exactWalk(const AnchoredPart &part, AnchoredPairs &pairs)
    {
        std::vector<int> a;
        std::vector<int> b;
        QHash<int, int> localIds;
        auto local = [&](int id) { return *localIds.insert(id, localIds.value(id, int(localIds.size()))); };
        for (std::uint32_t i = part.a0; i < part.a1; ++i)
            a.push_back(local(m_a[i]));
        for (std::uint32_t j = part.b0; j < part.b1; ++j)
            b.push_back(local(m_b[j]));
        const std::size_t limit = 32 * (a.size() + b.size()) + 16384;
        SuffixLcsOrder order(a, b);
        order.setLimits(limit, m_cancelled);
        const std::size_t kept = pairs.size();
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < a.size() && j < b.size()) {
            if (a[i] == b[j]) {
                pairs.emplace_back(part.a0 + std::uint32_t(i), part.b0 + std::uint32_t(j));
                ++i;
                ++j;
                continue;
            }
            const int step = order.compare(i, j);
            if (order.stopped()) {
                pairs.resize(kept);
                if (!wanted(limit))
                    return std::nullopt;
                return false;
            }
            if (step < 0)
                ++j;
            else
                ++i;
        }
        return wanted(a.size() + b.size());
    }

    // The pairs of tokens found once on each side of the part, thinned to the longest chain
    // increasing on both sides. False once cancelled.
    bool uniqueAnchors(const AnchoredPart &part, std::vector<std::pair<std::uint32_t, std::uint32_t>> &anchors)
    {
        // Counts stop at 255: enough to tell once from more, and the rarest among the rest.
        for (std::uint32_t i = part.a0; i < part.a1; ++i) {
            std::uint8_t &count = m_countA[std::size_t(m_a[i])];
            count = std::uint8_t(count + (count < 255));
        }
        for (std::uint32_t j = part.b0; j < part.b1; ++j) {
            std::uint8_t &count = m_countB[std::size_t(m_b[j])];
            count = std::uint8_t(count + (count < 255));
            m_placeB[std::size_t(m_b[j])] = j;
        }
        std::vector<std::pair<std::uint32_t, std::uint32_t>> candidates;
        for (std::uint32_t i = part.a0; i < part.a1; ++i) {
            const auto id = std::size_t(m_a[i]);
            if (m_countA[id] == 1 && m_countB[id] == 1)
                candidates.emplace_back(i, m_placeB[id]);
        }
        if (!wanted(2 * (std::size_t(part.a1 - part.a0) + (part.b1 - part.b0))))
            return false;
        // Counts stay for rarestAnchors, which clears them.
        m_countsHeld = true;
        if (!longestChain(candidates, anchors))
            return false;
        if (!anchors.empty())
            clearCounts(part);
        return true;
    }

    // The longest chain of candidates (in increasing i) with increasing j: patience sorting.
    // False once cancelled.
    bool longestChain(const std::vector<std::pair<std::uint32_t, std::uint32_t>> &candidates,
                      std::vector<std::pair<std::uint32_t, std::uint32_t>> &chain)
    {
        std::vector<std::uint32_t> tails;
        std::vector<std::uint32_t> previous(candidates.size(), std::numeric_limits<std::uint32_t>::max());
        for (std::uint32_t k = 0; k < candidates.size(); ++k) {
            if (k % 4096 == 0 && !wanted(4096))
                return false;
            const std::uint32_t j = candidates[k].second;
            const auto at = std::lower_bound(tails.begin(), tails.end(), j, [&](std::uint32_t tail, std::uint32_t value) {
                return candidates[tail].second < value;
            });
            if (at != tails.begin())
                previous[k] = *(at - 1);
            if (at == tails.end())
                tails.push_back(k);
            else
                *at = k;
        }
        if (tails.empty())
            return true;
        for (std::uint32_t k = tails.back(); k != std::numeric_limits<std::uint32_t>::max(); k = previous[k])
            chain.push_back(candidates[k]);
        std::reverse(chain.begin(), chain.end());
        return true;
    }

    // No token occurs once on each side: the rarest token found on both sides anchors its
    // occurrences, the first on one side with the first on the other, and so on.
    void rarestAnchors(const AnchoredPart &part, std::vector<std::pair<std::uint32_t, std::uint32_t>> &anchors)
    {
        int rarest = -1;
        std::int64_t fewest = std::numeric_limits<std::int64_t>::max();
        for (std::uint32_t i = part.a0; i < part.a1; ++i) {
            const auto id = std::size_t(m_a[i]);
            if (m_countB[id] > 0 && std::int64_t(m_countA[id]) + m_countB[id] < fewest) {
                fewest = std::int64_t(m_countA[id]) + m_countB[id];
                rarest = m_a[i];
            }
        }
        clearCounts(part);
        if (rarest < 0)
            return;
        std::uint32_t j = part.b0;
        for (std::uint32_t i = part.a0; i < part.a1; ++i) {
            if (m_a[i] != rarest)
                continue;
            while (j < part.b1 && m_b[j] != rarest)
                ++j;
            if (j == part.b1)
                break;
            anchors.emplace_back(i, j++);
        }
    }

    void clearCounts(const AnchoredPart &part)
    {
        if (!m_countsHeld)
            return;
        for (std::uint32_t i = part.a0; i < part.a1; ++i)
            m_countA[std::size_t(m_a[i])] = 0;
        for (std::uint32_t j = part.b0; j < part.b1; ++j)
            m_countB[std::size_t(m_b[j])] = 0;
        m_countsHeld = false;
    }

    std::span<const int> m_a;
    std::span<const int> m_b;
    std::vector<std::uint8_t> m_countA;
    std::vector<std::uint8_t> m_countB;
    std::vector<std::uint32_t> m_placeB;
    bool m_countsHeld = false;
    const std::atomic<bool> *m_cancelled;
    std::size_t m_work = 0;
    std::size_t m_nextLook = 0;
    std::size_t m_workLimit;
};

// Lines found once on each side that moved far apart (functions of a program reordered) leave
// the anchoring few pairs, and each pair it keeps walls off the lines around it; the lines the
// texts repeat (braces, blank lines, the same statements) may still stand in one order on both
// sides. Those lines alone, walked exactly within work proportional to them: their pairs, or
// nothing when the walk ran past its work; nullopt once cancelled.
std::optional<AnchoredPairs> anchoredRepeatedMatches(std::span<const int> a, std::span<const int> b, int idCount,
                                                     const std::atomic<bool> *cancelled)
{
    // Counts stop at 2: enough to tell once from more.
    std::vector<std::uint8_t> countA(std::size_t(idCount), 0);
    std::vector<std::uint8_t> countB(std::size_t(idCount), 0);
    for (int id : a)
        countA[std::size_t(id)] = std::uint8_t(std::min(countA[std::size_t(id)] + 1, 2));
    for (int id : b)
        countB[std::size_t(id)] = std::uint8_t(std::min(countB[std::size_t(id)] + 1, 2));
    auto repeatedOnBoth = [&](int id) {
        const auto k = std::size_t(id);
        return countA[k] > 0 && countB[k] > 0 && countA[k] + countB[k] > 2;
    };
    std::vector<std::uint32_t> placesA;
    std::vector<std::uint32_t> placesB;
    std::vector<int> keptA;
    std::vector<int> keptB;
    for (std::uint32_t i = 0; i < a.size(); ++i) {
        if (repeatedOnBoth(a[i])) {
            placesA.push_back(i);
            keptA.push_back(a[i]);
        }
    }
    for (std::uint32_t j = 0; j < b.size(); ++j) {
        if (repeatedOnBoth(b[j])) {
            placesB.push_back(j);
            keptB.push_back(b[j]);
        }
    }
    countA = {};
    countB = {};
    AnchoredPairs pairs;
    if (keptA.empty() || keptB.empty())
        return pairs;
    SuffixLcsOrder order(keptA, keptB);
    order.setLimits(8 * (keptA.size() + keptB.size()) + (std::size_t(64) << 10), cancelled);
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < keptA.size() && j < keptB.size()) {
        if (keptA[i] == keptB[j]) {
            pairs.emplace_back(placesA[i++], placesB[j++]);
            continue;
        }
        const int step = order.compare(i, j);
        if (order.stopped()) {
            if (cancelled && cancelled->load(std::memory_order_relaxed))
                return std::nullopt;
            return AnchoredPairs();
        }
        if (step < 0)
            ++j;
        else
            ++i;
    }
    return pairs;
}

} // namespace

std::optional<AnchoredPairs> anchoredMatches(std::span<const int> a, std::span<const int> b, int idCount,
                                             const std::atomic<bool> *cancelled)
{
    AnchoredPairs pairs;
    // Positions are kept in 32 bits; texts of more lines than that keep no pairs (still a diff).
    if (a.size() >= std::numeric_limits<std::uint32_t>::max() || b.size() >= std::numeric_limits<std::uint32_t>::max())
        return pairs;
    AnchoredSearch search(a, b, idCount, cancelled);
    if (!search.run(pairs))
        return std::nullopt;
    // Fewer pairs than half the shorter text: the lines that moved may have walled off the
    // repeated ones.
    if (2 * pairs.size() < std::min(a.size(), b.size())) {
        std::optional<AnchoredPairs> repeated = anchoredRepeatedMatches(a, b, idCount, cancelled);
        if (!repeated)
            return std::nullopt;
        if (repeated->size() > pairs.size())
            pairs = std::move(*repeated);
    }
    return pairs;
}
