#include "textengine/AnchoredMatches.h"
#include "textengine/LineComparison.h"
#include "textengine/SuffixEditDistances.h"
#include "textengine/TextComparisonDiff.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <algorithm>

// Texts whose lines moved are compared by anchoring once the search has spent its budget. The
// answer is no longer the longest common subsequence but must still be a diff: the edited lines
// left unmarked stand in the original in the same order, and the aligned original is the
// original with empty rows put in.
namespace {

QStringList distinctLines(QRandomGenerator &rng, int count)
{
    QStringList lines;
    for (int k = 0; k < count; ++k)
        lines << QStringLiteral("第%1行 %2").arg(k).arg(rng.bounded(1000));
    return lines;
}

// The lines of a text as the diff cuts them, each with its break.
QStringList linesWithBreaks(const QString &text)
{
    QStringList lines;
    for (const TextToken &token : TextComparisonDiff::lineTokens(text))
        lines << token.value;
    return lines;
}

// The edited lines outside the changed ranges, which must be a subsequence of the original's.
void expectUnmarkedLinesInOriginal(const QString &original, const QString &edited,
                                   const std::vector<std::pair<qsizetype, qsizetype>> &changed, const char *shape)
{
    const QStringList originalLines = linesWithBreaks(original);
    qsizetype at = 0;
    std::size_t next = 0;
    for (const TextToken &token : TextComparisonDiff::lineTokens(edited)) {
        while (next < changed.size() && changed[next].second <= token.start)
            ++next;
        const bool marked = next < changed.size() && changed[next].first <= token.start;
        if (marked) {
            // Whole lines only.
            ASSERT_GE(changed[next].second, token.end) << shape;
            continue;
        }
        while (at < originalLines.size() && originalLines[at] != token.value)
            ++at;
        ASSERT_LT(at, originalLines.size()) << shape << ": unmarked line not in order: " << token.value.toStdString();
        ++at;
    }
}

// The aligned original is the original, its breaks made "\n", with only empty lines put in.
void expectOriginalWithEmptyRows(const QString &original, const QString &aligned, const char *shape)
{
    QString normalized = original;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalized.replace(u'\r', u'\n');
    const QStringList originalLines = normalized.split(u'\n');
    qsizetype at = 0;
    for (const QString &row : aligned.split(u'\n')) {
        if (at < originalLines.size() && row == originalLines[at])
            ++at;
        else
            ASSERT_TRUE(row.isEmpty()) << shape << ": row not in the original: " << row.toStdString();
    }
    EXPECT_EQ(at, originalLines.size()) << shape;
}

struct Shape {
    const char *name;
    QString original;
    QString edited;
};

std::vector<Shape> movedShapes(QRandomGenerator &rng)
{
    std::vector<Shape> shapes;
    const QStringList lines = distinctLines(rng, 600);
    QStringList shuffled = lines;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    shapes.push_back({"shuffled", lines.join(u'\n'), shuffled.join(u'\n')});
    const QStringList reversed(lines.rbegin(), lines.rend());
    shapes.push_back({"reversed", lines.join(u'\n'), reversed.join(u'\n') + u'\n'});
    shapes.push_back({"halves swapped", lines.join(u'\n') + u'\n', (lines.mid(300) + lines.mid(0, 300)).join(u'\n') + u'\n'});
    // Braces, blank lines and a few repeated statements, in functions that moved and changed.
    QStringList code;
    QStringList moved;
    for (int f = 0; f < 80; ++f) {
        const QStringList function{QStringLiteral("int f%1()").arg(f), "{", "    return 0;", "}", ""};
        code += function;
        QStringList changed = function;
        if (rng.bounded(4) == 0)
            changed[2] = QStringLiteral("    return %1;").arg(f);
        moved = rng.bounded(2) ? changed + moved : moved + changed;
    }
    shapes.push_back({"duplicate-heavy", code.join(u'\n'), moved.join(u'\n')});
    // Only repeated lines, no line found once on each side.
    const QStringList pool{"{", "}", "", "x"};
    QStringList a;
    QStringList b;
    for (int k = 0; k < 400; ++k) {
        a << pool[int(rng.bounded(4))];
        b << pool[int(rng.bounded(4))];
    }
    shapes.push_back({"repeated lines only", a.join(u'\n'), b.join(u'\n')});
    // Breaks of several kinds, and lines that differ only in their break.
    shapes.push_back({"mixed breaks", lines.mid(0, 200).join(QStringLiteral("\r\n")) + u'\n' + lines.mid(200, 200).join(u'\n'),
                      lines.mid(100, 200).join(u'\n') + u'\r' + lines.mid(0, 100).join(QStringLiteral("\r\n"))});
    return shapes;
}

} // namespace

TEST(TextComparisonFallback, AnchoredAnswersAreDiffsOnMovedLines)
{
    // A budget of nothing anchors at once; a small one stops the search midway.
    QRandomGenerator rng(33);
    for (const Shape &shape : movedShapes(rng)) {
        for (std::size_t budget : {std::size_t(0), std::size_t(5000)}) {
            LineComparisonOptions options;
            options.workBudget = budget;
            const std::optional<LineComparison> lines = compareByLines(shape.original, shape.edited, true, nullptr, options);
            ASSERT_TRUE(lines) << shape.name;
            EXPECT_TRUE(lines->anchored) << shape.name;
            expectUnmarkedLinesInOriginal(shape.original, shape.edited, lines->changedRanges, shape.name);
            expectOriginalWithEmptyRows(shape.original, lines->alignedOriginal, shape.name);
        }
    }
}

TEST(TextComparisonFallback, AnchoringFindsTheLinesThatStayed)
{
    // Halves swapped: one half stays matched, so only the other is marked. Shuffled: the lines
    // found once on each side that keep their order are matched, far more than the anchors alone.
    QRandomGenerator rng(7);
    const QStringList lines = distinctLines(rng, 1000);
    const QString original = lines.join(u'\n') + u'\n';
    const QString swapped = (lines.mid(500) + lines.mid(0, 500)).join(u'\n') + u'\n';
    LineComparisonOptions anchoredAtOnce;
    anchoredAtOnce.workBudget = 0;
    const auto halves = compareByLines(original, swapped, true, nullptr, anchoredAtOnce);
    ASSERT_TRUE(halves);
    ASSERT_EQ(halves->changedRanges.size(), 500u);
    // The aligned original puts the swapped-out half in rows of its own: 1000 lines, 500 empty
    // rows opposite the edited lines without a counterpart, and the empty last line.
    EXPECT_EQ(halves->alignedOriginal.count(u'\n'), 1500);

    // An edit in a text whose lines did not move keeps the exact answer when anchored.
    QStringList edited = lines;
    edited[400] = QStringLiteral("改过的一行");
    const auto exact = compareByLines(lines.join(u'\n'), edited.join(u'\n'), true, nullptr);
    const auto anchored = compareByLines(lines.join(u'\n'), edited.join(u'\n'), true, nullptr, anchoredAtOnce);
    ASSERT_TRUE(exact && anchored);
    EXPECT_FALSE(exact->anchored);
    EXPECT_EQ(anchored->changedRanges, exact->changedRanges);
    EXPECT_EQ(anchored->alignedOriginal, exact->alignedOriginal);
}

TEST(TextComparisonFallback, ARaisedFlagStopsEveryStage)
{
    QRandomGenerator rng(12);
    const QStringList lines = distinctLines(rng, 3000);
    QStringList shuffled = lines;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    const QString original = lines.join(u'\n');
    const QString edited = shuffled.join(u'\n');

    // Raised before the call.
    std::atomic<bool> cancelled{true};
    EXPECT_FALSE(TextComparisonDiff::compare(original, edited, &cancelled));
    EXPECT_FALSE(TextComparisonDiff::compare(QStringLiteral("ab"), QStringLiteral("ac"), &cancelled));
    cancelled = false;
    EXPECT_TRUE(TextComparisonDiff::compare(original, edited, &cancelled));

    // Raised once the search has started, and once the anchoring has.
    for (LineComparisonStage stage : {LineComparisonStage::Searching, LineComparisonStage::Anchoring}) {
        std::atomic<bool> flag{false};
        LineComparisonOptions options;
        options.workBudget = stage == LineComparisonStage::Anchoring ? 0 : SIZE_MAX;
        bool reached = false;
        options.reached = [&](LineComparisonStage now) {
            if (now == stage) {
                reached = true;
                flag = true;
            }
        };
        EXPECT_FALSE(compareByLines(original, edited, true, &flag, options));
        EXPECT_TRUE(reached);
    }

    // Inside the search itself and inside the anchoring, not only between the stages.
    std::vector<int> a(4000);
    std::vector<int> b(4000);
    for (int k = 0; k < 4000; ++k) {
        a[std::size_t(k)] = k;
        b[std::size_t(k)] = 3999 - k;
    }
    std::atomic<bool> raised{true};
    SuffixEditDistances search(a, b);
    search.setLimits(SIZE_MAX, &raised);
    search.distance(0, 0);
    EXPECT_TRUE(search.stopped());
    EXPECT_FALSE(anchoredMatches(a, b, 4000, &raised));
}

TEST(TextComparisonFallback, TheSearchStopsAtItsBudgetAndNotBefore)
{
    // Reversed sequences are as far apart as they can be: the whole search is about n² / 2.
    std::vector<int> a(2000);
    std::vector<int> b(2000);
    for (int k = 0; k < 2000; ++k) {
        a[std::size_t(k)] = k;
        b[std::size_t(k)] = 1999 - k;
    }
    SuffixEditDistances tight(a, b);
    tight.setLimits(100000, nullptr);
    tight.distance(0, 0);
    EXPECT_TRUE(tight.stopped());
    SuffixEditDistances roomy(a, b);
    roomy.setLimits(std::size_t(16) << 20, nullptr);
    EXPECT_EQ(roomy.distance(0, 0), 4000 - 2);
    EXPECT_FALSE(roomy.stopped());
}

namespace {

// Two versions of a program's source: distinct statements among blank lines and braces, the
// later one edited every twenty lines or so (runs of lines changed, removed or added) and with
// a few blocks moved.
std::pair<QString, QString> versionPair(QRandomGenerator &rng, int count)
{
    const QStringList repeated{"", "", "{", "}", "    return 0;", "        break;"};
    int serial = 0;
    auto line = [&] {
        if (rng.bounded(100) < 28)
            return repeated[int(rng.bounded(int(repeated.size())))];
        return QStringLiteral("    value%1 = value * %2;").arg(++serial).arg(rng.bounded(1000));
    };
    QStringList original;
    for (int k = 0; k < count; ++k)
        original << line();
    QStringList edited;
    for (int k = 0; k < count;) {
        const quint32 dice = rng.bounded(100);
        if (dice < 2) {
            const int run = 1 + int(rng.bounded(5));
            for (int r = 0; r < run; ++r)
                edited << line();
            k += run;
        } else if (dice < 3) {
            k += 1 + int(rng.bounded(10));
        } else if (dice < 5) {
            for (int run = 1 + int(rng.bounded(15)); run > 0; --run)
                edited << line();
        } else {
            edited << original[k++];
        }
    }
    for (int moves = 0; moves < 3; ++moves) {
        const int length = 30 + int(rng.bounded(200));
        const int from = int(rng.bounded(quint32(edited.size() - length)));
        const QStringList block = edited.mid(from, length);
        edited.remove(from, length);
        const int to = int(rng.bounded(quint32(edited.size())));
        for (int k = 0; k < length; ++k)
            edited.insert(to + k, block[k]);
    }
    return {original.join(u'\n') + u'\n', edited.join(u'\n') + u'\n'};
}

} // namespace

TEST(TextComparisonFallback, VersionsOfAProgramAnchorSoonAndMarkNearlyTheFewestLines)
{
    // The search gives way to the anchoring after work proportional to the texts, and the
    // anchored answer marks at most 2 % more lines than the longest common subsequence leaves.
    QRandomGenerator rng(2026);
    LineComparisonOptions unbounded;
    unbounded.workBudget = SIZE_MAX;
    for (int round = 0; round < 4; ++round) {
        const auto [original, edited] = versionPair(rng, 3000 + 1000 * round);
        const auto anchored = compareByLines(original, edited, true, nullptr);
        const auto minimal = compareByLines(original, edited, true, nullptr, unbounded);
        ASSERT_TRUE(anchored && minimal);
        EXPECT_TRUE(anchored->anchored) << round;
        EXPECT_FALSE(minimal->anchored) << round;
        EXPECT_LE(double(anchored->changedRanges.size()), 1.02 * double(minimal->changedRanges.size())) << round;
        expectUnmarkedLinesInOriginal(original, edited, anchored->changedRanges, "versions");
        expectOriginalWithEmptyRows(original, anchored->alignedOriginal, "versions");
    }
}

TEST(TextComparisonFallback, ReorderedAndRandomTextsGetDiffsWithTheDefaultBudget)
{
    // Reordered texts of distinct lines reach the anchoring at once, texts of repeated lines
    // keep the exact search; whichever answers, the marked lines and the original's lines that
    // stay turn the original into the copy.
    QRandomGenerator rng(5);
    for (int count : {1000, 3000}) {
        const QStringList lines = distinctLines(rng, count);
        QStringList shuffled = lines;
        std::shuffle(shuffled.begin(), shuffled.end(), rng);
        const QStringList reversed(lines.rbegin(), lines.rend());
        for (const QStringList &moved : {shuffled, reversed}) {
            const auto result = compareByLines(lines.join(u'\n'), moved.join(u'\n'), true, nullptr);
            ASSERT_TRUE(result);
            EXPECT_TRUE(result->anchored) << count;
            expectUnmarkedLinesInOriginal(lines.join(u'\n'), moved.join(u'\n'), result->changedRanges, "moved");
            expectOriginalWithEmptyRows(lines.join(u'\n'), result->alignedOriginal, "moved");
        }
    }
    const QStringList pool{"{", "}", "", "x", "return 0;"};
    for (int round = 0; round < 6; ++round) {
        QStringList a;
        QStringList b;
        for (int k = 0; k < 1500; ++k) {
            a << pool[int(rng.bounded(int(pool.size())))];
            b << (rng.bounded(3) ? pool[int(rng.bounded(int(pool.size())))] : QStringLiteral("第%1行").arg(k));
        }
        const auto result = compareByLines(a.join(u'\n'), b.join(u'\n'), true, nullptr);
        ASSERT_TRUE(result);
        EXPECT_FALSE(result->anchored) << round;
        expectUnmarkedLinesInOriginal(a.join(u'\n'), b.join(u'\n'), result->changedRanges, "random");
        expectOriginalWithEmptyRows(a.join(u'\n'), result->alignedOriginal, "random");
    }
}

TEST(TextComparisonFallback, ReorderedFunctionsKeepTheirRepeatedLinesMatched)
{
    // Functions of a program in another order: the braces, blank lines and statements they
    // repeat still stand in one order on both sides, and the anchored answer keeps them as the
    // longest common subsequence does, not only the few functions that kept their order.
    QRandomGenerator rng(19);
    QStringList functions;
    std::vector<QStringList> bodies;
    for (int f = 0; f < 300; ++f) {
        QStringList lines{QStringLiteral("static int helper%1(int value)").arg(f), "{"};
        for (int k = 0, count = 2 + int(rng.bounded(3)); k < count; ++k)
            lines << QStringLiteral("    value = value * %1 + %2;").arg(f).arg(k);
        lines << "    return value;" << "}" << "";
        bodies.push_back(lines);
    }
    QStringList original;
    for (const QStringList &lines : bodies)
        original += lines;
    std::shuffle(bodies.begin(), bodies.end(), rng);
    QStringList edited;
    for (const QStringList &lines : bodies)
        edited += lines;
    LineComparisonOptions anchoredAtOnce;
    anchoredAtOnce.workBudget = 0;
    LineComparisonOptions unbounded;
    unbounded.workBudget = SIZE_MAX;
    const auto anchored = compareByLines(original.join(u'\n'), edited.join(u'\n'), true, nullptr, anchoredAtOnce);
    const auto minimal = compareByLines(original.join(u'\n'), edited.join(u'\n'), true, nullptr, unbounded);
    ASSERT_TRUE(anchored && minimal);
    EXPECT_LE(double(anchored->changedRanges.size()), 1.2 * double(minimal->changedRanges.size()));
    expectUnmarkedLinesInOriginal(original.join(u'\n'), edited.join(u'\n'), anchored->changedRanges, "functions");
    expectOriginalWithEmptyRows(original.join(u'\n'), anchored->alignedOriginal, "functions");
}
