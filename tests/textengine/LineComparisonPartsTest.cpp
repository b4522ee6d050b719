#include "textengine/AlignedRows.h"
#include "textengine/AnchoredLineWalks.h"
#include "textengine/ComparedLines.h"
#include "textengine/ExactLineWalks.h"
#include "textengine/LineDiffIds.h"
#include "textengine/LineSearchBudget.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

// The parts of the line comparison, each on its own: the diff's ids, the budget of the exact
// search, the exact walks and the anchored walks.

TEST(LineComparisonParts, TheDiffsIdsTellLineBreaksApart)
{
    // The lines' ids compare lines without their breaks (the alignment's view); the diff's
    // tokens keep their breaks, and a last line without a break only equals another such.
    const auto cut = compareLines(QStringLiteral("a\r\nb\nc"), QStringLiteral("a\nb\nc\n"), nullptr);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->original.ids[0], cut->edited.ids[0]);
    LineDiffIds ids(*cut);
    EXPECT_FALSE(ids.oneKind());
    EXPECT_FALSE(ids.equal(0, 0));
    EXPECT_TRUE(ids.equal(1, 1));
    EXPECT_FALSE(ids.equal(2, 2));

    const auto plain = compareLines(QStringLiteral("a\nb"), QStringLiteral("b\na\nb\n"), nullptr);
    ASSERT_TRUE(plain);
    LineDiffIds plainIds(*plain);
    EXPECT_TRUE(plainIds.oneKind());
    EXPECT_TRUE(plainIds.equal(0, 1));
    EXPECT_FALSE(plainIds.equal(1, 0));
    EXPECT_FALSE(plainIds.equal(1, 2));
    EXPECT_NE(plainIds.original()[1], plainIds.edited()[2]);
    EXPECT_EQ(plainIds.original()[0], plainIds.edited()[1]);
}

TEST(LineComparisonParts, TheSearchBudgetFollowsTheTextsAndWhatTheAnchoringHasToHoldOn)
{
    // Lines found once on each side: a few passes over the texts, doubling with them. Repeated
    // lines of the same count: far more, but still no fixed amount.
    auto distinct = [](int count) {
        std::vector<int> ids(static_cast<std::size_t>(count));
        std::iota(ids.begin(), ids.end(), 0);
        return ids;
    };
    const std::vector<int> small = distinct(100000);
    std::vector<int> shuffled = small;
    std::reverse(shuffled.begin(), shuffled.end());
    const std::size_t once = lineSearchBudget(small, shuffled, 100000);
    const std::vector<int> large = distinct(200000);
    EXPECT_LE(once, std::size_t(20) * 200000);
    EXPECT_EQ(lineSearchBudget(large, large, 200000), 2 * once);

    std::vector<int> repeated(2000);
    for (std::size_t k = 0; k < repeated.size(); ++k)
        repeated[k] = int(k % 5);
    const std::size_t forRepeated = lineSearchBudget(repeated, repeated, 5);
    const std::vector<int> few = distinct(2000);
    EXPECT_GT(forRepeated, 10 * lineSearchBudget(few, few, 2000));
    EXPECT_LE(forRepeated, std::size_t(2048) * 4000);
}

TEST(LineComparisonParts, TheExactWalksStopAtTheirBudgetOrFlag)
{
    QStringList lines;
    for (int k = 0; k < 400; ++k)
        lines << QStringLiteral("行%1").arg(k);
    QStringList reversed(lines.rbegin(), lines.rend());
    const QString original = lines.join(u'\n');
    const QString edited = reversed.join(u'\n');
    const auto cut = compareLines(original, edited, nullptr);
    ASSERT_TRUE(cut);
    LineDiffIds ids(*cut);
    std::vector<char> matched(cut->edited.diffCount(), 0);
    AlignedRows rows(original, cut->original);
    EXPECT_EQ(walkLinesExactly(*cut, ids, 0, &matched, &rows, 1000, nullptr), ExactLineWalkEnd::BudgetSpent);
    std::atomic<bool> raised{true};
    EXPECT_EQ(walkLinesExactly(*cut, ids, 0, &matched, nullptr, SIZE_MAX, &raised), ExactLineWalkEnd::Cancelled);

    // Unbounded, the longest common subsequence of a reversed text is one line, and the rows are
    // the original's with empty ones put in.
    std::fill(matched.begin(), matched.end(), 0);
    AlignedRows whole(original, cut->original);
    EXPECT_EQ(walkLinesExactly(*cut, ids, 0, &matched, &whole, SIZE_MAX, nullptr), ExactLineWalkEnd::Finished);
    EXPECT_EQ(std::count(matched.begin(), matched.end(), 1), 1);
    QStringList aligned = whole.take().split(u'\n');
    aligned.removeAll(QString());
    EXPECT_EQ(aligned, lines);
}

TEST(LineComparisonParts, TheAnchoredWalksSetPairedLinesOppositeEachOther)
{
    // Original a b c d, edited b (empty) x, paired on b: a takes a row of its own, b stands
    // opposite b, the empty edited line gets an empty row, c stands opposite x and d in a row of
    // its own; both texts end with a break, so their empty last lines stand opposite each other.
    const QString original = QStringLiteral("a\nb\nc\nd\n");
    const auto cut = compareLines(original, QStringLiteral("b\n\nx\n"), nullptr);
    ASSERT_TRUE(cut);
    std::vector<char> matched(cut->edited.diffCount(), 1);
    AlignedRows rows(original, cut->original);
    rows.line(0);
    ASSERT_TRUE(walkLinesAnchored(*cut, {{1, 0}}, &matched, &rows, nullptr));
    EXPECT_EQ(matched, (std::vector<char>{1, 0, 0}));
    EXPECT_EQ(rows.take(), QStringLiteral("a\nb\n\nc\nd\n"));
    std::atomic<bool> raised{true};
    AlignedRows stopped(original, cut->original);
    EXPECT_FALSE(walkLinesAnchored(*cut, {{1, 0}}, nullptr, &stopped, &raised));
}
