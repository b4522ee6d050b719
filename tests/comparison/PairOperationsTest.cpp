#include "ComparisonTestSupport.h"

#include "model/MarkupViewModel.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PairOperations : public ::testing::Test {
protected:
    PairOperations()
        : settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat)
        , model(settings)
    {
    }

    void addPairs(int count)
    {
        std::vector<ComparisonPairState> pairs;
        for (int i = 0; i < count; ++i)
            pairs.push_back(ComparisonTest::pair(QStringLiteral("p%1.png").arg(i + 1)));
        model.setComparisonPairs(pairs);
    }
    QUuid idAt(int index) const { return model.comparisonPairs().at(size_t(index)).id; }

    QTemporaryDir dir;
    QSettings settings;
    MarkupViewModel model;
};

TEST_F(PairOperations, SelectingWritesThePositionOfTheNewPairAndIgnoresUnknownIDs)
{
    addPairs(5);
    model.selectComparisonPair(idAt(1));
    EXPECT_EQ(model.selectedComparisonPairID(), idAt(1));
    EXPECT_EQ(model.statusMessage(), QStringLiteral("图片对比 2/5"));

    model.setStatusMessage(QStringLiteral("就绪"));
    model.selectComparisonPair(QUuid::createUuid());
    EXPECT_EQ(model.selectedComparisonPairID(), idAt(1));
    EXPECT_EQ(model.statusMessage(), QStringLiteral("就绪"));
}

TEST_F(PairOperations, DeletingTheSelectedPairMovesTheSelectionIntoTheGap)
{
    addPairs(3);
    const QUuid third = idAt(2);
    model.setSelectedComparisonPairID(idAt(1));
    model.deleteComparisonPair(idAt(1));
    EXPECT_EQ(model.selectedComparisonPairID(), third);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("图片对比 2/2"));

    // The last row deleted: the new last row.
    addPairs(3);
    const QUuid second = idAt(1);
    model.setSelectedComparisonPairID(idAt(2));
    model.deleteComparisonPair(idAt(2));
    EXPECT_EQ(model.selectedComparisonPairID(), second);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("图片对比 2/2"));
}

TEST_F(PairOperations, DeletingAnotherPairKeepsTheSelectionAndANilSelectionTakesTheRemovedPosition)
{
    addPairs(3);
    const QUuid first = idAt(0);
    model.setSelectedComparisonPairID(first);
    model.deleteComparisonPair(idAt(2));
    EXPECT_EQ(model.selectedComparisonPairID(), first);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("已删除图片对比"));

    addPairs(3);
    const QUuid third = idAt(2);
    model.setSelectedComparisonPairID(std::nullopt);
    model.deleteComparisonPair(idAt(1));
    EXPECT_EQ(model.selectedComparisonPairID(), third);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("图片对比 2/2"));

    // A stale id counts as no selection.
    addPairs(2);
    const QUuid second = idAt(1);
    model.setSelectedComparisonPairID(QUuid::createUuid());
    model.deleteComparisonPair(idAt(0));
    EXPECT_EQ(model.selectedComparisonPairID(), second);
}

TEST_F(PairOperations, DeletingTheOnlyPairEmptiesEverythingAndUnknownIDsDoNothing)
{
    addPairs(1);
    model.setStatusMessage(QStringLiteral("就绪"));
    model.deleteComparisonPair(QUuid::createUuid());
    EXPECT_EQ(model.comparisonPairs().size(), 1u);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("就绪"));

    model.setSelectedComparisonPairID(idAt(0));
    model.deleteComparisonPair(idAt(0));
    EXPECT_TRUE(model.comparisonPairs().empty());
    EXPECT_FALSE(model.selectedComparisonPairID());
    EXPECT_EQ(model.statusMessage(), QStringLiteral("已删除图片对比"));
    EXPECT_EQ(model.comparisonPositionText(), QStringLiteral("暂无图片对比"));
}

TEST_F(PairOperations, AppendingSelectsTheFirstNewPairAndLeavesZoomAlone)
{
    addPairs(2);
    model.setZoom(2);
    std::vector<ComparisonPairState> added{ComparisonTest::pair(QStringLiteral("a.png")),
                                           ComparisonTest::pair(QStringLiteral("b.png")),
                                           ComparisonTest::pair(QStringLiteral("c.png"))};
    const QUuid firstNew = added.front().id;
    model.appendComparisonPairs(added);
    ASSERT_EQ(model.comparisonPairs().size(), 5u);
    EXPECT_EQ(idAt(2), firstNew);
    EXPECT_EQ(model.selectedComparisonPairID(), firstNew);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("已批量添加 3 组图片对比"));
    EXPECT_EQ(model.zoom(), 2);

    model.appendComparisonPairs({ComparisonTest::pair(QStringLiteral("d.png"))});
    EXPECT_EQ(model.statusMessage(), QStringLiteral("已添加 1 组图片对比"));

    model.setStatusMessage(QStringLiteral("就绪"));
    model.appendComparisonPairs({});
    EXPECT_EQ(model.statusMessage(), QStringLiteral("就绪"));
    EXPECT_EQ(model.comparisonPairs().size(), 6u);
}

TEST_F(PairOperations, DecodingASideKeepsALazyHandleAndAThumbnailAndRefusesBadFiles)
{
    const QString good = ComparisonTest::writeImage(dir.filePath(QStringLiteral("照片.png")), 900, 600, Qt::green);
    const std::optional<ComparisonImageState> side = model.makeComparisonImage(good);
    ASSERT_TRUE(side);
    EXPECT_EQ(side->fileName, QStringLiteral("照片.png"));
    EXPECT_EQ(side->pixelSize, QSizeF(900, 600));
    EXPECT_TRUE(side->image.isLazy());
    EXPECT_EQ(side->image.image().pixelColor(10, 10), QColor(Qt::green));
    EXPECT_LE(std::max(side->thumbnail.size().width(), side->thumbnail.size().height()), 320);
    EXPECT_FALSE(model.errorMessage());

    QFile fake(dir.filePath(QStringLiteral("fake.png")));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("not an image");
    fake.close();
    EXPECT_FALSE(model.makeComparisonImage(fake.fileName()));
    EXPECT_EQ(model.errorMessage(), QStringLiteral("对比图片无法解析"));

    // A header that declares more than the program reads: refused as too large, not as unreadable.
    QFile huge(dir.filePath(QStringLiteral("huge.pgm")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write(QByteArray("P5\n20000 20000\n255\n") + QByteArray(64, '\0'));
    huge.close();
    EXPECT_FALSE(model.makeComparisonImage(huge.fileName()));
    EXPECT_EQ(model.errorMessage(), QStringLiteral("对比图片过大，无法处理"));
}

TEST_F(PairOperations, AChangedFileDrawsAsNothingRatherThanOtherPixels)
{
    const QString path = ComparisonTest::writeImage(dir.filePath(QStringLiteral("a.png")), 64, 48, Qt::red);
    const std::optional<ComparisonImageState> side = model.makeComparisonImage(path);
    ASSERT_TRUE(side);
    ComparisonTest::writeImage(path, 64, 48, Qt::blue);
    EXPECT_TRUE(side->image.image().isNull());
}

} // namespace
