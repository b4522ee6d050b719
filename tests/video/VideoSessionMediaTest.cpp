// The video session over real clips: what is saved is the frame the annotations were drawn on, pixel
// for pixel, and a file that cannot be opened leaves the open video as it was.
#include "FakeVideoMedia.h"
#include "markup/AnnotationRenderer.h"
#include "model/MarkupViewModel.h"
#include "support/VideoTestMedia.h"
#include "video/VideoFrameAnnotationSession.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace VideoTestMedia;

class AnsweringDialogs final : public VideoFrameConfirmer, public VideoFileChooser {
public:
    AnsweringDialogs(FrameLeavingAnswer *answer, int *asked) : m_answer(answer), m_asked(asked) {}
    bool confirm(const VideoFrameConfirmation &) override { return false; }
    FrameLeavingAnswer askToSaveFrame() override
    {
        ++*m_asked;
        return *m_answer;
    }
    std::optional<QString> chooseVideo() override { return std::nullopt; }

private:
    FrameLeavingAnswer *m_answer;
    int *m_asked;
};

class VideoSessionMedia : public ::testing::Test {
protected:
    VideoSessionMedia()
        : settings(directory.filePath(QStringLiteral("p.ini")), QSettings::IniFormat)
        , main(settings)
        , video(settings)
        , session(main, video, std::make_unique<AnsweringDialogs>(&answer, &asked), nullptr,
                  std::make_unique<VideoFrameAnnotationStore>(nullptr, clock))
    {
        // Saves go to a folder of the test's own, through the real renderer and encoder.
        session.setFrameWriter([this](const VideoFrameSave::Job &job) {
            VideoFrameSave::Job here = job;
            here.folder = directory.path();
            const VideoFrameSave::Outcome outcome = VideoFrameSave::write(here);
            if (outcome.path)
                written.push_back(*outcome.path);
            return outcome;
        });
    }

    bool finish(const std::function<void()> &action)
    {
        QSignalSpy finished(&session, &VideoFrameAnnotationSession::actionFinished);
        action();
        return waitUntil([&] { return !finished.isEmpty(); });
    }

    MarkupAnnotation draw(UnitPoint2D from, UnitPoint2D to)
    {
        std::vector<ImageMarkupItem> items = video.items();
        EXPECT_EQ(items.size(), 1u);
        // Kept off the middle row, where the stripes tell the frame's number.
        const MarkupAnnotation annotation(QUuid::createUuid(), AnnotationKind::Rectangle, from, to, QString(),
                                          QStringLiteral("#FF0000"), 3, 16, std::nullopt, std::nullopt, 1,
                                          std::nullopt, {});
        items.front().annotations.push_back(annotation);
        video.setItems(items);
        return annotation;
    }

    // Frame `index` of the clip decoded on its own, with the annotations drawn over it.
    static QImage expectedPicture(const QString &clip, int index, const std::vector<MarkupAnnotation> &annotations)
    {
        VideoFrameAnnotationStore alone;
        std::optional<VideoFrameSnapshot> frame;
        bool done = false;
        alone.loadVideo(clip, [&](std::optional<VideoFrameSnapshot>) {
            alone.seek(index, [&](std::optional<VideoFrameSnapshot> s) {
                frame = std::move(s);
                done = true;
            });
        });
        EXPECT_TRUE(waitUntil([&] { return done; }));
        if (!frame || frame->frameIndex != index)
            return {};
        return AnnotationRenderer::renderedBitmap(frame->image, annotations).value_or(QImage());
    }

    int loadedFrame() const { return stripeNumber(video.image().image()); }

    FrameLeavingAnswer answer = FrameLeavingAnswer::Cancel;
    int asked = 0;
    std::vector<QString> written;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    QTemporaryDir directory;
    QSettings settings;
    MarkupViewModel main;
    MarkupViewModel video;
    VideoFrameAnnotationSession session;
};

#define REQUIRE_FFMPEG()                                                                                     \
    if (!hasFfmpeg())                                                                                        \
    GTEST_SKIP() << "the ffmpeg tool is not installed"

// Drawn on frame 12, then played: the question comes first and its save writes frame 12 with the
// drawing; the pictures play without it. What is drawn while it plays belongs to the picture it is
// paused on, and a save then writes exactly that frame.
TEST_F(VideoSessionMedia, PlaybackThenSaveWritesTheFrameTheAnnotationsWereDrawnOn)
{
    REQUIRE_FFMPEG();
    const QString clip = stripes("played.mp4", "25", 4);
    ASSERT_FALSE(clip.isEmpty());
    ASSERT_TRUE(finish([&] { session.importVideo(clip); }));
    ASSERT_TRUE(finish([&] { session.seekVideoFrame(12); }));
    ASSERT_EQ(loadedFrame(), 12);
    const MarkupAnnotation onTwelve = draw({0.05, 0.05}, {0.4, 0.3});

    answer = FrameLeavingAnswer::Cancel;
    session.toggleVideoPlayback();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(session.store().isPlaying());

    answer = FrameLeavingAnswer::SaveFrame;
    session.toggleVideoPlayback();
    EXPECT_EQ(asked, 2);
    ASSERT_TRUE(waitUntil([&] { return session.store().isPlaying(); }));
    ASSERT_EQ(written.size(), 1u);
    EXPECT_TRUE(QFileInfo(written[0]).fileName().startsWith("played-00-00-00-12-12-标注-"));
    const QImage expectedTwelve = expectedPicture(clip, 12, {onTwelve});
    ASSERT_FALSE(expectedTwelve.isNull());
    EXPECT_EQ(meanAbsoluteDifference(QImage(written[0]), expectedTwelve), 0.0);
    EXPECT_TRUE(video.annotations().empty());

    // Ten pictures on, as the decoder delivers them.
    VideoPlayer *player = session.store().player();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(player->waitUntilIdle(5000));
        clock->time += 0.04;
        player->presentDueFrames();
    }
    const int reached = stripeNumber(player->currentFrame());
    EXPECT_EQ(reached, 22);
    const MarkupAnnotation whilePlaying = draw({0.6, 0.6}, {0.9, 0.9});
    session.toggleVideoPlayback(); // pause
    EXPECT_FALSE(session.store().isPlaying());
    EXPECT_EQ(loadedFrame(), reached);
    EXPECT_EQ(session.store().currentFrameIndex(), reached);
    EXPECT_TRUE(session.hasUnsavedFrameAnnotations());

    ASSERT_TRUE(finish([&] { session.saveCurrentVideoFrame(); }));
    ASSERT_EQ(written.size(), 2u);
    EXPECT_TRUE(QFileInfo(written[1]).fileName().startsWith(QStringLiteral("played-00-00-00-%1-%1-标注-").arg(reached)));
    EXPECT_EQ(meanAbsoluteDifference(QImage(written[1]), expectedPicture(clip, reached, {whilePlaying})), 0.0);
    EXPECT_FALSE(session.hasUnsavedFrameAnnotations());
}

// With frame 7 open and drawn on, a cut-off file is refused and everything stays: the video, its
// position, its frame and the drawing, and the video still steps.
TEST_F(VideoSessionMedia, AFileThatCannotBeOpenedKeepsTheOpenVideo)
{
    REQUIRE_FFMPEG();
    const QString clip = stripes("kept.mp4", "25", 4);
    ASSERT_FALSE(clip.isEmpty());
    QFile file(clip);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString cut = TestSupport::writeFile(folder() + QStringLiteral("/refused/cut.mp4"), file.readAll().left(file.size() / 2));

    ASSERT_TRUE(finish([&] { session.importVideo(clip); }));
    ASSERT_TRUE(finish([&] { session.seekVideoFrame(7); }));
    draw({0.05, 0.05}, {0.4, 0.3});
    VideoPlayer *player = session.store().player();

    answer = FrameLeavingAnswer::DontSave;
    ASSERT_TRUE(finish([&] { session.importVideo(cut); }));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(main.errorMessage(), std::optional<QString>(QStringLiteral("视频文件无法打开")));
    EXPECT_EQ(session.store().videoFileName(), "kept.mp4");
    EXPECT_EQ(session.store().player(), player);
    EXPECT_EQ(session.store().currentFrameIndex(), 7);
    EXPECT_EQ(session.store().totalFrameCount(), 100);
    EXPECT_FALSE(session.store().isLoading());
    EXPECT_EQ(loadedFrame(), 7);
    EXPECT_EQ(stripeNumber(player->currentFrame()), 7);
    EXPECT_EQ(video.annotations().size(), 1u);

    ASSERT_TRUE(finish([&] { session.stepVideoFrame(1); }));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(loadedFrame(), 8);
}

} // namespace
