#include "ComparisonTestSupport.h"

#include "comparison/ComparisonPairing.h"
#include "model/MarkupViewModel.h"
#include "support/HugeImage.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString key(const QString &name)
{
    return MarkupViewModel::comparisonMatchKey(QStringLiteral("/some/folder/") + name);
}

TEST(ComparisonMatchKey, FoldsWidthAccentsCaseAndRemovesMarkersAndSeparators)
{
    const std::vector<std::pair<QString, QString>> table{
        {QStringLiteral("IMG_001_修改前.png"), QStringLiteral("img001")},
        {QStringLiteral("IMG 001 修改后.jpg"), QStringLiteral("img001")},
        {QStringLiteral("Banner-old.png"), QStringLiteral("banner")},
        {QStringLiteral("banner (new).png"), QStringLiteral("banner")},
        {QStringLiteral("Report Final.PNG"), QStringLiteral("report")},
        {QStringLiteral("照片-修改前.png"), QStringLiteral("照片")},
        {QStringLiteral("照片（修改后）.png"), QStringLiteral("照片")},
        {QStringLiteral("【海报】—旧版–v2.png"), QStringLiteral("海报v2")},
        {QStringLiteral("x_original.png"), QStringLiteral("x")},   // before "origin"
        {QStringLiteral("x_revision.png"), QStringLiteral("x")},
        {QStringLiteral("x_edited.png"), QStringLiteral("x")},     // before "edit"
        {QStringLiteral("renewal.png"), QStringLiteral("real")},    // markers go inside words too
        {QStringLiteral("be-fore.png"), QStringLiteral("before")},  // markers before separators
        {QStringLiteral("ＩＭＧ１.png"), QStringLiteral("img1")},
        {QStringLiteral("img\u30001.png"), QStringLiteral("img1")}, // ideographic space
        {QStringLiteral("ｶﾒﾗ.png"), QStringLiteral("カメラ")},       // half-width katakana
        {QStringLiteral("①.png"), QStringLiteral("①")},             // not folded like a digit
        {QStringLiteral("Café Crème.png"), QStringLiteral("cafecreme")},
        {QStringLiteral("a.b.png"), QStringLiteral("ab")},          // only the last extension
        {QStringLiteral("{x}[y]\tz.tar.gz"), QStringLiteral("xyztar")},
        {QStringLiteral(".hidden"), QStringLiteral("hidden")},
        {QStringLiteral("before.png"), QString()},
        {QStringLiteral("修改后.jpg"), QString()},
    };
    for (const auto &[name, expected] : table)
        EXPECT_EQ(key(name), expected) << name.toStdString();
}

QStringList names(const QStringList &paths)
{
    QStringList result;
    for (const QString &path : paths)
        result.append(path.section(u'/', -1));
    return result;
}

TEST(ComparisonMatching, PairsUniqueKeysOnlyAndKeepsTheSortedOrders)
{
    const auto match = MarkupViewModel::matchComparisonURLs(
        {QStringLiteral("/b/x_old.png"), QStringLiteral("/b/x-before.png"), QStringLiteral("/b/y_old.png"),
         QStringLiteral("/b/z.png")},
        {QStringLiteral("/a/1/y_new.png"), QStringLiteral("/a/2/y_new.png"), QStringLiteral("/a/x_new.png")});
    // Two before files, one after file: the first before file takes it.
    ASSERT_EQ(match.matched.size(), 1u);
    EXPECT_EQ(match.matched[0], std::make_pair(QStringLiteral("/b/x_old.png"), QStringLiteral("/a/x_new.png")));
    // Two after files with one key: none pairs, the same name appears twice.
    EXPECT_EQ(names(match.unmatchedBefore),
              (QStringList{QStringLiteral("x-before.png"), QStringLiteral("y_old.png"), QStringLiteral("z.png")}));
    EXPECT_EQ(names(match.unmatchedAfter), (QStringList{QStringLiteral("y_new.png"), QStringLiteral("y_new.png")}));

    const auto empty = MarkupViewModel::matchComparisonURLs({QStringLiteral("/b/before.png")},
                                                            {QStringLiteral("/a/after.png")});
    ASSERT_EQ(empty.matched.size(), 1u);
    EXPECT_TRUE(empty.unmatchedBefore.isEmpty());
    EXPECT_TRUE(empty.unmatchedAfter.isEmpty());
}

TEST(ComparisonOrder, NaturalCaseInsensitiveAndStable)
{
    QTemporaryDir dir;
    for (const QString &name : {QStringLiteral("10.png"), QStringLiteral("2.png"), QStringLiteral("B.png"),
                                QStringLiteral("a.png")})
        ComparisonTest::writeImage(dir.filePath(name), 4, 4);
    ComparisonTest::writeImage(dir.filePath(QStringLiteral("sub/a.png")), 4, 4);
    const QStringList sorted = ComparisonPairing::sortedImageFiles(dir.path());
    ASSERT_EQ(sorted.size(), 5);
    EXPECT_EQ(names(sorted.mid(0, 4)),
              (QStringList{QStringLiteral("2.png"), QStringLiteral("10.png"), QStringLiteral("a.png"), QStringLiteral("a.png")}));
    EXPECT_EQ(sorted.at(4).section(u'/', -1), QStringLiteral("B.png"));
}

class FolderBatch : public ::testing::Test {
protected:
    FolderBatch()
        : settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat)
        , model(settings)
    {
    }
    QString before(const QString &name) const { return dir.filePath(QStringLiteral("before/") + name); }
    QString after(const QString &name) const { return dir.filePath(QStringLiteral("after/") + name); }

    QTemporaryDir dir;
    QSettings settings;
    MarkupViewModel model;
};

TEST_F(FolderBatch, PairsDecodableFilesAndSkipsHiddenLinksAndNonImages)
{
    ComparisonTest::writeImage(before(QStringLiteral("10_before.png")), 30, 20, Qt::red);
    ComparisonTest::writeImage(before(QStringLiteral("2_before.png")), 30, 20, Qt::red);
    ComparisonTest::writeImage(before(QStringLiteral("sub/deep_old.jpg")), 30, 20, Qt::red);
    ComparisonTest::writeImage(before(QStringLiteral(".secret_old.png")), 30, 20, Qt::red);
    ComparisonTest::writeImage(before(QStringLiteral(".hiddenfolder/h_old.png")), 30, 20, Qt::red);
    ComparisonTest::writeImage(before(QStringLiteral("lonely.png")), 30, 20, Qt::red);
    TestSupport::writeFile(before(QStringLiteral("notes_old.txt")), "text");
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("before")), before(QStringLiteral("sub/loop"))));

    ComparisonTest::writeImage(after(QStringLiteral("2_after.png")), 60, 40, Qt::blue);
    ComparisonTest::writeImage(after(QStringLiteral("10_after.png")), 60, 40, Qt::blue);
    ComparisonTest::writeImage(after(QStringLiteral("deep_new.png")), 60, 40, Qt::blue);
    ComparisonTest::writeImage(after(QStringLiteral("h_new.png")), 60, 40, Qt::blue);
    TestSupport::writeFile(after(QStringLiteral("notes_new.txt")), "text");

    model.setStatusMessage(QStringLiteral("就绪"));
    const ComparisonBatchImportResult result =
        model.batchComparisonPairs(dir.filePath(QStringLiteral("before")), dir.filePath(QStringLiteral("after")));
    ASSERT_EQ(result.pairs.size(), 3u);
    EXPECT_EQ(result.pairs[0].before.fileName, QStringLiteral("2_before.png"));
    EXPECT_EQ(result.pairs[1].before.fileName, QStringLiteral("10_before.png"));
    EXPECT_EQ(result.pairs[2].before.fileName, QStringLiteral("deep_old.jpg"));
    EXPECT_EQ(result.pairs[2].after.pixelSize, QSizeF(60, 40));
    EXPECT_NE(result.pairs[0].id, result.pairs[1].id);
    EXPECT_EQ(result.unmatchedBefore, QStringList{QStringLiteral("lonely.png")});
    EXPECT_EQ(result.unmatchedAfter, QStringList{QStringLiteral("h_new.png")});
    // The batch leaves the list, the selection, the status and the error alone.
    EXPECT_TRUE(model.comparisonPairs().empty());
    EXPECT_EQ(model.statusMessage(), QStringLiteral("就绪"));
    EXPECT_FALSE(model.errorMessage());
}

TEST_F(FolderBatch, APairWithADamagedOrOversizedSideIsInNoListAndSetsTheError)
{
    ComparisonTest::writeImage(before(QStringLiteral("a_old.png")), 10, 10);
    TestSupport::writeFile(after(QStringLiteral("a_new.png")), "broken");
    ComparisonTest::writeImage(before(QStringLiteral("b_old.png")), 10, 10);
    ComparisonTest::writeImage(after(QStringLiteral("b_new.png")), 10, 10);
    // A header claiming 100 000 × 100 000 pixels is refused before anything is allocated.
    TestSupport::writeFile(before(QStringLiteral("c_old.png")), pngClaimingSize(100000, 100000));
    ComparisonTest::writeImage(after(QStringLiteral("c_new.png")), 10, 10);

    const ComparisonBatchImportResult result =
        model.batchComparisonPairs(dir.filePath(QStringLiteral("before")), dir.filePath(QStringLiteral("after")));
    ASSERT_EQ(result.pairs.size(), 1u);
    EXPECT_EQ(result.pairs[0].before.fileName, QStringLiteral("b_old.png"));
    EXPECT_TRUE(result.unmatchedBefore.isEmpty());
    EXPECT_TRUE(result.unmatchedAfter.isEmpty());
    EXPECT_EQ(model.errorMessage(), QStringLiteral("对比图片无法解析"));
}

TEST_F(FolderBatch, AnEmptyBeforeFolderLeavesEveryAfterFileUnmatchedInNameOrder)
{
    QDir().mkpath(dir.filePath(QStringLiteral("before")));
    for (const QString &name : {QStringLiteral("c.png"), QStringLiteral("a.png"), QStringLiteral("b.png")})
        ComparisonTest::writeImage(after(name), 5, 5);
    const ComparisonBatchImportResult result =
        model.batchComparisonPairs(dir.filePath(QStringLiteral("before")), dir.filePath(QStringLiteral("after")));
    EXPECT_TRUE(result.pairs.empty());
    EXPECT_TRUE(result.unmatchedBefore.isEmpty());
    EXPECT_EQ(result.unmatchedAfter, (QStringList{QStringLiteral("a.png"), QStringLiteral("b.png"), QStringLiteral("c.png")}));
}

} // namespace
