#include "compression/ImageCompressionSession.h"
#include "CompressionTestSupport.h"
#include "FakeCompressionChooser.h"

#include "compression/ImageCompressionService.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The statuses and errors a session reports, in order.
struct ReportLog {
    QStringList statuses;
    QStringList errors;
    explicit ReportLog(ImageCompressionSession &session)
    {
        QObject::connect(&session, &ImageCompressionSession::statusReported,
                         [this](const QString &message) { statuses << message; });
        QObject::connect(&session, &ImageCompressionSession::errorReported,
                         [this](const QString &message) { errors << message; });
    }
    void clear()
    {
        statuses.clear();
        errors.clear();
    }
};

QString photoIn(const QTemporaryDir &folder, const QString &name)
{
    return CompressionTest::saveImage(CompressionTest::photoLike(64, 48), QDir(folder.path()).filePath(name), "JPEG", 90);
}

QString brokenIn(const QTemporaryDir &folder, const QString &name)
{
    QFile file(QDir(folder.path()).filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write("not a picture");
    return file.fileName();
}

// A session alone over scripted panels, with what it reports logged; the temporary folder (where
// crops go) is fresh for every test.
class CompressionSession : public ::testing::Test {
protected:
    CompressionSession()
    {
        auto fake = std::make_unique<FakeCompressionChooser>();
        chooser = fake.get();
        session = std::make_unique<ImageCompressionSession>(std::move(fake));
        log.emplace(*session);
    }

    void add(const QStringList &paths)
    {
        session->addCompressionSources(paths);
        ASSERT_TRUE(waitForAdds());
    }
    bool waitForAdds()
    {
        return TestSupport::waitUntil([this] { return !session->isAddingSources(); });
    }
    bool waitForBatch()
    {
        return TestSupport::waitUntil([this] { return !session->isCompressingImages(); });
    }

    QString image(const QString &name, int width, int height, const char *format = "JPEG")
    {
        return CompressionTest::writePhoto(files.path(), name, width, height, format);
    }
    QString gif(const QString &name) { return CompressionTest::writeAnimation(files.path(), name); }

    QStringList names() const
    {
        QStringList out;
        for (const ImageCompressionSource &source : session->compressionSources())
            out << source.fileName;
        return out;
    }
    // The last status and the last error reported, as the window would show them.
    QString status() const { return log->statuses.isEmpty() ? QString() : log->statuses.constLast(); }
    QString error() const { return log->errors.isEmpty() ? QString() : log->errors.constLast(); }
    // Crop files and outputs being encoded, left in the temporary folder.
    QStringList ourTemporaryFiles() const
    {
        return temp.entries().filter(QRegularExpression(QStringLiteral("^kivo-compression")));
    }

    CompressionTest::ScopedTempFolder temp;
    QTemporaryDir files;
    QTemporaryDir output;
    FakeCompressionChooser *chooser = nullptr;
    std::optional<ReportLog> log; // outlives the session it listens to
    std::unique_ptr<ImageCompressionSession> session;
};

} // namespace

// The session runs without a window: what the window shows it learns from the session's signals,
// the add panel's answer announced before the adds it starts.
TEST_F(CompressionSession, ReportsThroughItsSignalsAndAnnouncesAChosenAddFirst)
{
    const QString photo = photoIn(files, QStringLiteral("a.jpg"));
    QStringList events;
    QObject::connect(session.get(), &ImageCompressionSession::sourcesChosen, [&] { events << QStringLiteral("chosen"); });
    QObject::connect(session.get(), &ImageCompressionSession::compressionSourcesChanged,
                     [&] { events << QStringLiteral("list"); });
    QObject::connect(session.get(), &ImageCompressionSession::statusReported,
                     [&](const QString &message) { events << QStringLiteral("status ") + message; });
    QObject::connect(session.get(), &ImageCompressionSession::errorReported,
                     [&](const QString &message) { events << QStringLiteral("error ") + message; });

    // Cancelled: nothing announced, nothing added.
    session->presentCompressionImportPanel();
    EXPECT_FALSE(session->isAddingSources());
    EXPECT_TRUE(events.isEmpty());

    chooser->sources = QStringList { QDir(files.path()).filePath(QStringLiteral("missing.jpg")) };
    session->presentCompressionImportPanel();
    ASSERT_TRUE(waitForAdds());
    EXPECT_EQ(events, (QStringList { QStringLiteral("chosen"), QStringLiteral("error 没有找到可压缩的图片") }));

    events.clear();
    chooser->sources = QStringList { photo };
    session->presentCompressionImportPanel();
    ASSERT_TRUE(waitForAdds());
    EXPECT_EQ(events, (QStringList { QStringLiteral("chosen"), QStringLiteral("list"),
                                     QStringLiteral("status 已添加 1 张图片到压缩") }));
    ASSERT_EQ(session->compressionSources().size(), 1u);
    EXPECT_EQ(session->selectedCompressionSourceID(), session->compressionSources()[0].id);
}

TEST_F(CompressionSession, AddingAppendsNewFilesAndReportsDuplicatesAndNothingUsable)
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
    session->finishImageCompression({ ImageCompressionResult {} }, {});
    add({ a1, a2 });
    EXPECT_EQ(names(), (QStringList { QStringLiteral("a1.jpg"), QStringLiteral("a10.jpg"), QStringLiteral("a2.png") }));
    EXPECT_EQ(session->selectedCompressionSourceID(), session->compressionSources()[1].id);
    EXPECT_TRUE(session->compressionResults().empty());
    EXPECT_EQ(status(), QStringLiteral("已添加 1 张图片到压缩"));

    // The same folder again: nothing new, the first entry is selected, the results stay.
    session->finishImageCompression({ ImageCompressionResult {} }, {});
    add({ files.path() });
    EXPECT_EQ(names().size(), 3);
    EXPECT_EQ(status(), QStringLiteral("图片已在压缩列表中"));
    EXPECT_EQ(session->selectedCompressionSourceID(), session->compressionSources()[0].id);
    EXPECT_EQ(session->compressionResults().size(), 1u);

    // Nothing usable: the error only.
    log->clear();
    add({ text, QDir(files.path()).filePath(QStringLiteral("missing.jpg")) });
    EXPECT_EQ(log->errors, QStringList { QStringLiteral("没有找到可压缩的图片") });
    EXPECT_EQ(log->statuses, QStringList());
    EXPECT_EQ(names().size(), 3);
}

// Files that look like images but cannot be read are named in the add's status (counted only when
// there are many), for a folder, a plain add and a drop alike; other files are not mentioned.
TEST_F(CompressionSession, AnAddNamesTheFilesItCouldNotRead)
{
    QTemporaryDir few;
    photoIn(few, "a.jpg");
    photoIn(few, "b.jpg");
    brokenIn(few, "bad2.png");
    brokenIn(few, "bad1.jpg");
    brokenIn(few, "notes.txt");
    QTemporaryDir many;
    photoIn(many, "c.jpg");
    for (const char *name : { "x1.jpg", "x2.jpg", "x3.jpg", "x4.jpg" })
        brokenIn(many, name);
    QTemporaryDir dropped;
    const QString d = photoIn(dropped, "d.jpg");
    const QString bad3 = brokenIn(dropped, "bad3.jpg");
    // Declaring 400 megapixels: named apart, as too large.
    TestSupport::writeFile(QDir(dropped.path()).filePath("huge.pgm"), QByteArray("P5\n20000 20000\n255\n") + QByteArray(64, '\0'));

    add({ few.path() });
    add({ many.path() });
    session->addDroppedCompressionSources({ bad3, d, QDir(dropped.path()).filePath("huge.pgm") });
    ASSERT_TRUE(waitForAdds());
    EXPECT_EQ(log->statuses, (QStringList { "已添加 2 张图片到压缩，2 个文件无法读取：bad1.jpg、bad2.png",
                                            "已添加 1 张图片到压缩，4 个文件无法读取",
                                            "已添加 1 张图片到压缩，1 张图片过大，无法处理：huge.pgm，1 个文件无法读取：bad3.jpg" }));
    EXPECT_TRUE(log->errors.isEmpty());
}

TEST_F(CompressionSession, CallsInARowApplyInCallOrderAgainstTheListAsEachLeftIt)
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
    ASSERT_TRUE(waitForAdds());
    ASSERT_EQ(names().size(), 13);
    EXPECT_EQ(names().front(), QStringLiteral("p0.jpg"));
    EXPECT_EQ(names().back(), QStringLiteral("single.jpg"));
    EXPECT_EQ(status(), QStringLiteral("图片已在压缩列表中"));
    EXPECT_EQ(session->selectedCompressionSourceID(), session->compressionSources()[0].id);
}

TEST_F(CompressionSession, RemoveAndClearFollowTheListAndLeaveOtherResults)
{
    add({ image(QStringLiteral("1.jpg"), 20, 20), image(QStringLiteral("2.jpg"), 20, 20),
          image(QStringLiteral("3.jpg"), 20, 20) });
    const auto sources = session->compressionSources();
    ImageCompressionResult first, second;
    first.sourceID = sources[0].id;
    second.sourceID = sources[1].id;
    session->finishImageCompression({ first, second }, {});
    session->setSelectedCompressionSourceID(sources[1].id);

    session->removeCompressionSource(sources[1].id);
    EXPECT_EQ(names(), (QStringList { QStringLiteral("1.jpg"), QStringLiteral("3.jpg") }));
    EXPECT_EQ(session->compressionResults(), std::vector<ImageCompressionResult> { first });
    EXPECT_EQ(session->selectedCompressionSourceID(), sources[0].id); // the first, not the neighbour
    EXPECT_EQ(status(), QStringLiteral("已移除图片"));

    log->statuses.clear();
    session->removeCompressionSource(QUuid::createUuid());
    EXPECT_EQ(names().size(), 2);
    EXPECT_EQ(log->statuses, QStringList { QStringLiteral("已移除图片") });

    session->removeCompressionSource(sources[2].id);
    session->removeCompressionSource(sources[0].id);
    EXPECT_TRUE(session->compressionSources().empty());
    EXPECT_FALSE(session->selectedCompressionSourceID());
    EXPECT_EQ(status(), QStringLiteral("已清空压缩列表"));

    // Clearing reports its status and no error (an earlier one stays on screen).
    add({ image(QStringLiteral("4.jpg"), 20, 20) });
    session->clearCompressionSources();
    EXPECT_TRUE(session->compressionSources().empty());
    EXPECT_FALSE(session->selectedCompressionSourceID());
    EXPECT_EQ(status(), QStringLiteral("已清空压缩列表"));
    EXPECT_TRUE(log->errors.isEmpty());
}

TEST_F(CompressionSession, CropReplacesTheEntryInPlaceOrReportsTheRefusal)
{
    add({ image(QStringLiteral("a.jpg"), 400, 300), image(QStringLiteral("b.jpg"), 400, 300),
          gif(QStringLiteral("c.gif")) });
    const auto sources = session->compressionSources();
    ImageCompressionResult ofB, ofA;
    ofA.sourceID = sources[0].id;
    ofB.sourceID = sources[1].id;
    session->finishImageCompression({ ofA, ofB }, {});

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

    EXPECT_TRUE(log->errors.isEmpty());
    EXPECT_FALSE(session->cropCompressionSource(sources[2].id, QRectF(0, 0, 0.5, 0.5)));
    EXPECT_EQ(error(), ImageCompressionServiceError::cropUnsupported(sources[2].url).description());
    EXPECT_FALSE(session->cropCompressionSource(sources[0].id, QRectF(0, 0, 0.001, 0.001)));
    EXPECT_EQ(error(), ImageCompressionServiceError::cropTooSmall(sources[0].url).description());
    EXPECT_EQ(session->compressionSources()[0], sources[0]);
    EXPECT_EQ(status(), QStringLiteral("已裁剪：b-裁剪.jpg"));
}

TEST_F(CompressionSession, ACroppedPhotoIsWrittenUnderTheNameTheListShows)
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

TEST_F(CompressionSession, BatchPublishesOnceWithCountsOrTheError)
{
    add({ image(QStringLiteral("1.jpg"), 300, 200), image(QStringLiteral("2.jpg"), 300, 200),
          image(QStringLiteral("3.jpg"), 300, 200), image(QStringLiteral("4.jpg"), 300, 200) });
    int resultChanges = 0, busyChanges = 0;
    QObject::connect(session.get(), &ImageCompressionSession::compressionResultsChanged, [&] { ++resultChanges; });
    QObject::connect(session.get(), &ImageCompressionSession::isCompressingImagesChanged, [&] { ++busyChanges; });

    // Cancelling the folder panel changes nothing.
    session->finishImageCompression({ ImageCompressionResult {} }, {});
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

    // One file vanished: counted as a failure, the others published. The first run's files keep
    // their names, and the status says where this run's went.
    QFile::remove(session->compressionSources()[2].url);
    session->compressImages();
    ASSERT_TRUE(waitForBatch());
    EXPECT_EQ(session->compressionResults().size(), 3u);
    EXPECT_EQ(session->compressionFailedSourceIDs(), std::vector<QUuid> { session->compressionSources()[2].id });
    EXPECT_EQ(status(), QStringLiteral("已压缩 3 张，1 张失败：无法读取图片，3 张因重名另存为 1-压缩-2.jpg 等"));

    // Nothing written: the error says why the first image failed, the status counts this run.
    for (const ImageCompressionSource &source : session->compressionSources())
        QFile::remove(source.url);
    EXPECT_TRUE(log->errors.isEmpty());
    session->compressImages();
    ASSERT_TRUE(waitForBatch());
    EXPECT_TRUE(session->compressionResults().empty());
    EXPECT_EQ(error(), QStringLiteral("压缩失败：无法读取图片：1.jpg"));
    EXPECT_EQ(status(), QStringLiteral("已压缩 0 张，4 张失败：无法读取图片"));

    // An empty list opens no panel.
    session->clearCompressionSources();
    session->compressImages();
    EXPECT_EQ(chooser->folderQuestions, 4);
}

// A run counts its files in the status while it goes; a run that writes nothing replaces the last
// run's count with its own and says where and why it could not write.
TEST_F(CompressionSession, ARunCountsItsFilesAndAFailedRunSaysWhereAndWhy)
{
    QStringList photos;
    for (const char *name : { "1.jpg", "2.jpg", "3.jpg" })
        photos << photoIn(files, name);
    const QString underFile = QDir(files.path()).filePath("1.jpg/out");
    add(photos);
    for (const QString &folder : { output.path(), underFile }) {
        chooser->folder = folder;
        log->clear();
        session->compressImages();
        ASSERT_TRUE(session->isCompressingImages());
        ASSERT_TRUE(waitForBatch());

        ASSERT_GE(log->statuses.size(), 3);
        EXPECT_EQ(log->statuses.first(), "正在压缩 0/3…");
        EXPECT_EQ(log->statuses.at(log->statuses.size() - 2), "正在压缩 3/3…");
        for (int i = 1; i + 1 < log->statuses.size(); ++i)
            EXPECT_LT(log->statuses[i - 1], log->statuses[i]) << "the count only goes up";
        if (folder == output.path()) {
            EXPECT_EQ(log->statuses.last(), "已压缩 3 张图片");
            EXPECT_TRUE(log->errors.isEmpty());
        } else {
            EXPECT_EQ(log->statuses.last(), "已压缩 0 张，3 张失败：无法写入 " + underFile + "：文件夹不存在");
            EXPECT_EQ(log->errors, QStringList { "压缩失败：无法写入 " + underFile + "：文件夹不存在" });
        }
    }
}

TEST_F(CompressionSession, CropFilesAreDeletedOnceNothingNeedsThem)
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

    // At exit, the crops still listed go with the session (the window's goes with the window).
    add({ sources[1].url });
    ASSERT_TRUE(session->cropCompressionSource(session->compressionSources()[0].id, QRectF(0, 0, 0.8, 0.8)));
    const QString atExit = cropOf(0);
    session.reset();
    EXPECT_FALSE(QFileInfo::exists(atExit));
    EXPECT_EQ(ourTemporaryFiles(), QStringList());
}
