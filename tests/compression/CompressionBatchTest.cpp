#include "CompressionTestSupport.h"

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
