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
