#include "CompressionWindowFixture.h"

#include "platform/DecodeBudget.h"

#include <QImage>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

#include <optional>

namespace {

class CompressionHookupTest : public CompressionWindowTest {
protected:
    // Crop files and outputs being encoded, left in the temporary folder.
    QStringList ourTemporaryFiles() const
    {
        return temp.entries().filter(QRegularExpression(QStringLiteral("^kivo-compression")));
    }
    // Everything in the output folder, hidden files included.
    QStringList outputFolderEntries() const
    {
        return QDir(output.path()).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
};

} // namespace

TEST_F(CompressionHookupTest, AddPanelSwitchesToCompressionEvenWhenNothingIsAdded)
{
    chooser->sources = std::nullopt;
    session->presentCompressionImportPanel();
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::Launcher);

    chooser->sources = QStringList { QDir(files.path()).filePath(QStringLiteral("none.jpg")) };
    session->presentCompressionImportPanel();
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::Compression);
    ASSERT_TRUE(waitUntil([this] { return !session->isAddingSources(); }));
    EXPECT_EQ(error(), QStringLiteral("没有找到可压缩的图片"));
}

// The window hands a drop to the session as one drop.
TEST_F(CompressionHookupTest, ADropReportsEverythingItAdded)
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

TEST_F(CompressionHookupTest, DestroyingTheWindowStopsARunningBatchAfterItsCurrentImagesWhole)
{
    QStringList paths;
    for (int index = 0; index < 6; ++index)
        paths << image(QStringLiteral("big%1.jpg").arg(index), 1600, 1200);
    add(paths);
    chooser->folder = output.path();
    session->compressImages();
    testing::internal::CaptureStderr();
    window.reset();
    const std::string said = testing::internal::GetCapturedStderr();
    const QStringList written = outputFolderEntries();
    EXPECT_LT(written.size(), 6);
    // Nobody is left to read a status: the stop is told on standard error, with the true count.
    EXPECT_NE(said.find(QStringLiteral("压缩已停止：已写入 %1/6 张图片").arg(written.size()).toStdString()), std::string::npos)
        << said;
    for (const QString &name : written)
        EXPECT_EQ(QImage(output.filePath(name)).size(), QSize(1600, 1200)) << name.toStdString();
    EXPECT_EQ(ourTemporaryFiles(), QStringList());
}

// Closing the window during a run waits for it, the status counting, with no question; once
// every output is written whole the quit rules apply (nothing to ask about here: it quits).
TEST_F(CompressionHookupTest, ClosingTheWindowDuringARunWaitsForEveryFileThenQuits)
{
    showWindow();
    QStringList paths;
    for (int index = 0; index < 6; ++index)
        paths << image(QStringLiteral("p%1.jpg").arg(index), 800, 600);
    add(paths);
    chooser->folder = output.path();
    // Holding the whole decode budget keeps the run at its first picture until the test lets go.
    std::optional<DecodeBudget::Reservation> hold(std::in_place, DecodeBudget::limit());
    session->compressImages();
    EXPECT_EQ(view().statusLineText(), QStringLiteral("正在压缩 0/6…"));
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(window->close());
    EXPECT_EQ(quitRequests, 0);
    EXPECT_FALSE(view().isTerminating());

    hold.reset();
    ASSERT_TRUE(waitUntil([this] { return quitRequests > 0; }));
    EXPECT_EQ(quitRequests, 1) << "two closes, one quit";
    EXPECT_TRUE(dialogs->quitPrompts.empty());
    EXPECT_EQ(view().statusLineText(), QStringLiteral("已压缩 6 张图片"));
    const QStringList written = outputFolderEntries();
    ASSERT_EQ(written.size(), 6) << written.join(", ").toStdString();
    for (const QString &name : written)
        EXPECT_EQ(QImage(output.filePath(name)).size(), QSize(800, 600)) << name.toStdString();
}
