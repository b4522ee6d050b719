#include "textengine/LineComparison.h"

#include "textengine/AnchoredMatches.h"
#include "textengine/ComparedLines.h"
#include "textengine/SuffixLcsOrder.h"

#include <QHash>

#include <algorithm>
#include <bit>

namespace {

// The walks look at the cancel flag every this many steps.
constexpr std::size_t lineComparisonLookEvery = std::size_t(1) << 16;

bool lineComparisonCancelled(const std::atomic<bool> *cancelled)
{
    return cancelled && cancelled->load(std::memory_order_relaxed);
}

// The ids of the diff's tokens, a line with its break: the line's id while its break is of the
// most common kind, else an id of its own for each line text and kind of break.
std::vector<int> lineComparisonDiffIds(const ComparedLines::Side &side, int usualKind,
                                       QHash<std::pair<int, int>, int> &others, int &nextId)
{
    std::vector<int> ids(side.ids.begin(), side.ids.begin() + std::ptrdiff_t(side.diffCount()));
    for (std::size_t k = 0; k < ids.size(); ++k) {
        const int kind = side.breaks[k];
        if (kind == usualKind)
            continue;
        const auto key = std::pair{ids[k], kind};
        auto found = others.constFind(key);
        if (found == others.cend())
            found = others.insert(key, nextId++);
        ids[k] = *found;
    }
    return ids;
}

// Appends the aligned rows: an original line, or an empty row. Lines that follow each other in
// an original whose breaks are all "\n" are copied as one run.
class AlignedRows {
public:
    AlignedRows(const QString &original, const ComparedLines::Side &side)
        : m_original(original)
        , m_side(side)
        , m_plain((side.breakKinds & ~1u) == 0)
    {
        m_text.reserve(original.size() + qsizetype(side.rowCount()) + 16);
    }

    void line(std::size_t k)
    {
        if (k >= m_side.diffCount()) {
            empty();
            return;
        }
        const QStringView content = m_side.content(m_original, k);
        const qsizetype start = content.data() - m_original.constData();
        const qsizetype contentEnd = start + content.size();
        if (m_plain && m_pending && k == m_pendingLine + 1) {
            m_pendingEnd = contentEnd;
            m_pendingLine = k;
            return;
        }
        flush();
        separate();
        m_pending = true;
        m_pendingStart = start;
        m_pendingEnd = contentEnd;
        m_pendingLine = k;
    }
    void empty()
    {
        flush();
        separate();
    }
    void clear()
    {
        m_text.clear();
        m_first = true;
        m_pending = false;
    }
    QString take()
    {
        flush();
        return std::move(m_text);
    }

private:
    void separate()
    {
        if (!m_first)
            m_text.append(u'\n');
        m_first = false;
    }
    void flush()
    {
        if (m_pending)
            m_text.append(QStringView(m_original).mid(m_pendingStart, m_pendingEnd - m_pendingStart));
        m_pending = false;
    }

    const QString &m_original;
    const ComparedLines::Side &m_side;
    const bool m_plain;
    QString m_text;
    bool m_first = true;
    bool m_pending = false;
    qsizetype m_pendingStart = 0;
    qsizetype m_pendingEnd = 0;
    std::size_t m_pendingLine = 0;
};

} // namespace

std::size_t lineComparisonWorkBudget(std::size_t n, std::size_t m)
{
    return std::max(std::size_t(32) << 20, 64 * (n + m));
}

std::optional<LineComparison> compareByLines(const QString &original, const QString &edited, bool wantChanges,
                                             const std::atomic<bool> *cancelled, const LineComparisonOptions &options)
{
    std::optional<ComparedLines> cut = compareLines(original, edited, cancelled);
    if (!cut)
        return std::nullopt;
    const ComparedLines::Side &sideA = cut->original;
    const ComparedLines::Side &sideB = cut->edited;
    const std::vector<int> &idsA = sideA.ids;
    const std::vector<int> &idsB = sideB.ids;
    const std::size_t nd = sideA.diffCount();
    const std::size_t md = sideB.diffCount();
    const std::size_t ns = sideA.rowCount();
    const std::size_t ms = sideB.rowCount();
    const int emptyId = cut->emptyId;

    // The diff's tokens are equal when their lines and their breaks are. While every break of
    // both texts is of one kind, that is equal ids, but for a last line without a break, which
    // only equals the other text's last line without a break.
    const std::uint8_t kinds = sideA.breakKinds | sideB.breakKinds;
    const bool oneKind = std::popcount(unsigned(kinds)) <= 1;
    const int usualKind = kinds == 0 ? 1 : std::countr_zero(unsigned(kinds)) + 1;
    std::vector<int> diffA;
    std::vector<int> diffB;
    int diffIdCount = cut->idCount;
    auto makeDiffIds = [&] {
        QHash<std::pair<int, int>, int> others;
        diffA = lineComparisonDiffIds(sideA, usualKind, others, diffIdCount);
        diffB = lineComparisonDiffIds(sideB, usualKind, others, diffIdCount);
    };
    if (!oneKind)
        makeDiffIds();
    auto lastWithoutBreakA = [&](std::size_t i) { return !sideA.endsWithBreak() && i + 1 == nd; };
    auto lastWithoutBreakB = [&](std::size_t j) { return !sideB.endsWithBreak() && j + 1 == md; };
    auto diffEqual = [&](std::size_t i, std::size_t j) {
        if (!diffA.empty() || !diffB.empty())
            return diffA[i] == diffB[j];
        return idsA[i] == idsB[j] && lastWithoutBreakA(i) == lastWithoutBreakB(j);
    };

    std::size_t prefix = 0;
    while (prefix < nd && prefix < md && diffEqual(prefix, prefix))
        ++prefix;
    const bool walkDiff = wantChanges && !(prefix == nd && prefix == md);
    const bool walkRows = idsA != idsB;

    LineComparison result;
    AlignedRows rows(original, sideA);
    std::vector<char> matched;
    if (walkDiff)
        matched.assign(md, 0);
    std::fill(matched.begin(), matched.begin() + std::ptrdiff_t(std::min(prefix, matched.size())), 1);
    if (!walkRows) {
        for (std::size_t k = 0; k < ns; ++k)
            rows.line(k);
    }

    // One search serves both walks when their tables agree: every break of one kind, and both
    // texts ending with a break or both with the same last line. With both ending with a break
    // the alignment's table is the diff's plus one (the empty last lines match) but at the
    // empty last lines themselves, which it answers on its own.
    const bool bothEndWithBreak = sideA.endsWithBreak() && sideB.endsWithBreak();
    const bool sameLastLine = !sideA.endsWithBreak() && !sideB.endsWithBreak() && nd > 0 && md > 0
                              && idsA[nd - 1] == idsB[md - 1];
    const bool shared = walkDiff && walkRows && oneKind && (bothEndWithBreak || sameLastLine);
    const std::size_t budget = options.workBudget.value_or(lineComparisonWorkBudget(ns, ms));
    std::optional<SuffixLcsOrder> diffOrder;
    std::optional<SuffixLcsOrder> rowOrder;
    const std::size_t numbers = SuffixEditDistances::defaultNumberBudget / (walkDiff && walkRows && !shared ? 2 : 1);
    if (walkDiff) {
        if (!shared && diffA.empty())
            makeDiffIds();
        const int *a = shared ? idsA.data() : diffA.data();
        const int *b = shared ? idsB.data() : diffB.data();
        diffOrder.emplace(std::span<const int>(a + prefix, nd - prefix), std::span<const int>(b + prefix, md - prefix),
                          numbers);
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

    if (options.reached)
        options.reached(LineComparisonStage::Searching);
    if (lineComparisonCancelled(cancelled))
        return std::nullopt;
    // The walks go in step, the one behind first, so that both ask about the same stretch of
    // the search while it holds it.
    std::size_t di = prefix, dj = prefix;
    std::size_t ri = prefix, rj = prefix;
    if (walkRows) {
        for (std::size_t k = 0; k < prefix; ++k)
            rows.line(k);
    }
    std::size_t steps = 0;
    bool budgetSpent = false;
    while (true) {
        const bool diffLeft = walkDiff && di < nd && dj < md;
        const bool rowsLeft = walkRows && ri < ns;
        if (!diffLeft && !rowsLeft)
            break;
        if (++steps % lineComparisonLookEvery == 0 && lineComparisonCancelled(cancelled))
            return std::nullopt;
        if (diffLeft && (!rowsLeft || di + dj <= ri + rj)) {
            if (diffEqual(di, dj)) {
                matched[dj] = 1;
                ++di;
                ++dj;
                continue;
            }
            const int step = diffOrder->compare(di - prefix, dj - prefix);
            if (stopped()) {
                budgetSpent = true;
                break;
            }
            if (step < 0)
                ++dj;
            else
                ++di;
            continue;
        }
        if (rj < ms && idsA[ri] == idsB[rj]) {
            rows.line(ri++);
            ++rj;
        } else if (rj >= ms) {
            rows.line(ri++);
        } else if (idsB[rj] == emptyId) {
            rows.empty();
            ++rj;
        } else {
            const int step = rowCompare(ri, rj);
            if (stopped()) {
                budgetSpent = true;
                break;
            }
            if (step < 0) {
                rows.empty();
                ++rj;
            } else {
                rows.line(ri++);
                if (step == 0)
                    ++rj;
            }
        }
    }
    diffOrder.reset();
    rowOrder.reset();
    if (lineComparisonCancelled(cancelled))
        return std::nullopt;

    if (budgetSpent) {
        // Both answers from one common subsequence that anchors on lines found once a side.
        if (options.reached)
            options.reached(LineComparisonStage::Anchoring);
        std::optional<AnchoredPairs> pairs;
        if (diffA.empty()) {
            // One kind of break: the diff's ids are the lines' but for a last line without a
            // break, which gets an id of its own (the same on both sides for the same line).
            std::vector<int> &a = cut->original.ids;
            std::vector<int> &b = cut->edited.ids;
            const int keptA = nd > 0 ? a[nd - 1] : 0;
            const int keptB = md > 0 ? b[md - 1] : 0;
            const int ownA = cut->idCount;
            const int ownB = sameLastLine ? ownA : ownA + 1;
            if (nd > 0 && lastWithoutBreakA(nd - 1))
                a[nd - 1] = ownA;
            if (md > 0 && lastWithoutBreakB(md - 1))
                b[md - 1] = ownB;
            pairs = anchoredMatches(std::span<const int>(a.data(), nd), std::span<const int>(b.data(), md),
                                    ownA + 2, cancelled);
            if (nd > 0)
                a[nd - 1] = keptA;
            if (md > 0)
                b[md - 1] = keptB;
        } else {
            pairs = anchoredMatches(diffA, diffB, diffIdCount, cancelled);
            diffA = {};
            diffB = {};
        }
        if (!pairs)
            return std::nullopt;
        result.anchored = true;
        if (walkDiff) {
            std::fill(matched.begin(), matched.end(), 0);
            for (const auto &pair : *pairs)
                matched[pair.second] = 1;
        }
        if (!walkRows)
            pairs->clear();
        else
            rows.clear();
        if (walkRows && bothEndWithBreak)
            pairs->emplace_back(std::uint32_t(ns - 1), std::uint32_t(ms - 1));
        if (walkRows)
            pairs->emplace_back(std::uint32_t(ns), std::uint32_t(ms));
        // Between two pairs the edited lines stand opposite the original lines in turn, an
        // empty edited line opposite an empty row; what is left of either side gets rows of its own.
        std::size_t i = 0;
        std::size_t j = 0;
        for (const auto &[pi, pj] : *pairs) {
            if (lineComparisonCancelled(cancelled))
                return std::nullopt;
            for (; j < pj; ++j) {
                if (idsB[j] == emptyId || i >= pi)
                    rows.empty();
                else
                    rows.line(i++);
            }
            for (; i < pi; ++i)
                rows.line(i);
            if (pi < ns) {
                rows.line(pi);
                i = pi + 1;
                j = pj + 1;
            }
        }
    } else if (walkRows) {
        for (; rj < ms; ++rj)
            rows.empty();
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
