#include "textengine/SuffixEditDistances.h"
#include "textengine/SuffixLcsOrder.h"
#include "textengine/TextComparisonDiff.h"

#include <QHash>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <span>

// The diff answers its walks from edit distances, remaking the levels it no longer holds. The
// walks over a plain suffix LCS table are kept here as the reference: the changes and the
// aligned original must come out identical for any texts.
namespace {

using Ids = std::vector<int>;
using Compare = std::function<int(std::size_t, std::size_t)>;

// t(i, j) = LCS length of a[i..n) and b[j..m), every value held.
class PlainSuffixLcs {
public:
    PlainSuffixLcs(const Ids &a, const Ids &b)
        : m_columns(b.size() + 1)
        , m_values((a.size() + 1) * (b.size() + 1), 0)
    {
        for (std::size_t i = a.size(); i-- > 0;) {
            for (std::size_t j = b.size(); j-- > 0;)
                m_values[i * m_columns + j] = a[i] == b[j] ? value(i + 1, j + 1) + 1
                                                           : std::max(value(i + 1, j), value(i, j + 1));
        }
    }
    std::int32_t value(std::size_t i, std::size_t j) const { return m_values[i * m_columns + j]; }

private:
    std::size_t m_columns;
    std::vector<std::int32_t> m_values;
};

Compare tableCompare(const PlainSuffixLcs &table)
{
    return [&table](std::size_t i, std::size_t j) {
        const auto below = table.value(i + 1, j);
        const auto right = table.value(i, j + 1);
        return below < right ? -1 : (below == right ? 0 : 1);
    };
}

// The diff's walk: matched edited indices.
std::vector<std::size_t> matchWalk(const Ids &a, const Ids &b, const Compare &compare)
{
    std::vector<std::size_t> matched;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i] == b[j]) {
            matched.push_back(j);
            ++i;
            ++j;
        } else if (compare(i, j) < 0) {
            ++j;
        } else {
            ++i;
        }
    }
    return matched;
}

// The alignment's walk, with id 0 standing for an empty line: -1 marks an empty row.
std::vector<int> alignWalk(const Ids &a, const Ids &b, const Compare &compare)
{
    std::vector<int> rows;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size()) {
        if (j < b.size() && a[i] == b[j]) {
            rows.push_back(int(i++));
            ++j;
        } else if (j >= b.size()) {
            rows.push_back(int(i++));
        } else if (b[j] == 0) {
            rows.push_back(-1);
            ++j;
        } else {
            const int step = compare(i, j);
            if (step < 0) {
                rows.push_back(-1);
                ++j;
            } else {
                rows.push_back(int(i++));
                if (step == 0)
                    ++j;
            }
        }
    }
    rows.insert(rows.end(), b.size() - std::min(j, b.size()), -1);
    return rows;
}

// An edited copy: replaced, inserted, removed and duplicated runs, drawn from a small alphabet
// so that ties in the table are common.
Ids editedCopy(QRandomGenerator &rng, Ids ids, int edits, int alphabet)
{
    for (int e = 0; e < edits; ++e) {
        const std::size_t at = ids.empty() ? 0 : rng.bounded(quint32(ids.size()));
        const int run = 1 + int(rng.bounded(3));
        switch (rng.bounded(4)) {
        case 0:
            for (int k = 0; k < run && at + std::size_t(k) < ids.size(); ++k)
                ids[at + std::size_t(k)] = int(rng.bounded(alphabet));
            break;
        case 1:
            for (int k = 0; k < run; ++k)
                ids.insert(ids.begin() + std::ptrdiff_t(at), int(rng.bounded(alphabet)));
            break;
        case 2:
            ids.erase(ids.begin() + std::ptrdiff_t(at),
                      ids.begin() + std::ptrdiff_t(std::min(ids.size(), at + std::size_t(run))));
            break;
        default:
            if (at < ids.size())
                ids.insert(ids.begin() + std::ptrdiff_t(at), ids[at]);
            break;
        }
    }
    return ids;
}

// What the two walks make of a and b over the plain table, and the orders that must walk alike.
struct TableWalks {
    std::vector<std::size_t> matches;
    std::vector<int> rows;
};

TableWalks tableWalks(const Ids &a, const Ids &b, const PlainSuffixLcs &table)
{
    return {matchWalk(a, b, tableCompare(table)), alignWalk(a, b, tableCompare(table))};
}

struct WalkedOrders {
    std::unique_ptr<SuffixLcsOrder> forMatches;
    std::unique_ptr<SuffixLcsOrder> forRows;
};

// Each walk over a fresh SuffixLcsOrder with `budget` equals the table's; the orders are handed
// back for what a test checks of their memory.
WalkedOrders expectWalksLikeTheTable(const TableWalks &expected, const Ids &a, const Ids &b, std::size_t budget,
                                     int round)
{
    WalkedOrders orders{std::make_unique<SuffixLcsOrder>(a, b, budget), std::make_unique<SuffixLcsOrder>(a, b, budget)};
    EXPECT_EQ(matchWalk(a, b, [&](std::size_t i, std::size_t j) { return orders.forMatches->compare(i, j); }),
              expected.matches)
        << round << " budget " << budget;
    EXPECT_EQ(alignWalk(a, b, [&](std::size_t i, std::size_t j) { return orders.forRows->compare(i, j); }),
              expected.rows)
        << round << " budget " << budget;
    return orders;
}

Ids randomIds(QRandomGenerator &rng, std::size_t length, int alphabet)
{
    Ids ids(length);
    for (int &id : ids)
        id = int(rng.bounded(alphabet));
    return ids;
}

// Lines of a text drawn from a small pool (repeated lines, blank lines, "\r\n" endings).
QString randomLines(QRandomGenerator &rng, int count, const QStringList &pool)
{
    QStringList lines;
    for (int k = 0; k < count; ++k)
        lines << pool[int(rng.bounded(int(pool.size())))];
    return lines.join(u'\n');
}

QString editedLines(QRandomGenerator &rng, const QString &text, int edits, const QStringList &pool)
{
    QStringList lines = text.split(u'\n');
    for (int e = 0; e < edits; ++e) {
        const int at = int(rng.bounded(int(lines.size())));
        switch (rng.bounded(5)) {
        case 0:
            lines[at] = pool[int(rng.bounded(int(pool.size())))];
            break;
        case 1:
            lines.insert(at, pool[int(rng.bounded(int(pool.size())))]);
            break;
        case 2:
            if (lines.size() > 1)
                lines.removeAt(at);
            break;
        case 3:
            lines.insert(at, QString());
            break;
        default:
            lines[at] += QStringLiteral(" 改%1").arg(e);
            break;
        }
    }
    return lines.join(u'\n');
}

struct Interned {
    Ids a;
    Ids b;
};

Interned intern(const QStringList &a, const QStringList &b, bool emptyIsZero)
{
    QHash<QString, int> ids;
    if (emptyIsZero)
        ids.insert(QString(), 0);
    auto id = [&](const QString &token) { return *ids.insert(token, ids.value(token, int(ids.size()))); };
    Interned result;
    for (const QString &token : a)
        result.a.push_back(id(token));
    for (const QString &token : b)
        result.b.push_back(id(token));
    return result;
}

// changes() by the table walk over the whole token sequences.
std::vector<std::pair<qsizetype, qsizetype>> referenceChanges(const QString &original, const QString &edited)
{
    if (original == edited || edited.isEmpty())
        return {};
    const auto originalCharacters = TextComparisonDiff::characterTokens(original);
    const auto editedCharacters = TextComparisonDiff::characterTokens(edited);
    const bool characterMode = originalCharacters.size() < 1401 && editedCharacters.size() < 1401;
    const auto tokensA = characterMode ? originalCharacters : TextComparisonDiff::lineTokens(original);
    const auto tokensB = characterMode ? editedCharacters : TextComparisonDiff::lineTokens(edited);
    if (tokensA.empty())
        return {{0, edited.size()}};
    QStringList a;
    QStringList b;
    for (const TextToken &t : tokensA)
        a << t.value;
    for (const TextToken &t : tokensB)
        b << t.value;
    const Interned ids = intern(a, b, false);
    const PlainSuffixLcs table(ids.a, ids.b);
    std::vector<std::pair<qsizetype, qsizetype>> ranges;
    std::size_t next = 0;
    const auto matched = matchWalk(ids.a, ids.b, tableCompare(table));
    for (std::size_t k = 0; k < tokensB.size(); ++k) {
        if (next < matched.size() && matched[next] == k)
            ++next;
        else
            ranges.emplace_back(tokensB[k].start, tokensB[k].end);
    }
    return TextComparisonDiff::mergedChangeRanges(ranges, edited);
}

QString referenceAligned(QString original, QString edited)
{
    for (QString *s : {&original, &edited}) {
        s->replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        s->replace(u'\r', u'\n');
    }
    if (original == edited)
        return original;
    const QStringList a = original.split(u'\n');
    const QStringList b = edited.split(u'\n');
    const Interned ids = intern(a, b, true);
    const PlainSuffixLcs table(ids.a, ids.b);
    QStringList out;
    for (int row : alignWalk(ids.a, ids.b, tableCompare(table)))
        out << (row < 0 ? QString() : a[row]);
    return out.join(u'\n');
}

std::vector<std::pair<qsizetype, qsizetype>> ranges(const std::vector<TextComparisonChange> &changes)
{
    std::vector<std::pair<qsizetype, qsizetype>> result;
    for (const auto &change : changes)
        result.emplace_back(change.start, change.end);
    return result;
}

} // namespace

TEST(SuffixEditDistances, EqualTheTableAtEveryPointInAnyOrder)
{
    QRandomGenerator rng(31);
    for (int round = 0; round < 150; ++round) {
        const int alphabet = 1 + int(rng.bounded(5));
        const Ids a = randomIds(rng, rng.bounded(60), alphabet);
        const Ids b = rng.bounded(2) ? editedCopy(rng, a, int(rng.bounded(8)), alphabet)
                                     : randomIds(rng, rng.bounded(60), alphabet);
        const PlainSuffixLcs table(a, b);
        std::vector<std::pair<std::size_t, std::size_t>> points;
        for (std::size_t i = 0; i <= a.size(); ++i) {
            for (std::size_t j = 0; j <= b.size(); ++j)
                points.emplace_back(i, j);
        }
        std::shuffle(points.begin(), points.end(), rng);
        // All levels held, and so few that nearly every answer remakes levels from a checkpoint.
        SuffixEditDistances roomy(a, b);
        SuffixEditDistances tight(a, b, 30);
        for (auto [i, j] : points) {
            const std::int64_t expected = std::int64_t(a.size() - i + b.size() - j) - 2 * table.value(i, j);
            ASSERT_EQ(roomy.distance(i, j), expected) << round << " at " << i << ", " << j;
            ASSERT_EQ(tight.distance(i, j), expected) << round << " at " << i << ", " << j;
        }
    }
}

TEST(SuffixLcsOrder, WalksLikeTheFullTableWhateverTheBudget)
{
    // Small budgets make the walks remake their levels from sparse checkpoints, halfway ones included.
    QRandomGenerator rng(47);
    for (int round = 0; round < 150; ++round) {
        const int alphabet = 2 + int(rng.bounded(30));
        const Ids a = randomIds(rng, rng.bounded(500), alphabet);
        const Ids b = rng.bounded(5) ? editedCopy(rng, a, int(rng.bounded(40)), alphabet)
                                     : randomIds(rng, rng.bounded(500), alphabet);
        const PlainSuffixLcs table(a, b);
        const TableWalks expected = tableWalks(a, b, table);
        // Room for a few dozen levels, for about ten, and for the least window only.
        for (std::size_t budget : {SuffixEditDistances::defaultNumberBudget, 20 * (a.size() + b.size()),
                                   4 * (a.size() + b.size()), std::size_t(1)}) {
            expectWalksLikeTheTable(expected, a, b, budget, round);
        }
    }
}

TEST(SuffixLcsOrder, WalksLikeTheFullTableWhenManyTokensOccurOnOneSideOnly)
{
    // Tokens found on one side only are left out of the search; the walks still step over them
    // as the table does. Runs of such tokens on either side or on both at once, shared tokens
    // repeated, id 0 (an empty line to the alignment) shared or on one side only, and sides that
    // share nothing at all.
    QRandomGenerator rng(1207);
    for (int round = 0; round < 300; ++round) {
        const int alphabet = 1 + int(rng.bounded(12));
        const int sharedPercent = int(rng.bounded(5)) == 0 ? 0 : 20 + int(rng.bounded(81));
        int nextOwn = alphabet;
        auto side = [&](std::size_t length, std::span<const int> from) {
            Ids ids;
            for (std::size_t k = 0; k < length; ++k) {
                if (int(rng.bounded(100)) >= sharedPercent) {
                    for (int run = 1 + int(rng.bounded(4)); run > 0; --run)
                        ids.push_back(nextOwn++);
                } else if (!from.empty() && rng.bounded(2)) {
                    ids.push_back(from[rng.bounded(quint32(from.size()))]);
                } else {
                    ids.push_back(int(rng.bounded(alphabet)));
                }
            }
            return ids;
        };
        const Ids a = side(rng.bounded(150), {});
        const Ids b = side(rng.bounded(150), a);
        const PlainSuffixLcs table(a, b);
        const TableWalks expected = tableWalks(a, b, table);
        for (std::size_t budget : {SuffixEditDistances::defaultNumberBudget, std::size_t(1)}) {
            expectWalksLikeTheTable(expected, a, b, budget, round);
        }
    }
}

TEST(SuffixLcsOrder, WalksFarApartSequencesInBoundedMemory)
{
    // Distances of several thousand (where a table once took over), with the default budget and
    // with one that holds a few dozen levels: the same walks as the plain table, and never more
    // numbers held than the budget and the few levels a window and a search need.
    QRandomGenerator rng(2029);
    for (int round = 0; round < 2; ++round) {
        const int alphabet = round % 2 == 0 ? 40 : 4000;
        const Ids a = randomIds(rng, 3000 + rng.bounded(1500), alphabet);
        const Ids b = editedCopy(rng, a, 1800 + int(rng.bounded(600)), alphabet);
        const PlainSuffixLcs table(a, b);
        const std::int64_t distance = std::int64_t(a.size() + b.size()) - 2 * table.value(0, 0);
        ASSERT_GT(distance, 2900) << round;
        const TableWalks expected = tableWalks(a, b, table);
        for (std::size_t budget : {SuffixEditDistances::defaultNumberBudget, std::size_t(200000)}) {
            const WalkedOrders orders = expectWalksLikeTheTable(expected, a, b, budget, round);
            const std::size_t fewLevels = 12 * std::size_t(distance + 2);
            EXPECT_LE(orders.forMatches->distances().mostNumbersHeld(), budget + fewLevels) << round;
            EXPECT_LE(orders.forRows->distances().mostNumbersHeld(), budget + fewLevels) << round;
        }
    }
}

TEST(TextComparisonDiff, ChangesAndAlignmentEqualTheTableWalkOnEditedTexts)
{
    // Long texts in line mode with scattered edits, short ones per character, and pairs that
    // differ everywhere (the table's side of the order).
    QRandomGenerator rng(20261207);
    const QStringList pool{"天地玄黄", "宇宙洪荒", "日月盈昃", "", "x", "x\r", "辰宿列张 ", "寒来暑往", "a b", "\r"};
    for (int round = 0; round < 160; ++round) {
        const int lines = int(rng.bounded(3)) == 0 ? int(rng.bounded(200)) : 300 + int(rng.bounded(2500));
        const QString original = randomLines(rng, lines, pool);
        const int kind = int(rng.bounded(8));
        const QString edited = kind == 0 ? randomLines(rng, int(rng.bounded(2500)), pool)
                                         : editedLines(rng, original, int(rng.bounded(kind == 1 ? 400 : 40)), pool);
        ASSERT_EQ(ranges(TextComparisonDiff::changes(original, edited)), referenceChanges(original, edited))
            << "round " << round;
        ASSERT_EQ(TextComparisonDisplay::alignedOriginalText(original, edited), referenceAligned(original, edited))
            << "round " << round;
    }
}

TEST(TextComparisonDiff, ChangesAndAlignmentEqualTheTableWalkWithNewLinesOnBothSides)
{
    // Long texts whose edits mostly bring lines the other text lacks (numbered, so each occurs
    // once), on the edited side, the original side or both, among repeated and empty lines.
    QRandomGenerator rng(29);
    const QStringList pool{"天地玄黄", "", "x", "a b", "x\r"};
    for (int round = 0; round < 30; ++round) {
        const int lines = 1500 + int(rng.bounded(1500));
        const int mode = round % 3;
        QStringList original;
        QStringList edited;
        for (int k = 0; k < lines; ++k) {
            const QString line = rng.bounded(4) ? QStringLiteral("第%1行").arg(k) : pool[int(rng.bounded(int(pool.size())))];
            const bool replaced = rng.bounded(100) < 15;
            original << (replaced && mode != 0 ? QStringLiteral("原%1").arg(k) : line);
            if (!(replaced && rng.bounded(3) == 0))
                edited << (replaced && mode != 1 ? QStringLiteral("新%1").arg(k) : line);
            if (rng.bounded(50) == 0)
                edited << pool[int(rng.bounded(int(pool.size())))];
        }
        const QString a = original.join(u'\n');
        const QString b = edited.join(u'\n');
        ASSERT_EQ(ranges(TextComparisonDiff::changes(a, b)), referenceChanges(a, b)) << "round " << round;
        ASSERT_EQ(TextComparisonDisplay::alignedOriginalText(a, b), referenceAligned(a, b)) << "round " << round;
    }
}

TEST(TextComparisonDiff, TypingInALongTextKeepsTheTableWalksResults)
{
    // Keystrokes in a long text, one call after another, give what the table walk gives on the
    // whole texts.
    QRandomGenerator rng(77);
    const QStringList pool{"天地玄黄宇宙洪荒", "日月盈昃", "", "辰宿列张", "a b", "x\r"};
    const QString original = randomLines(rng, 400, pool);
    QString edited = editedLines(rng, original, 20, pool);
    const QStringList typed{"改", "\n", " ", "\r\n", "天地玄黄宇宙洪荒\n"};
    for (int key = 0; key < 150; ++key) {
        const qsizetype at = rng.bounded(quint32(edited.size() + 1));
        if (rng.bounded(4) == 0 && at < edited.size())
            edited.remove(at, 1 + qsizetype(rng.bounded(20)));
        else
            edited.insert(at, typed[int(rng.bounded(int(typed.size())))]);
        ASSERT_EQ(ranges(TextComparisonDiff::changes(original, edited)), referenceChanges(original, edited))
            << "key " << key;
        ASSERT_EQ(TextComparisonDisplay::alignedOriginalText(original, edited), referenceAligned(original, edited))
            << "key " << key;
    }
    // A text that stops being in NFD midway is still compared by canonical equivalence.
    edited.insert(5, QStringLiteral("e\u0301"));
    ASSERT_EQ(ranges(TextComparisonDiff::changes(original, edited)), referenceChanges(original, edited));
}
