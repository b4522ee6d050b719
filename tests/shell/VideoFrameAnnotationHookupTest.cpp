#include "VideoHookupFixture.h"

#include "video/VideoFrameAnnotationStore.h"
#include "video/widgets/VideoFrameAnnotationWorkspace.h"
#include "video/widgets/VideoTransportPanel.h"

#include <QFileInfo>
#include <QImage>
#include <QSemaphore>

#include <atomic>

namespace {

using namespace VideoTestMedia;

bool isRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 90 && qBlue(pixel) < 90;
}

TEST_F(VideoHookupTest, ImportsByPanelAndByDropFromAnyWorkspace)
{
    REQUIRE_FFMPEG();
    const QString clip = stripes("clip.mp4", "25", 2);
    ASSERT_FALSE(clip.isEmpty());
    chosenPath = clip;
    view().setPanOffset(QSizeF(30, 40));
    ASSERT_TRUE(finish([&] {
        view().handleKeyCommand("openProject"); // ignored outside the video workspace
        EXPECT_EQ(view().workspaceMode(), WorkspaceMode::Launcher);
        hookup->session().presentVideoImportPanel();
        EXPECT_EQ(view().workspaceMode(), WorkspaceMode::VideoFrameAnnotation);
        EXPECT_EQ(view().panOffset(), QSizeF(0, 0));
        EXPECT_EQ(model().statusMessage(), "正在导入视频");
        EXPECT_EQ(video().statusMessage(), "正在导入视频");
    }));
    EXPECT_EQ(model().statusMessage(), "已导入视频：clip.mp4");
    ASSERT_EQ(video().items().size(), 1u);
    EXPECT_EQ(stripeNumber(video().image().image()), 0);

    // A drop while compressing still goes to the video workspace; the old frame stays until the new
    // video has loaded.
    const QString other = stripes("other.mov", "25", 2);
    view().setWorkspaceMode(WorkspaceMode::Compression);
    const QUuid before = video().selectedItem()->id;
    ASSERT_TRUE(finish([&] {
        view().handleDroppedFile(other);
        EXPECT_EQ(view().workspaceMode(), WorkspaceMode::VideoFrameAnnotation);
        EXPECT_EQ(video().selectedItem()->id, before);
    }));
    EXPECT_EQ(model().statusMessage(), "已导入视频：other.mov");
    ASSERT_EQ(video().items().size(), 1u);
    EXPECT_TRUE(video().items().front().fileName.startsWith("other-"));
    EXPECT_FALSE(shownError());
}

TEST_F(VideoHookupTest, AudioOnlyFileShowsTheStoresReason)
{
    REQUIRE_FFMPEG();
    const QString audio = make("audio-only.mp4", {"-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-c:a", "aac"});
    ASSERT_FALSE(audio.isEmpty());
    ASSERT_TRUE(finish([&] { hookup->session().importVideo(audio); }));
    ASSERT_TRUE(shownError());
    EXPECT_EQ(*shownError(), store().statusText());
    EXPECT_FALSE(store().statusText().isEmpty());
    EXPECT_EQ(view().statusLineText(), store().statusText());
    EXPECT_TRUE(video().items().empty());
}

TEST_F(VideoHookupTest, SeekStepAndSaveWithTheAnnotationsBurntIn)
{
    REQUIRE_FFMPEG();
    const QString clip = stripes("steps.mp4", "25", 2);
    hookup->session().seekVideoFrame(3);
    EXPECT_EQ(model().statusMessage(), "请先导入视频");
    ASSERT_TRUE(importAndWait(clip));

    view().setPanOffset(QSizeF(12, 5));
    ASSERT_TRUE(finish([&] { hookup->session().seekVideoFrame(10); }));
    EXPECT_EQ(stripeNumber(video().image().image()), 10);
    EXPECT_EQ(view().panOffset(), QSizeF(0, 0));

    store().togglePlayback();
    ASSERT_TRUE(store().isPlaying());
    ASSERT_TRUE(finish([&] {
        hookup->session().stepVideoFrame(1);
        EXPECT_FALSE(store().isPlaying());
    }));
    const int stepped = stripeNumber(video().image().image());
    ASSERT_TRUE(finish([&] { hookup->session().stepVideoFrame(-1); }));
    EXPECT_EQ(stripeNumber(video().image().image()), stepped - 1);

    addRectangle();
    ASSERT_TRUE(finish([&] { view().handleKeyCommand("saveProject"); }));
    ASSERT_TRUE(model().statusMessage().startsWith("当前帧已保存：")) << model().statusMessage().toStdString();
    const QString name = model().statusMessage().mid(QStringLiteral("当前帧已保存：").size());
    const QImage saved(QDir(desktop()).filePath(name));
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(96, 48));
    EXPECT_TRUE(isRed(saved.pixel(int(0.1 * 96), 24)));
    EXPECT_EQ(video().annotations().size(), 1u);
    EXPECT_EQ(video().selectedItem()->savedURL, std::optional<QString>(QDir(desktop()).filePath(name)));
    EXPECT_FALSE(shownError());
}

// Playback leaves the annotated frame: asked first, 保存当前帧 writes that frame with its drawing,
// and the pictures play without it. Paused with Escape, the picture on screen is the frame: what is
// drawn then is saved on it.
TEST_F(VideoHookupTest, PlaybackSavesTheAnnotatedFrameFirstAndStopsOnAFrameOfItsOwn)
{
    REQUIRE_FFMPEG();
    ASSERT_TRUE(importAndWait(stripes("played.mp4", "25", 4)));
    addRectangle();
    frameAnswer = FrameLeavingAnswer::SaveFrame;
    hookup->session().toggleVideoPlayback();
    EXPECT_EQ(frameQuestions, 1);
    ASSERT_TRUE(waitUntil([&] { return store().isPlaying(); }));
    ASSERT_TRUE(model().statusMessage().startsWith("当前帧已保存：")) << model().statusMessage().toStdString();
    const QString first = model().statusMessage().mid(QStringLiteral("当前帧已保存：").size());
    EXPECT_TRUE(first.startsWith("played-00-00-00-00-0-标注")) << first.toStdString();
    const QImage firstSaved(QDir(desktop()).filePath(first));
    ASSERT_FALSE(firstSaved.isNull());
    EXPECT_EQ(stripeNumber(firstSaved), 0);
    EXPECT_TRUE(isRed(firstSaved.pixel(int(0.1 * 96), 24)));
    EXPECT_TRUE(video().annotations().empty());

    ASSERT_TRUE(waitUntil([&] { return store().currentFrameIndex() >= 8; }));
    view().handleEscapeShortcut();
    EXPECT_FALSE(store().isPlaying());
    const int shown = int(store().currentFrameIndex());
    EXPECT_EQ(stripeNumber(video().image().image()), shown);
    addRectangle();
    ASSERT_TRUE(finish([&] { hookup->session().saveCurrentVideoFrame(); }));
    ASSERT_TRUE(model().statusMessage().startsWith("当前帧已保存：")) << model().statusMessage().toStdString();
    const QString name = model().statusMessage().mid(QStringLiteral("当前帧已保存：").size());
    EXPECT_TRUE(name.contains(QStringLiteral("-%1-标注").arg(shown))) << name.toStdString();
    const QImage saved(QDir(desktop()).filePath(name));
    ASSERT_FALSE(saved.isNull());
    EXPECT_TRUE(isRed(saved.pixel(int(0.1 * 96), 24)));
    EXPECT_EQ(stripeNumber(video().image().image()), shown);
    EXPECT_EQ(video().annotations().size(), 1u);
}

TEST_F(VideoHookupTest, AnOvertakenImportReportsNothing)
{
    REQUIRE_FFMPEG();
    const QString first = stripes("first.mp4", "25", 3);
    const QString second = stripes("second.mp4", "25", 1);
    hookup->session().importVideo(first);
    hookup->session().importVideo(second);
    ASSERT_TRUE(waitUntil([&] { return model().statusMessage() == "已导入视频：second.mp4"; }));
    // Give the first import every chance to complete late.
    waitUntil([] { return false; }, 300);
    EXPECT_FALSE(shownError());
    EXPECT_EQ(store().videoFileName(), "second.mp4");
    ASSERT_EQ(video().items().size(), 1u);
    EXPECT_TRUE(video().items().front().fileName.startsWith("second-"));
}

// A save held on its worker until the test lets it go.
struct HeldWrite {
    QSemaphore started;
    QSemaphore release;
    std::atomic<int> calls{0};
};

TEST_F(VideoHookupTest, TheSaveRunsOffTheWindowAndItsResultIsTheLastStatus)
{
    REQUIRE_FFMPEG();
    showWindow();
    ASSERT_TRUE(importAndWait(stripes("held.mp4", "25", 1)));
    addRectangle();
    auto held = std::make_shared<HeldWrite>();
    hookup->session().setFrameWriter([held](const VideoFrameSave::Job &job) {
        ++held->calls;
        held->started.release();
        held->release.acquire();
        return VideoFrameSave::write(job);
    });
    int finished = 0;
    QObject::connect(&hookup->session(), &VideoFrameAnnotationSession::actionFinished, [&] { ++finished; });
    auto *save = view().findChild<VideoFrameAnnotationWorkspace *>()->transportPanel()->saveButton();
    ASSERT_TRUE(save->isEnabled());

    save->click();
    ASSERT_TRUE(waitUntil([&] { return held->started.tryAcquire(); }, 30000));
    // The window answers while the frame is written: it says so, and the save waits its turn.
    EXPECT_TRUE(store().isSavingFrame());
    EXPECT_EQ(view().statusLineText(), "正在保存当前帧…");
    EXPECT_FALSE(save->isEnabled());
    EXPECT_TRUE(view().handleKeyCommand("saveProject"));
    save->click();
    // Clearing meanwhile changes the status line, not the picture being saved.
    confirmAnswer = true;
    EXPECT_TRUE(view().handleKeyCommand("z"));
    EXPECT_TRUE(video().annotations().empty());
    EXPECT_NE(view().statusLineText(), "正在保存当前帧…");
    // A close waits for the save.
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(quitRequests, 0);
    EXPECT_EQ(finished, 0);

    held->release.release();
    ASSERT_TRUE(waitUntil([&] { return finished > 0; }, 30000));
    EXPECT_EQ(held->calls.load(), 1);
    EXPECT_FALSE(store().isSavingFrame());
    ASSERT_TRUE(view().statusLineText().startsWith("当前帧已保存：")) << view().statusLineText().toStdString();
    const QString name = view().statusLineText().mid(QStringLiteral("当前帧已保存：").size());
    const QImage saved(QDir(desktop()).filePath(name));
    ASSERT_FALSE(saved.isNull());
    EXPECT_TRUE(isRed(saved.pixel(int(0.1 * 96), 24)));
    EXPECT_FALSE(shownError());
    // Then the close goes ahead under the usual quit rules: with nothing to ask about, the program quits.
    EXPECT_TRUE(waitUntil([&] { return quitRequests == 1; }, 30000));
    EXPECT_EQ(QDir(desktop()).entryList(QDir::Files).size(), 1);
}

TEST_F(VideoHookupTest, AFailedWriteIsTheLastWordAndFreesTheSave)
{
    REQUIRE_FFMPEG();
    ASSERT_TRUE(importAndWait(stripes("failing.mp4", "25", 1)));
    hookup->session().setFrameWriter([](const VideoFrameSave::Job &job) {
        return VideoFrameSave::Outcome{std::nullopt, QStringLiteral("无法写入文件：") + job.fileName};
    });
    ASSERT_TRUE(finish([&] { hookup->session().saveCurrentVideoFrame(); }));
    ASSERT_TRUE(shownError());
    EXPECT_TRUE(shownError()->startsWith("无法写入文件：")) << shownError()->toStdString();
    EXPECT_FALSE(store().isSavingFrame());
    EXPECT_FALSE(video().selectedItem()->savedURL);
    EXPECT_TRUE(QDir(desktop()).entryList(QDir::Files).isEmpty());
}

TEST_F(VideoHookupTest, AnOddWidthFrameIsSavedAtItsOwnWidth)
{
    REQUIRE_FFMPEG();
    // 4:4:4 resized from 1080p: a sample aspect ratio a hair off square (see VideoStoreMedia).
    const QString clip = make("odd-save.mp4", {"-f", "lavfi", "-i", "testsrc=size=1920x1080:rate=25", "-t", "0.2",
                                               "-vf", "scale=1919:1079", "-c:v", "libx264", "-pix_fmt", "yuv444p"});
    ASSERT_FALSE(clip.isEmpty());
    ASSERT_TRUE(importAndWait(clip));
    EXPECT_EQ(video().image().image().size(), QSize(1919, 1079));
    ASSERT_TRUE(finish([&] { hookup->session().saveCurrentVideoFrame(); }));
    ASSERT_TRUE(model().statusMessage().startsWith("当前帧已保存：")) << model().statusMessage().toStdString();
    const QString name = model().statusMessage().mid(QStringLiteral("当前帧已保存：").size());
    EXPECT_EQ(QImage(QDir(desktop()).filePath(name)).size(), QSize(1919, 1079));
}

} // namespace
