#include "textengine/LineInterner.h"
#include "textengine/OffsetColumn.h"

#include <QHash>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

std::size_t lineInternerTestSameHash(QStringView)
{
    return 7;
}

std::size_t lineInternerTestFirstUnitHash(QStringView line)
{
    return line.isEmpty() ? 0 : line.front().unicode();
}

} // namespace

TEST(LineInterner, LinesWhoseHashesCollideKeepTheirOwnIds)
{
    // Every hash the same, or only the first code unit: lines are still told apart by their
    // code units (and by their decomposition where not in NFD), across two texts and a third
    // that grows (its data moves) while the table grows past what was reserved.
    const QStringList pool{"ab", "abc", "a", "", "ba", "é", "e\u0301", "\u00e9x", "e\u0301x", "天地", "天", "ab\n"};
    QRandomGenerator rng(11);
    for (LineInterner::Hash hash : {&lineInternerTestSameHash, &lineInternerTestFirstUnitHash}) {
        for (bool decomposedOnly : {true, false}) {
            LineInterner interner(decomposedOnly, 2, hash);
            QString first;
            QString second;
            QString growing;
            QHash<QString, int> idOf;
            auto check = [&](QString &text, const QString &line) {
                const qsizetype at = text.size();
                text.append(line);
                interner.readFrom(&text);
                const int id = interner.id(at, line.size());
                // Equal lines (by code units in NFD texts, else by decomposition) share one id.
                const QString key = decomposedOnly ? line : line.normalized(QString::NormalizationForm_D);
                ASSERT_EQ(idOf.value(key, id), id) << qPrintable(line);
                idOf.insert(key, id);
            };
            for (int k = 0; k < 400; ++k) {
                QString line = pool[int(rng.bounded(int(pool.size())))];
                if (decomposedOnly && line.contains(u'\u0301'))
                    line = "x";
                if (decomposedOnly && line.contains(u'\u00e9'))
                    line = "y";
                if (rng.bounded(3) == 0)
                    line += QString::number(rng.bounded(40));
                QString &text = k < 100 ? first : (k < 200 ? second : growing);
                check(text, line);
            }
            EXPECT_EQ(interner.size(), idOf.size());
        }
    }
}

TEST(OffsetColumn, KeepsOffsetsBeyondFourBytesAndThoseBefore)
{
    OffsetColumn column;
    const std::vector<qsizetype> values{0, 7, 0xFFFFFFFF, qsizetype(1) << 32, 3, (qsizetype(5) << 32) + 9, 12};
    for (qsizetype value : values)
        column.push_back(value);
    ASSERT_EQ(column.size(), values.size());
    for (std::size_t k = 0; k < values.size(); ++k)
        EXPECT_EQ(column[k], values[k]) << k;
}
