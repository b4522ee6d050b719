// The video session without a window: what the window must do reaches it only through the
// session's signals.
#include "FakeVideoMedia.h"
#include "model/MarkupViewModel.h"
#include "support/VideoTestMedia.h"
#include "video/VideoFrameAnnotationSession.h"

#include <QSemaphore>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using VideoTestMedia::waitUntil;

class NoDialogs final : public VideoFrameConfirmer, public VideoFileChooser {
public:
    bool confirm(const VideoFrameConfirmation &) override { return false; }
    std::optional<QString> chooseVideo() override { return std::nullopt; }
};

class VideoSession : public ::testing::Test {
protected:
    VideoSession()
        : settings(directory.filePath(QStringLiteral("p.ini")), QSettings::IniFormat)
        , main(settings)
        , video(settings)
        , session(main, video, std::make_unique<NoDialogs>(), std::make_unique<NoDialogs>(),
                  std::make_unique<VideoFrameAnnotationStore>(
                      [source = source](const QString &) {
                          return std::optional<VideoAsset>(fakeAsset(source, 4.0, 25));
                      },
                      std::make_shared<ManualClock>()))
    {
    }

    bool finish(const std::function<void()> &action)
    {
        QSignalSpy finished(&session, &VideoFrameAnnotationSession::actionFinished);
        action();
        return waitUntil([&] { return !finished.isEmpty(); }, 30000);
    }

    std::shared_ptr<FakeFrameSource> source = std::make_shared<FakeFrameSource>(25, 100);
    QTemporaryDir directory;
    QSettings settings;
    MarkupViewModel main;
    MarkupViewModel video;
    VideoFrameAnnotationSession session;
};

TEST_F(VideoSession, ImportAndSeekAskTheWindowToShowAndCentreTheFrame)
{
    QSignalSpy started(&session, &VideoFrameAnnotationSession::importStarted);
    QSignalSpy recentred(&session, &VideoFrameAnnotationSession::panOffsetResetRequested);
    ASSERT_TRUE(finish([&] { session.importVideo(QStringLiteral("/v/clip.mov")); }));
    EXPECT_EQ(started.size(), 1);
    EXPECT_EQ(main.statusMessage(), "已导入视频：clip.mov");
    ASSERT_EQ(video.items().size(), 1u);

    ASSERT_TRUE(finish([&] { session.seekVideoFrame(7); }));
    EXPECT_EQ(recentred.size(), 1);
    EXPECT_EQ(FakeFrameSource::numberOf(video.image().image()), 7);
    EXPECT_EQ(started.size(), 1);
}

// A close is held only while a save runs, and let go exactly once when the save has reported.
TEST_F(VideoSession, ACloseIsHeldOnlyWhileASaveRuns)
{
    ASSERT_TRUE(finish([&] { session.importVideo(QStringLiteral("/v/clip.mov")); }));
    EXPECT_FALSE(session.holdCloseForSave());

    auto started = std::make_shared<QSemaphore>();
    auto release = std::make_shared<QSemaphore>();
    session.setFrameWriter([started, release](const VideoFrameSave::Job &job) {
        started->release();
        release->acquire();
        return VideoFrameSave::Outcome{std::nullopt, QStringLiteral("无法写入文件：") + job.fileName};
    });
    QSignalSpy saveStarted(&session, &VideoFrameAnnotationSession::saveStarted);
    QSignalSpy released(&session, &VideoFrameAnnotationSession::closeReleasedAfterSave);
    QSignalSpy finished(&session, &VideoFrameAnnotationSession::actionFinished);
    session.saveCurrentVideoFrame();
    EXPECT_EQ(saveStarted.size(), 1);
    ASSERT_TRUE(waitUntil([&] { return started->tryAcquire(); }, 30000));
    EXPECT_TRUE(session.holdCloseForSave());
    EXPECT_TRUE(session.holdCloseForSave());
    EXPECT_TRUE(released.isEmpty());

    release->release();
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }, 30000));
    EXPECT_EQ(released.size(), 1);
    EXPECT_TRUE(main.errorMessage()->startsWith("无法写入文件："));
    EXPECT_FALSE(session.holdCloseForSave());

    // A save with no close waiting lets nothing go.
    release->release();
    finished.clear();
    session.saveCurrentVideoFrame();
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }, 30000));
    EXPECT_EQ(released.size(), 1);
}

} // namespace
