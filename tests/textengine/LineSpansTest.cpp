#include "textengine/LineSpans.h"

#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

TEST(LineSpans, CutEightUnitsAtATimeEqualsTheLineByLineCut)
{
    // Long texts with breaks of every kind ("\r\n" across the edges of the blocks the cut reads
    // at once among them), texts without any "\r", with and without a final break.
    QRandomGenerator rng(404);
    const QStringList breaks{"\n", "\r\n", "\r", "\n\n"};
    for (int round = 0; round < 6; ++round) {
        QString text;
        const bool plain = round % 3 == 0;
        while (text.size() < 700000) {
            text += QString(int(rng.bounded(40)), u'字');
            text += plain ? QStringLiteral("\n") : breaks[int(rng.bounded(4))];
        }
        for (qsizetype boundary : {qsizetype(1) << 18, qsizetype(2) << 18}) {
            if (!plain)
                text.replace(boundary - 1, 2, QStringLiteral("\r\n"));
        }
        if (round % 2)
            text.chop(1);
        for (LineSplit split : {LineSplit::KeepingBreaks, LineSplit::AtSeparators}) {
            const LineSpans whole(text, split);
            std::vector<std::uint8_t> breaks;
            QString seen;
            LineCutExtras extras;
            extras.breaks = &breaks;
            extras.piece = [&seen](QStringView piece) { seen += piece; };
            const std::optional<LineSpans> pieces = LineSpans::cut(text, split, nullptr, extras);
            ASSERT_TRUE(pieces);
            EXPECT_EQ(seen, text);
            ASSERT_EQ(pieces->size(), whole.size()) << round;
            ASSERT_EQ(breaks.size(), whole.size()) << round;
            for (std::size_t k = 0; k < whole.size(); ++k) {
                ASSERT_EQ((*pieces)[k].start, whole[k].start) << round << " line " << k;
                ASSERT_EQ((*pieces)[k].end, whole[k].end) << round << " line " << k;
                // The break that ends the line, as the text holds it.
                const QStringView after = QStringView(text).mid(whole[k].end, 1);
                const QStringView line = QStringView(text).mid(whole[k].start, whole[k].end - whole[k].start);
                const int expected = split == LineSplit::AtSeparators ? (k + 1 < whole.size() && after == u"\n" ? 1 : 0)
                                     : line.endsWith(u"\r\n")      ? 2
                                     : line.endsWith(u'\n')         ? 1
                                     : line.endsWith(u'\r')         ? 3
                                                                    : 0;
                ASSERT_EQ(int(breaks[k]), expected) << round << " line " << k;
            }
        }
    }
    std::atomic<bool> cancelled{true};
    EXPECT_FALSE(LineSpans::cut(QStringLiteral("a\nb"), LineSplit::KeepingBreaks, &cancelled));
}
