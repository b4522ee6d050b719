// The video session without a window: what the window must do reaches it only through the
// session's signals.
#include "FakeVideoMedia.h"
#include "model/MarkupViewModel.h"
#include "support/VideoTestMedia.h"
#include "video/VideoFrameAnnotationSession.h"

#include <QImage>
#include <QSemaphore>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using VideoTestMedia::waitUntil;

// The answer to the question before an annotated frame is left and to the confirmations (清空),
// and how often each was asked.
struct ScriptedQuestions {
    FrameLeavingAnswer answer = FrameLeavingAnswer::Cancel;
    int asked = 0;
    bool confirmAnswer = false;
    int confirmations = 0;
};

class NoDialogs final : public VideoFrameConfirmer, public VideoFileChooser {
public:
    explicit NoDialogs(ScriptedQuestions *question = nullptr) : m_question(question) {}
    bool confirm(const VideoFrameConfirmation &) override
    {
        if (!m_question)
            return false;
        ++m_question->confirmations;
        return m_question->confirmAnswer;
    }
    FrameLeavingAnswer askToSaveFrame() override
    {
        if (!m_question)
            return FrameLeavingAnswer::Cancel;
        ++m_question->asked;
        return m_question->answer;
    }
    std::optional<QString> chooseVideo() override { return std::nullopt; }

private:
    ScriptedQuestions *m_question;
};

class VideoSession : public ::testing::Test {
protected:
    VideoSession()
        : settings(directory.filePath(QStringLiteral("p.ini")), QSettings::IniFormat)
        , main(settings)
        , video(settings)
        , session(main, video, std::make_unique<NoDialogs>(&question), std::make_unique<NoDialogs>(),
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

    // The number of the frame loaded for annotation.
    int loadedFrame() const { return FakeFrameSource::numberOf(video.image().image()); }

    void draw()
    {
        std::vector<ImageMarkupItem> items = video.items();
        ASSERT_EQ(items.size(), 1u);
        items.front().annotations.push_back(MarkupAnnotation(
            QUuid::createUuid(), AnnotationKind::Rectangle, UnitPoint2D{0.1, 0.2}, UnitPoint2D{0.9, 0.8}, QString(),
            QStringLiteral("#FF0000"), 4, 16, std::nullopt, std::nullopt, 1, std::nullopt, {}));
        video.setItems(items);
    }

    // Saves report success without writing anything, or the given failure.
    void writeFramesSucceeding(bool succeed)
    {
        session.setFrameWriter([succeed, writes = writes](const VideoFrameSave::Job &job) {
            ++*writes;
            if (!succeed)
                return VideoFrameSave::Outcome{std::nullopt, QStringLiteral("无法写入文件：") + job.fileName};
            return VideoFrameSave::Outcome{QStringLiteral("/nowhere/") + job.fileName, std::nullopt};
        });
    }

    ScriptedQuestions question;
    std::shared_ptr<std::atomic<int>> writes = std::make_shared<std::atomic<int>>(0);
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
    // The failure, not "正在保存当前帧…", is the last word in the status line.
    EXPECT_EQ(main.statusMessage(), main.errorMessage());
    EXPECT_FALSE(session.holdCloseForSave());

    // A save with no close waiting lets nothing go.
    release->release();
    finished.clear();
    session.saveCurrentVideoFrame();
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }, 30000));
    EXPECT_EQ(released.size(), 1);
}

// Stepping away from a frame drawn on since its last save asks first; each answer does what it
// says, and a frame whose annotations are saved (or that has none) is left without a question.
TEST_F(VideoSession, AStepAwayFromUnsavedAnnotationsAsksFirst)
{
    ASSERT_TRUE(finish([&] { session.importVideo(QStringLiteral("/v/clip.mov")); }));
    writeFramesSucceeding(true);
    ASSERT_TRUE(finish([&] { session.stepVideoFrame(1); }));
    EXPECT_EQ(question.asked, 0);
    ASSERT_EQ(loadedFrame(), 1);

    draw();
    question.answer = FrameLeavingAnswer::Cancel;
    session.stepVideoFrame(1);
    EXPECT_EQ(question.asked, 1);
    EXPECT_EQ(loadedFrame(), 1);
    EXPECT_EQ(video.annotations().size(), 1u);
    EXPECT_FALSE(session.store().isLoading());

    question.answer = FrameLeavingAnswer::DontSave;
    ASSERT_TRUE(finish([&] { session.stepVideoFrame(1); }));
    EXPECT_EQ(question.asked, 2);
    EXPECT_EQ(loadedFrame(), 2);
    EXPECT_TRUE(video.annotations().empty());
    EXPECT_EQ(writes->load(), 0);

    // 保存当前帧: written first, then the step goes on.
    draw();
    question.answer = FrameLeavingAnswer::SaveFrame;
    session.stepVideoFrame(1);
    ASSERT_TRUE(waitUntil([&] { return loadedFrame() == 3; }, 30000));
    EXPECT_EQ(question.asked, 3);
    EXPECT_EQ(writes->load(), 1);
    EXPECT_TRUE(main.statusMessage().startsWith("当前帧已保存：")) << main.statusMessage().toStdString();

    // Saved with Ctrl+S and unchanged since: no question.
    draw();
    ASSERT_TRUE(finish([&] { session.saveCurrentVideoFrame(); }));
    EXPECT_FALSE(session.hasUnsavedFrameAnnotations());
    ASSERT_TRUE(finish([&] { session.stepVideoFrame(-1); }));
    EXPECT_EQ(question.asked, 3);
    EXPECT_EQ(loadedFrame(), 2);
}

// 保存当前帧 while a Ctrl+S save of the same annotations runs waits for that save rather than being
// dropped; a change made meanwhile is asked about again.
TEST_F(VideoSession, SaveFrameDuringARunningSaveGoesOnWhenItIsWritten)
{
    ASSERT_TRUE(finish([&] { session.importVideo(QStringLiteral("/v/clip.mov")); }));
    auto started = std::make_shared<QSemaphore>();
    auto release = std::make_shared<QSemaphore>();
    session.setFrameWriter([started, release, writes = writes](const VideoFrameSave::Job &job) {
        ++*writes;
        started->release();
        release->acquire();
        return VideoFrameSave::Outcome{QStringLiteral("/nowhere/") + job.fileName, std::nullopt};
    });
    draw();
    session.saveCurrentVideoFrame();
    ASSERT_TRUE(waitUntil([&] { return started->tryAcquire(); }, 30000));
    question.answer = FrameLeavingAnswer::SaveFrame;
    session.stepVideoFrame(1);
    EXPECT_EQ(question.asked, 1);
    draw(); // changed while the save runs
    release->release();
    ASSERT_TRUE(waitUntil([&] { return question.asked == 2; }, 30000));
    // Asked again and answered 保存当前帧: the second save writes the change, then the step goes on.
    ASSERT_TRUE(waitUntil([&] { return started->tryAcquire(); }, 30000));
    EXPECT_EQ(loadedFrame(), 0);
    release->release();
    ASSERT_TRUE(waitUntil([&] { return loadedFrame() == 1; }, 30000));
    EXPECT_EQ(writes->load(), 2);
    EXPECT_EQ(question.asked, 2);
}

// Next pressed again while the save its question asked for runs: no second question and no step
// before the file is written; then one frame for each press. A save that fails takes both presses
// back, and the next press steps on its own.
TEST_F(VideoSession, AStepPressedAgainDuringItsSaveJoinsIt)
{
    ASSERT_TRUE(finish([&] { session.importVideo(QStringLiteral("/v/clip.mov")); }));
    auto started = std::make_shared<QSemaphore>();
    auto release = std::make_shared<QSemaphore>();
    auto succeed = std::make_shared<std::atomic<bool>>(true);
    session.setFrameWriter([started, release, succeed, writes = writes](const VideoFrameSave::Job &job) {
        ++*writes;
        started->release();
        release->acquire();
        if (!*succeed)
            return VideoFrameSave::Outcome{std::nullopt, QStringLiteral("无法写入文件：") + job.fileName};
        return VideoFrameSave::Outcome{QStringLiteral("/nowhere/") + job.fileName, std::nullopt};
    });

    draw();
    question.answer = FrameLeavingAnswer::SaveFrame;
    session.stepVideoFrame(1);
    ASSERT_TRUE(waitUntil([&] { return started->tryAcquire(); }, 30000));
    question.answer = FrameLeavingAnswer::DontSave; // would step at once if it were asked
    session.stepVideoFrame(1);
    EXPECT_EQ(question.asked, 1);
    EXPECT_FALSE(session.store().isLoading());
    EXPECT_EQ(loadedFrame(), 0);
    release->release();
    ASSERT_TRUE(waitUntil([&] { return loadedFrame() == 2; }, 30000));
    EXPECT_EQ(question.asked, 1);
    EXPECT_EQ(writes->load(), 1);
    ASSERT_TRUE(waitUntil([&] { return !session.store().isLoading(); }, 30000));
    EXPECT_EQ(loadedFrame(), 2);

    draw();
    *succeed = false;
    question.answer = FrameLeavingAnswer::SaveFrame;
    session.stepVideoFrame(1);
    ASSERT_TRUE(waitUntil([&] { return started->tryAcquire(); }, 30000));
    session.stepVideoFrame(-1);
    QSignalSpy finished(&session, &VideoFrameAnnotationSession::actionFinished);
    release->release();
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }, 30000));
    EXPECT_FALSE(session.store().isLoading());
    EXPECT_EQ(loadedFrame(), 2);
    EXPECT_EQ(video.annotations().size(), 1u);
    question.answer = FrameLeavingAnswer::DontSave;
    ASSERT_TRUE(finish([&] { session.stepVideoFrame(1); }));
    EXPECT_EQ(loadedFrame(), 3);
    EXPECT_EQ(question.asked, 3);
}

// The scrubber's preview moves only the picture; letting go elsewhere asks, and 取消 brings the
// picture back under the annotations. Letting go on the loaded frame asks nothing.
TEST_F(VideoSession, ASeekAwayAsksAndCancelReturnsToTheAnnotatedFrame)
{
    ASSERT_TRUE(finish([&] { session.importVideo(QStringLiteral("/v/clip.mov")); }));
    draw();
    session.previewVideoFrame(10);
    EXPECT_EQ(session.store().currentFrameIndex(), 10);
    question.answer = FrameLeavingAnswer::Cancel;
    session.seekVideoFrame(10);
    EXPECT_EQ(question.asked, 1);
    EXPECT_EQ(session.store().currentFrameIndex(), 0);
    EXPECT_EQ(loadedFrame(), 0);
    EXPECT_EQ(video.annotations().size(), 1u);

    ASSERT_TRUE(finish([&] { session.seekVideoFrame(0); }));
    EXPECT_EQ(question.asked, 1);
    EXPECT_EQ(video.annotations().size(), 1u);

    question.answer = FrameLeavingAnswer::DontSave;
    ASSERT_TRUE(finish([&] { session.seekVideoFrame(10); }));
    EXPECT_EQ(question.asked, 2);
    EXPECT_EQ(loadedFrame(), 10);
    EXPECT_TRUE(video.annotations().empty());

    // 保存当前帧 writes the frame the annotations were drawn on, not the preview the scrubber
    // was let go on, and then the seek goes on without them.
    std::vector<int> writtenFrames;
    session.setFrameWriter([&writtenFrames](const VideoFrameSave::Job &job) {
        writtenFrames.push_back(FakeFrameSource::numberOf(job.image));
        return VideoFrameSave::Outcome{QStringLiteral("/nowhere/") + job.fileName, std::nullopt};
    });
    draw();
    session.previewVideoFrame(30);
    ASSERT_TRUE(waitUntil([&] { return std::lround(session.store().player()->currentFrameTime() * 25) == 30; }, 30000));
    question.answer = FrameLeavingAnswer::SaveFrame;
    session.seekVideoFrame(30);
    ASSERT_TRUE(waitUntil([&] { return loadedFrame() == 30; }, 30000));
    EXPECT_EQ(writtenFrames, std::vector<int>{10});
    EXPECT_TRUE(video.annotations().empty());
}

TEST_F(VideoSession, AnotherImportAsksAndSavesTheFrameFirst)
{
    QSignalSpy started(&session, &VideoFrameAnnotationSession::importStarted);
    ASSERT_TRUE(finish([&] { session.importVideo(QStringLiteral("/v/clip.mov")); }));
    writeFramesSucceeding(true);
    draw();
    question.answer = FrameLeavingAnswer::Cancel;
    session.importVideo(QStringLiteral("/v/other.mov"));
    EXPECT_EQ(question.asked, 1);
    EXPECT_EQ(started.size(), 1);
    EXPECT_EQ(session.store().videoFileName(), "clip.mov");
    EXPECT_EQ(video.annotations().size(), 1u);

    question.answer = FrameLeavingAnswer::SaveFrame;
    session.importVideo(QStringLiteral("/v/other.mov"));
    ASSERT_TRUE(waitUntil([&] { return main.statusMessage() == "已导入视频：other.mov"; }, 30000));
    EXPECT_EQ(writes->load(), 1);
    EXPECT_EQ(started.size(), 2);
    EXPECT_TRUE(video.annotations().empty());
}

TEST_F(VideoSession, SaveWithoutVideoAsksForOne)
{
    ASSERT_TRUE(finish([&] { session.saveCurrentVideoFrame(); }));
    EXPECT_EQ(main.errorMessage(), std::optional<QString>(QStringLiteral("请先导入视频并选择画面")));
    EXPECT_FALSE(session.store().isSavingFrame());
}

// The status line does not go on saying "正在导入视频".
TEST_F(VideoSession, AFrameThatCannotBeLoadedIsReportedNotCelebrated)
{
    session.setFrameLoader([](MarkupViewModel &model, const VideoFrameSnapshot &snapshot, bool keep) {
        VideoFrameSnapshot broken = snapshot;
        broken.image = QImage();
        return model.loadVideoFrame(broken, keep);
    });
    ASSERT_TRUE(finish([&] { session.importVideo(QStringLiteral("/v/clip.mov")); }));
    EXPECT_EQ(main.errorMessage(), std::optional<QString>(QStringLiteral("视频帧无法解析")));
    EXPECT_EQ(main.statusMessage(), "视频帧无法解析");
}

// 清空 asks only when there is something to clear; both it and 删除 report in the window's status.
TEST_F(VideoSession, ClearAsksOnlyWithAnnotationsAndDeleteReportsToTheWindow)
{
    ASSERT_TRUE(finish([&] { session.importVideo(QStringLiteral("/v/clip.mov")); }));
    session.confirmClearVideoFrameAnnotations();
    EXPECT_EQ(question.confirmations, 0);
    EXPECT_EQ(main.statusMessage(), "当前图片没有标注");

    draw();
    session.confirmClearVideoFrameAnnotations();
    EXPECT_EQ(question.confirmations, 1);
    EXPECT_EQ(video.annotations().size(), 1u);
    question.confirmAnswer = true;
    session.confirmClearVideoFrameAnnotations();
    EXPECT_TRUE(video.annotations().empty());
    EXPECT_EQ(main.statusMessage(), video.statusMessage());

    EXPECT_TRUE(session.deleteVideoFrameSelection());
    EXPECT_EQ(main.statusMessage(), "请先选中要删除的标注");
    draw();
    video.setSelectedAnnotationID(video.annotations().front().id);
    EXPECT_TRUE(session.deleteVideoFrameSelection());
    EXPECT_TRUE(video.annotations().empty());
    EXPECT_EQ(main.statusMessage(), video.statusMessage());
}

} // namespace
