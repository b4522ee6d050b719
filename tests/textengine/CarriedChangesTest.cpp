#include "textengine/CarriedChanges.h"

#include <gtest/gtest.h>

namespace {

using Spans = std::vector<std::pair<qsizetype, qsizetype>>;

Spans carriedSpans(const Spans &spans, const char *from, const char *to)
{
    std::vector<TextComparisonChange> changes;
    for (const auto &[start, end] : spans)
        changes.push_back(TextComparisonChange{qint64(changes.size() + 1), start, end});
    Spans result;
    for (const TextComparisonChange &change :
         CarriedChanges::carriedOver(changes, QString::fromUtf8(from), QString::fromUtf8(to)))
        result.emplace_back(change.start, change.end);
    return result;
}

} // namespace

TEST(CarriedChanges, HighlightsStayOnTheirWordsUntilTheComparisonAnswers)
{
    // "XY" and "Z" are changes of "aXYbbZc".
    const Spans changes{{1, 3}, {5, 6}};
    // Typing before both moves both; between them moves only the later one.
    EXPECT_EQ(carriedSpans(changes, "aXYbbZc", "12aXYbbZc"), (Spans{{3, 5}, {7, 8}}));
    EXPECT_EQ(carriedSpans(changes, "aXYbbZc", "aXYb!bZc"), (Spans{{1, 3}, {6, 7}}));
    // Typing at a change's edge or inside it grows the change over the typed text.
    EXPECT_EQ(carriedSpans(changes, "aXYbbZc", "aXY!bbZc"), (Spans{{1, 4}, {6, 7}}));
    EXPECT_EQ(carriedSpans(changes, "aXYbbZc", "aX!YbbZc"), (Spans{{1, 4}, {6, 7}}));
    // Deleting a whole change drops it; deleting next to one leaves it as it was.
    EXPECT_EQ(carriedSpans(changes, "aXYbbZc", "abbZc"), (Spans{{3, 4}}));
    EXPECT_EQ(carriedSpans(changes, "aXYbbZc", "aXYbZc"), (Spans{{1, 3}, {4, 5}}));
    // The same text (a markup changed) keeps everything; changes past a shorter text go.
    EXPECT_EQ(carriedSpans(changes, "aXYbbZc", "aXYbbZc"), changes);
    EXPECT_EQ(carriedSpans({{1, 3}, {9, 12}}, "aXYbbZc", "aXYbbZc"), (Spans{{1, 3}}));
}

// In a long text the edit is found wherever it falls, at a block's edge or inside one: changes
// right before and right after the typed text tell where it was found.
TEST(CarriedChanges, AnEditIsFoundAnywhereInALongText)
{
    QString text;
    for (int index = 0; index < 3000; ++index)
        text += QChar(0x4E00 + (index * 7) % 97); // neighbours always differ
    for (const qsizetype at : {2, 511, 512, 513, 1023, 1024, 1025, 2047, 2048, 2488, 2489, 2997}) {
        // One change ends where "XY" is typed, one starts just after it, one lies far away.
        const std::vector<TextComparisonChange> changes{{1, at - 2, at}, {2, at + 1, at + 3}, {3, 2998, 3000}};
        QString typed = text;
        typed.insert(at, QStringLiteral("XY"));
        const std::vector<TextComparisonChange> carried = CarriedChanges::carriedOver(changes, text, typed);
        ASSERT_EQ(carried.size(), 3u) << at;
        EXPECT_EQ(std::make_pair(carried[0].start, carried[0].end), std::make_pair(at - 2, at + 2)) << at;
        EXPECT_EQ(std::make_pair(carried[1].start, carried[1].end), std::make_pair(at + 3, at + 5)) << at;
        EXPECT_EQ(std::make_pair(carried[2].start, carried[2].end), std::make_pair(qsizetype(3000), qsizetype(3002)))
            << at;
        // Deleting the character between them moves the later one back and leaves the first.
        QString cut = text;
        cut.remove(at, 1);
        const std::vector<TextComparisonChange> back = CarriedChanges::carriedOver(changes, text, cut);
        ASSERT_EQ(back.size(), 3u) << at;
        EXPECT_EQ(std::make_pair(back[0].start, back[0].end), std::make_pair(at - 2, at)) << at;
        EXPECT_EQ(std::make_pair(back[1].start, back[1].end), std::make_pair(at, at + 2)) << at;
    }
}
