#include "compression/ImageCompressionSession.h"
#include "CompressionTestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ScriptedChooser : public CompressionChooser {
public:
    explicit ScriptedChooser(std::optional<QStringList> &sources, std::optional<QString> folder = std::nullopt)
        : m_sources(sources)
        , m_folder(std::move(folder))
    {
    }
    std::optional<QStringList> chooseSources() override { return m_sources; }
    std::optional<QString> chooseDestinationFolder() override { return m_folder; }

private:
    std::optional<QStringList> &m_sources;
    std::optional<QString> m_folder;
};

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

// Waits for every pending add of the session to be applied.
bool waitForAdds(ImageCompressionSession &session, QSignalSpy &added)
{
    return !session.isAddingSources() || added.wait(30000);
}

} // namespace

// The session runs without a window: what the window shows it learns from the session's signals,
// the add panel's answer announced before the adds it starts.
TEST(ImageCompressionSession, ReportsThroughItsSignalsAndAnnouncesAChosenAddFirst)
{
    CompressionTest::ScopedTempFolder temp;
    QTemporaryDir files;
    const QString photo = CompressionTest::saveImage(CompressionTest::photoLike(64, 48),
                                                     QDir(files.path()).filePath(QStringLiteral("a.jpg")), "JPEG", 90);
    std::optional<QStringList> answer;
    ImageCompressionSession session(std::make_unique<ScriptedChooser>(answer));
    QStringList events;
    QObject::connect(&session, &ImageCompressionSession::sourcesChosen, [&] { events << QStringLiteral("chosen"); });
    QObject::connect(&session, &ImageCompressionSession::compressionSourcesChanged,
                     [&] { events << QStringLiteral("list"); });
    QObject::connect(&session, &ImageCompressionSession::statusReported,
                     [&](const QString &message) { events << QStringLiteral("status ") + message; });
    QObject::connect(&session, &ImageCompressionSession::errorReported,
                     [&](const QString &message) { events << QStringLiteral("error ") + message; });
    QSignalSpy added(&session, &ImageCompressionSession::sourcesAdded);

    // Cancelled: nothing announced, nothing added.
    session.presentCompressionImportPanel();
    EXPECT_FALSE(session.isAddingSources());
    EXPECT_TRUE(events.isEmpty());

    answer = QStringList { QDir(files.path()).filePath(QStringLiteral("missing.jpg")) };
    session.presentCompressionImportPanel();
    ASSERT_TRUE(waitForAdds(session, added));
    EXPECT_EQ(events, (QStringList { QStringLiteral("chosen"), QStringLiteral("error 没有找到可压缩的图片") }));

    events.clear();
    answer = QStringList { photo };
    session.presentCompressionImportPanel();
    ASSERT_TRUE(waitForAdds(session, added));
    EXPECT_EQ(events, (QStringList { QStringLiteral("chosen"), QStringLiteral("list"),
                                     QStringLiteral("status 已添加 1 张图片到压缩") }));
    ASSERT_EQ(session.compressionSources().size(), 1u);
    EXPECT_EQ(session.selectedCompressionSourceID(), session.compressionSources()[0].id);
}

// Files that look like images but cannot be read are named in the add's status (counted only when
// there are many), for a folder, a plain add and a drop alike; other files are not mentioned.
TEST(ImageCompressionSession, AnAddNamesTheFilesItCouldNotRead)
{
    CompressionTest::ScopedTempFolder temp;
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

    std::optional<QStringList> answer;
    ImageCompressionSession session(std::make_unique<ScriptedChooser>(answer));
    const ReportLog log(session);
    QSignalSpy added(&session, &ImageCompressionSession::sourcesAdded);

    session.addCompressionSources({ few.path() });
    ASSERT_TRUE(waitForAdds(session, added));
    session.addCompressionSources({ many.path() });
    ASSERT_TRUE(waitForAdds(session, added));
    session.addDroppedCompressionSources({ bad3, d });
    ASSERT_TRUE(waitForAdds(session, added));
    EXPECT_EQ(log.statuses, (QStringList { "已添加 2 张图片到压缩，2 个文件无法读取：bad1.jpg、bad2.png",
                                           "已添加 1 张图片到压缩，4 个文件无法读取",
                                           "已添加 1 张图片到压缩，1 个文件无法读取：bad3.jpg" }));
    EXPECT_TRUE(log.errors.isEmpty());
}

// A run counts its files in the status while it goes; a run that writes nothing replaces the last
// run's count with its own and says where and why it could not write.
TEST(ImageCompressionSession, ARunCountsItsFilesAndAFailedRunSaysWhereAndWhy)
{
    CompressionTest::ScopedTempFolder temp;
    QTemporaryDir files;
    QTemporaryDir out;
    QStringList photos;
    for (const char *name : { "1.jpg", "2.jpg", "3.jpg" })
        photos << photoIn(files, name);
    const QString underFile = QDir(files.path()).filePath("1.jpg/out");
    std::optional<QStringList> answer;
    for (const QString &folder : { out.path(), underFile }) {
        ImageCompressionSession session(std::make_unique<ScriptedChooser>(answer, folder));
        QSignalSpy added(&session, &ImageCompressionSession::sourcesAdded);
        session.addCompressionSources(photos);
        ASSERT_TRUE(waitForAdds(session, added));
        const ReportLog log(session);
        QSignalSpy busy(&session, &ImageCompressionSession::isCompressingImagesChanged);
        session.compressImages();
        ASSERT_TRUE(session.isCompressingImages());
        ASSERT_TRUE(busy.wait(30000) && !session.isCompressingImages());

        ASSERT_GE(log.statuses.size(), 3);
        EXPECT_EQ(log.statuses.first(), "正在压缩 0/3…");
        EXPECT_EQ(log.statuses.at(log.statuses.size() - 2), "正在压缩 3/3…");
        for (int i = 1; i + 1 < log.statuses.size(); ++i)
            EXPECT_LT(log.statuses[i - 1], log.statuses[i]) << "the count only goes up";
        if (folder == out.path()) {
            EXPECT_EQ(log.statuses.last(), "已压缩 3 张图片");
            EXPECT_TRUE(log.errors.isEmpty());
        } else {
            EXPECT_EQ(log.statuses.last(), "已压缩 0 张，3 张失败");
            EXPECT_EQ(log.errors, QStringList { "压缩失败：无法写入 " + underFile + "：文件夹不存在" });
        }
    }
}
