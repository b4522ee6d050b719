#include "CompressionWindowFixture.h"

#include "compression/ImageCompressionService.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

TEST_F(CompressionWindowTest, ACroppedPhotoIsWrittenUnderTheNameTheListShows)
{
    add({ image(QStringLiteral("DSC_0001.jpg"), 400, 300) });
    ASSERT_TRUE(session->cropCompressionSource(session->compressionSources()[0].id, QRectF(0.1, 0.1, 0.6, 0.8),
                                              CropAspectRatio::Standard));
    EXPECT_EQ(names(), QStringList { QStringLiteral("DSC_0001-裁剪.jpg") });
    ASSERT_TRUE(ImageCompressionService::isCropFile(session->compressionSources()[0].url));

    chooser->folder = output.path();
    session->compressImages();
    ASSERT_TRUE(waitForBatch());
    session->compressImages();
    ASSERT_TRUE(waitForBatch());
    QStringList written = QDir(output.path()).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(written, (QStringList { QStringLiteral("DSC_0001-裁剪-压缩-2.jpg"), QStringLiteral("DSC_0001-裁剪-压缩.jpg") }));
    ASSERT_EQ(session->compressionResults().size(), 1u);
    EXPECT_EQ(QFileInfo(session->compressionResults()[0].outputURL).fileName(), QStringLiteral("DSC_0001-裁剪-压缩-2.jpg"));
    // The ratio's pixels reach the output.
    EXPECT_EQ(session->compressionResults()[0].outputPixelSize, QSizeF(240, 180));
}

TEST_F(CompressionWindowTest, ADropReportsEverythingItAdded)
{
    QDir(files.path()).mkdir(QStringLiteral("folder"));
    const QString single = image(QStringLiteral("single.jpg"), 60, 40);
    for (int index = 0; index < 3; ++index)
        image(QStringLiteral("folder/p%1.jpg").arg(index), 80, 60);
    view().setWorkspaceMode(WorkspaceMode::Compression);
    auto drop = [this](const QStringList &paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls << QUrl::fromLocalFile(path);
        mime.setUrls(urls);
        EXPECT_TRUE(view().handleDrop(&mime));
        // The drop is handled after a queued hop; then its adds probe in the background.
        return waitUntil([this] { return !names().isEmpty() && !session->isAddingSources(); });
    };

    ASSERT_TRUE(drop({ single, QDir(files.path()).filePath(QStringLiteral("folder")) }));
    EXPECT_EQ(names(), (QStringList { QStringLiteral("single.jpg"), QStringLiteral("p0.jpg"), QStringLiteral("p1.jpg"),
                                      QStringLiteral("p2.jpg") }));
    EXPECT_EQ(status(), QStringLiteral("已添加 4 张图片到压缩"));

    // Dropped again with one new file: only that one is counted.
    const QString fresh = image(QStringLiteral("fresh.png"), 30, 30, "PNG");
    model().setStatusMessage(QString());
    ASSERT_TRUE(drop({ QDir(files.path()).filePath(QStringLiteral("folder")), fresh }));
    ASSERT_TRUE(waitUntil([this] { return !status().isEmpty(); }));
    EXPECT_EQ(names().size(), 5);
    EXPECT_EQ(status(), QStringLiteral("已添加 1 张图片到压缩"));

    // Nothing new at all.
    model().setStatusMessage(QString());
    ASSERT_TRUE(drop({ single, fresh }));
    ASSERT_TRUE(waitUntil([this] { return !status().isEmpty(); }));
    EXPECT_EQ(status(), QStringLiteral("图片已在压缩列表中"));
}
