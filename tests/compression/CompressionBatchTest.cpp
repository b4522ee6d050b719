#include "CompressionTestSupport.h"

#include "compression/ImageCompressionRules.h"
#include "compression/ImageCompressionService.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ImageCompressionService;
using namespace CompressionTest;

// Two files at a time, yet the outputs are named as one after the other would name them: sources
// with the same base name take -压缩, -压缩-2, -压缩-3 in list order, however the files finish.
TEST(CompressionBatch, NamesOutputsInListOrderAndCountsFailures)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    QStringList paths;
    // A large file first, so that the small one after it is usually done first.
    const QSize sizes[] = { { 2400, 1800 }, { 40, 30 }, { 600, 400 }, { 20, 20 }, { 1200, 900 }, { 30, 20 } };
    for (int i = 0; i < 6; ++i) {
        const QString folder = dir.filePath(QString::number(i));
        QDir().mkpath(folder);
        paths << saveImage(photoLike(sizes[i].width(), sizes[i].height()), folder + "/photo.jpg", "jpeg", 92);
    }
    std::vector<ImageCompressionSource> list;
    for (const QString &path : paths) {
        const auto probed = source(path);
        ASSERT_TRUE(probed);
        list.push_back(*probed);
    }
    // A file that broke after it was listed fails without holding up the names after it.
    TestSupport::writeFile(paths[3], QByteArray("not a picture"));

    const BatchOutcome outcome = compressBatch(list, ImageCompressionSettings(), out.path());
    EXPECT_EQ(outcome.failed, 1);
    ASSERT_EQ(outcome.results.size(), 5u);
    const QStringList expectedNames { "photo-压缩.jpg", "photo-压缩-2.jpg", "photo-压缩-3.jpg", "photo-压缩-4.jpg",
                                      "photo-压缩-5.jpg" };
    const int listed[] = { 0, 1, 2, 4, 5 };
    for (size_t k = 0; k < outcome.results.size(); ++k) {
        EXPECT_EQ(outcome.results[k].sourceID, list[size_t(listed[k])].id) << k;
        EXPECT_EQ(QFileInfo(outcome.results[k].outputURL).fileName(), expectedNames[int(k)]) << k;
        EXPECT_EQ(outcome.results[k].outputPixelSize, QSizeF(sizes[listed[k]])) << k;
    }
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files).size(), 5);

    // Once stopping, nothing more is started.
    QTemporaryDir none;
    const std::atomic<bool> stopping { true };
    const BatchOutcome stopped = compressBatch(list, ImageCompressionSettings(), none.path(), &stopping);
    EXPECT_TRUE(stopped.results.empty());
    EXPECT_EQ(stopped.failed, 0);
    EXPECT_TRUE(QDir(none.path()).entryList(QDir::Files).isEmpty());
}

// The folder goes away once two files are done: the files still running and every later one fail,
// the written ones keep their bytes where the folder went, and the saving is theirs alone.
TEST(CompressionBatch, AFolderThatGoesAwayHalfwayFailsTheRestAndSavesOnlyWhatWasWritten)
{
    QTemporaryDir dir;
    QTemporaryDir parent;
    const QString out = parent.filePath("out");
    const QString movedAway = parent.filePath("moved");
    ASSERT_TRUE(QDir().mkpath(out));
    std::vector<ImageCompressionSource> list;
    for (int i = 0; i < 7; ++i) {
        const auto probed = source(saveImage(photoLike(800, 600), dir.filePath(QStringLiteral("p%1.jpg").arg(i)), "jpeg", 95));
        ASSERT_TRUE(probed);
        list.push_back(*probed);
    }
    std::atomic<bool> moved { false };
    const BatchProgress progress = [&](int done, int) {
        if (done >= 2 && !moved.exchange(true)) {
            EXPECT_TRUE(QDir().rename(out, movedAway));
        }
    };
    const BatchOutcome outcome = compressBatch(list, ImageCompressionSettings(0.5, ImageCompressionMaxDimension::original),
                                               out, nullptr, progress);
    // Two done before the move, at most one more under way while it happened.
    EXPECT_GE(outcome.results.size(), 2u);
    EXPECT_LE(outcome.results.size(), 3u);
    EXPECT_EQ(int(outcome.results.size()) + outcome.failed, 7);
    EXPECT_EQ(int(outcome.failedSourceIDs.size()), outcome.failed);
    EXPECT_EQ(outcome.failedSourceIDs.back(), list.back().id);
    EXPECT_TRUE(outcome.firstFailure.startsWith("无法写入 " + out)) << outcome.firstFailure.toStdString();
    // The failures say why, and that all of them failed alike.
    EXPECT_EQ(outcome.firstFailureReason, "无法写入 " + out + "：文件夹不存在");
    EXPECT_EQ(outcome.firstFailureShare, outcome.failed);
    const CompressionRunReport report { outcome.results, outcome.failed, outcome.firstFailureReason,
                                        outcome.firstFailureShare };
    EXPECT_TRUE(ImageCompressionRules::summaryText(report).endsWith(
        QStringLiteral("，%1 张失败：无法写入 ").arg(outcome.failed) + out + "：文件夹不存在"))
        << ImageCompressionRules::summaryText(report).toStdString();

    qint64 saved = 0;
    for (const ImageCompressionResult &result : outcome.results) {
        const QFileInfo written(QDir(movedAway).filePath(QFileInfo(result.outputURL).fileName()));
        ASSERT_TRUE(written.exists()) << result.outputURL.toStdString();
        EXPECT_EQ(result.compressedBytes, written.size());
        const auto from = std::find_if(list.begin(), list.end(), [&](const auto &s) { return s.id == result.sourceID; });
        saved += from->originalBytes - written.size();
    }
    EXPECT_GT(saved, 0);
    EXPECT_EQ(ImageCompressionRules::savedBytes(outcome.results), saved);
    // No output name shows a file cut short. The file under way when the folder moved may have left
    // its hidden part file behind, which the next run into that folder removes.
    const QStringList hidden = QDir(movedAway).entryList({ ".*" }, QDir::Files | QDir::Hidden);
    EXPECT_LE(hidden.size(), 1) << hidden.join(", ").toStdString();
    for (const QString &name : hidden)
        EXPECT_TRUE(name.startsWith(".kivo-compression-") && name.endsWith(".part")) << name.toStdString();
    EXPECT_EQ(QDir(movedAway).entryList(QDir::Files).size(), int(outcome.results.size()));
    const BatchOutcome again = compressBatch({ list.front() }, ImageCompressionSettings(), movedAway);
    EXPECT_EQ(again.results.size(), 1u);
    EXPECT_EQ(QDir(movedAway).entryList({ ".*" }, QDir::Files | QDir::Hidden), QStringList());
}
