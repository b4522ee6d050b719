#include "compression/ImageCompressionSession.h"
#include "CompressionTestSupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ScriptedChooser : public CompressionChooser {
public:
    explicit ScriptedChooser(std::optional<QStringList> &sources)
        : m_sources(sources)
    {
    }
    std::optional<QStringList> chooseSources() override { return m_sources; }
    std::optional<QString> chooseDestinationFolder() override { return std::nullopt; }

private:
    std::optional<QStringList> &m_sources;
};

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
