#include "CompressionWindowFixture.h"

#include "compression/ImageCompressionService.h"
#include "platform/DecodeBudget.h"
#include "support/TestSupport.h"

#include <QRegularExpression>

#include <QFileInfo>
#include <QImage>

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

TEST_F(CompressionHookupTest, AddingAppendsNewFilesAndReportsDuplicatesAndNothingUsable)
{
    const QString a1 = image(QStringLiteral("a1.jpg"), 64, 48);
    const QString a10 = image(QStringLiteral("a10.jpg"), 64, 48);
    const QString a2 = image(QStringLiteral("a2.png"), 40, 40, "PNG");
    const QString text = TestSupport::writeFile(QDir(files.path()).filePath(QStringLiteral("notes.txt")), "hello");

    add({ a10, a1 });
    EXPECT_EQ(names(), (QStringList { QStringLiteral("a1.jpg"), QStringLiteral("a10.jpg") }));
    EXPECT_EQ(status(), QStringLiteral("已添加 2 张图片到压缩"));
    EXPECT_EQ(session->selectedCompressionSourceID(), session->compressionSources()[0].id);

    // A mix: only the new file is appended, the selection stays, the results are emptied.
    session->setSelectedCompressionSourceID(session->compressionSources()[1].id);
    session->finishImageCompression({ ImageCompressionResult {} }, 0);
    add({ a1, a2 });
    EXPECT_EQ(names(), (QStringList { QStringLiteral("a1.jpg"), QStringLiteral("a10.jpg"), QStringLiteral("a2.png") }));
    EXPECT_EQ(session->selectedCompressionSourceID(), session->compressionSources()[1].id);
    EXPECT_TRUE(session->compressionResults().empty());
    EXPECT_EQ(status(), QStringLiteral("已添加 1 张图片到压缩"));

    // The same folder again: nothing new, the first entry is selected, the results stay.
    session->finishImageCompression({ ImageCompressionResult {} }, 0);
    add({ files.path() });
    EXPECT_EQ(names().size(), 3);
    EXPECT_EQ(status(), QStringLiteral("图片已在压缩列表中"));
    EXPECT_EQ(session->selectedCompressionSourceID(), session->compressionSources()[0].id);
    EXPECT_EQ(session->compressionResults().size(), 1u);

    // Nothing usable: the error only.
    clearErrors();
    add({ text, QDir(files.path()).filePath(QStringLiteral("missing.jpg")) });
    EXPECT_EQ(error(), QStringLiteral("没有找到可压缩的图片"));
    EXPECT_EQ(status(), QStringLiteral("图片已在压缩列表中"));
    EXPECT_EQ(names().size(), 3);
}

TEST_F(CompressionHookupTest, CallsInARowApplyInCallOrderAgainstTheListAsEachLeftIt)
{
    // A large folder first and a single file after it: the single file's probe finishes first,
    // but its add must still come second.
    QDir(files.path()).mkdir(QStringLiteral("many"));
    QStringList many;
    for (int index = 0; index < 12; ++index)
        many << image(QStringLiteral("many/p%1.jpg").arg(index), 300, 200);
    const QString single = image(QStringLiteral("single.jpg"), 30, 20);
    session->addCompressionSources({ QDir(files.path()).filePath(QStringLiteral("many")) });
    session->addCompressionSources({ single });
    session->addCompressionSources({ single, many[0] });
    ASSERT_TRUE(waitUntil([this] { return !session->isAddingSources(); }));
    ASSERT_EQ(names().size(), 13);
    EXPECT_EQ(names().front(), QStringLiteral("p0.jpg"));
    EXPECT_EQ(names().back(), QStringLiteral("single.jpg"));
    EXPECT_EQ(status(), QStringLiteral("图片已在压缩列表中"));
    EXPECT_EQ(session->selectedCompressionSourceID(), session->compressionSources()[0].id);
}

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

TEST_F(CompressionHookupTest, RemoveAndClearFollowTheListAndLeaveOtherResults)
{
    add({ image(QStringLiteral("1.jpg"), 20, 20), image(QStringLiteral("2.jpg"), 20, 20),
          image(QStringLiteral("3.jpg"), 20, 20) });
    const auto sources = session->compressionSources();
    ImageCompressionResult first, second;
    first.sourceID = sources[0].id;
    second.sourceID = sources[1].id;
    session->finishImageCompression({ first, second }, 0);
    session->setSelectedCompressionSourceID(sources[1].id);

    session->removeCompressionSource(sources[1].id);
    EXPECT_EQ(names(), (QStringList { QStringLiteral("1.jpg"), QStringLiteral("3.jpg") }));
    EXPECT_EQ(session->compressionResults(), std::vector<ImageCompressionResult> { first });
    EXPECT_EQ(session->selectedCompressionSourceID(), sources[0].id); // the first, not the neighbour
    EXPECT_EQ(status(), QStringLiteral("已移除图片"));

    model().setStatusMessage(QString());
    session->removeCompressionSource(QUuid::createUuid());
    EXPECT_EQ(names().size(), 2);
    EXPECT_EQ(status(), QStringLiteral("已移除图片"));

    session->removeCompressionSource(sources[2].id);
    session->removeCompressionSource(sources[0].id);
    EXPECT_TRUE(session->compressionSources().empty());
    EXPECT_FALSE(session->selectedCompressionSourceID());
    EXPECT_EQ(status(), QStringLiteral("已清空压缩列表"));

    add({ image(QStringLiteral("4.jpg"), 20, 20) });
    model().setErrorMessage(QStringLiteral("earlier"));
    session->clearCompressionSources();
    EXPECT_TRUE(session->compressionSources().empty());
    EXPECT_FALSE(session->selectedCompressionSourceID());
    EXPECT_EQ(status(), QStringLiteral("已清空压缩列表"));
    EXPECT_EQ(error(), QStringLiteral("earlier"));
}

TEST_F(CompressionHookupTest, CropReplacesTheEntryInPlaceOrReportsTheRefusal)
{
    add({ image(QStringLiteral("a.jpg"), 400, 300), image(QStringLiteral("b.jpg"), 400, 300),
          gif(QStringLiteral("c.gif")) });
    const auto sources = session->compressionSources();
    ImageCompressionResult ofB, ofA;
    ofA.sourceID = sources[0].id;
    ofB.sourceID = sources[1].id;
    session->finishImageCompression({ ofA, ofB }, 0);

    EXPECT_FALSE(session->cropCompressionSource(QUuid::createUuid(), QRectF(0, 0, 0.5, 0.5)));
    ASSERT_TRUE(session->cropCompressionSource(sources[1].id, QRectF(0.1, 0.1, 0.5, 0.5)));
    const ImageCompressionSource &cropped = session->compressionSources()[1];
    EXPECT_EQ(cropped.id, sources[1].id);
    EXPECT_EQ(cropped.fileName, QStringLiteral("b-裁剪.jpg"));
    EXPECT_EQ(cropped.pixelSize, QSizeF(200, 150));
    EXPECT_EQ(names(),
              (QStringList { QStringLiteral("a.jpg"), QStringLiteral("b-裁剪.jpg"), QStringLiteral("c.gif") }));
    EXPECT_EQ(session->selectedCompressionSourceID(), sources[1].id);
    EXPECT_EQ(session->compressionResults(), std::vector<ImageCompressionResult> { ofA });
    EXPECT_EQ(status(), QStringLiteral("已裁剪：b-裁剪.jpg"));

    clearErrors();
    EXPECT_FALSE(session->cropCompressionSource(sources[2].id, QRectF(0, 0, 0.5, 0.5)));
    EXPECT_EQ(error(), ImageCompressionServiceError::cropUnsupported(sources[2].url).description());
    EXPECT_FALSE(session->cropCompressionSource(sources[0].id, QRectF(0, 0, 0.001, 0.001)));
    EXPECT_EQ(error(), ImageCompressionServiceError::cropTooSmall(sources[0].url).description());
    EXPECT_EQ(session->compressionSources()[0], sources[0]);
    EXPECT_EQ(status(), QStringLiteral("已裁剪：b-裁剪.jpg"));
}

TEST_F(CompressionHookupTest, BatchPublishesOnceWithCountsOrTheError)
{
    add({ image(QStringLiteral("1.jpg"), 300, 200), image(QStringLiteral("2.jpg"), 300, 200),
          image(QStringLiteral("3.jpg"), 300, 200), image(QStringLiteral("4.jpg"), 300, 200) });
    int resultChanges = 0, busyChanges = 0;
    QObject::connect(session, &ImageCompressionSession::compressionResultsChanged, [&] { ++resultChanges; });
    QObject::connect(session, &ImageCompressionSession::isCompressingImagesChanged, [&] { ++busyChanges; });

    // Cancelling the folder panel changes nothing.
    session->finishImageCompression({ ImageCompressionResult {} }, 0);
    resultChanges = 0;
    session->compressImages();
    EXPECT_EQ(chooser->folderQuestions, 1);
    EXPECT_FALSE(session->isCompressingImages());
    EXPECT_EQ(session->compressionResults().size(), 1u);

    chooser->folder = output.path();
    session->compressImages();
    EXPECT_TRUE(session->isCompressingImages());
    EXPECT_TRUE(session->compressionResults().empty());
    session->compressImages(); // a second start while running: no panel, nothing
    EXPECT_EQ(chooser->folderQuestions, 2);
    ASSERT_TRUE(waitForBatch());
    EXPECT_EQ(session->compressionResults().size(), 4u);
    EXPECT_EQ(status(), QStringLiteral("已压缩 4 张图片"));
    EXPECT_EQ(resultChanges, 2); // emptied at the start, published at the end
    EXPECT_EQ(busyChanges, 2);
    EXPECT_EQ(QDir(output.path()).entryList(QDir::Files).size(), 4);

    // One file vanished: counted as a failure, the others published.
    QFile::remove(session->compressionSources()[2].url);
    session->compressImages();
    ASSERT_TRUE(waitForBatch());
    EXPECT_EQ(session->compressionResults().size(), 3u);
    EXPECT_EQ(status(), QStringLiteral("已压缩 3 张，1 张失败"));

    // Nothing written: the error says why the first image failed, the status counts this run.
    for (const ImageCompressionSource &source : session->compressionSources())
        QFile::remove(source.url);
    clearErrors();
    session->compressImages();
    ASSERT_TRUE(waitForBatch());
    EXPECT_TRUE(session->compressionResults().empty());
    EXPECT_EQ(error(), QStringLiteral("压缩失败：无法读取图片：1.jpg"));
    EXPECT_EQ(status(), QStringLiteral("已压缩 0 张，4 张失败"));

    // An empty list opens no panel.
    session->clearCompressionSources();
    session->compressImages();
    EXPECT_EQ(chooser->folderQuestions, 4);
}

TEST_F(CompressionHookupTest, CropFilesAreDeletedOnceNothingNeedsThem)
{
    add({ image(QStringLiteral("a.jpg"), 200, 100), image(QStringLiteral("b.jpg"), 200, 100),
          image(QStringLiteral("c.jpg"), 200, 100) });
    const auto sources = session->compressionSources();
    const auto cropOf = [this](int index) { return session->compressionSources()[size_t(index)].url; };

    // Re-crop: the first crop file goes, the original file stays.
    ASSERT_TRUE(session->cropCompressionSource(sources[0].id, QRectF(0, 0, 0.8, 0.8)));
    const QString firstCrop = cropOf(0);
    ASSERT_TRUE(ImageCompressionService::isCropFile(firstCrop));
    ASSERT_TRUE(session->cropCompressionSource(sources[0].id, QRectF(0, 0, 0.8, 0.8)));
    EXPECT_FALSE(QFileInfo::exists(firstCrop));
    EXPECT_TRUE(QFileInfo::exists(cropOf(0)));
    EXPECT_TRUE(QFileInfo::exists(sources[0].url));

    // Remove and clear.
    const QString secondCrop = cropOf(0);
    session->removeCompressionSource(sources[0].id);
    EXPECT_FALSE(QFileInfo::exists(secondCrop));
    EXPECT_TRUE(QFileInfo::exists(sources[0].url));
    ASSERT_TRUE(session->cropCompressionSource(sources[1].id, QRectF(0, 0, 0.8, 0.8)));
    const QString clearedCrop = cropOf(0);
    session->clearCompressionSources();
    EXPECT_FALSE(QFileInfo::exists(clearedCrop));

    // A batch still reading a crop keeps it until it has published.
    add({ sources[2].url });
    const QUuid id = session->compressionSources()[0].id;
    ASSERT_TRUE(session->cropCompressionSource(id, QRectF(0, 0, 0.8, 0.8)));
    const QString inBatch = cropOf(0);
    chooser->folder = output.path();
    session->compressImages();
    session->removeCompressionSource(id);
    EXPECT_TRUE(QFileInfo::exists(inBatch));
    ASSERT_TRUE(waitForBatch());
    EXPECT_EQ(status(), QStringLiteral("已压缩 1 张图片"));
    EXPECT_FALSE(QFileInfo::exists(inBatch));

    // At exit, the crops still listed go with the window.
    add({ sources[1].url });
    ASSERT_TRUE(session->cropCompressionSource(session->compressionSources()[0].id, QRectF(0, 0, 0.8, 0.8)));
    const QString atExit = cropOf(0);
    window.reset();
    EXPECT_FALSE(QFileInfo::exists(atExit));
    EXPECT_EQ(ourTemporaryFiles(), QStringList());
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
