#include "FakeVideoMedia.h"
#include "support/VideoTestMedia.h"
#include "video/VideoFrameAnnotationStore.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

using VideoTestMedia::waitUntil;

// A store over a fake 4 s, 25 fps video (100 frames) with a manual playback clock.
struct FakeStore {
    std::shared_ptr<FakeFrameSource> source = std::make_shared<FakeFrameSource>(25, 100);
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    VideoFrameAnnotationStore store{[source = source](const QString &) {
                                        return std::optional<VideoAsset>(fakeAsset(source, 4.0, 25));
                                    },
                                    clock};

    std::optional<VideoFrameSnapshot> load()
    {
        std::optional<VideoFrameSnapshot> result;
        bool done = false;
        store.loadVideo(QStringLiteral("/v/clip.mov"), [&](std::optional<VideoFrameSnapshot> s) {
            result = std::move(s);
            done = true;
        });
        EXPECT_TRUE(waitUntil([&] { return done; }));
        return result;
    }

    // Lets the decode thread finish and delivers what it posted.
    void settle()
    {
        ASSERT_TRUE(store.player()->waitUntilIdle(5000));
        QCoreApplication::processEvents();
    }
};

TEST(VideoStorePlayback, WithoutVideoEverythingAsksForOne)
{
    FakeStore fake;
    bool called = false;
    fake.store.seek(5, [&](std::optional<VideoFrameSnapshot> s) {
        called = true;
        EXPECT_FALSE(s);
    });
    EXPECT_TRUE(called);
    EXPECT_EQ(fake.store.statusText(), QStringLiteral("请先导入视频"));
    EXPECT_FALSE(fake.store.isLoading());

    fake.store.reset();
    fake.store.previewFrame(3); // no message, no change
    EXPECT_EQ(fake.store.statusText(), QStringLiteral("请导入视频"));
    EXPECT_EQ(fake.store.currentFrameIndex(), 0);
    fake.store.togglePlayback();
    EXPECT_EQ(fake.store.statusText(), QStringLiteral("请先导入视频"));
    EXPECT_FALSE(fake.store.isPlaying());
}

TEST(VideoStorePlayback, PreviewClampsAndChasesOnlyTheNewestPosition)
{
    FakeStore fake;
    auto first = fake.load();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->frameIndex, 0);
    EXPECT_EQ(fake.store.statusText(), QStringLiteral("当前帧：00:00:00:00"));

    QImage shown;
    QObject::connect(&fake.store, &VideoFrameAnnotationStore::currentFrameImageChanged,
                     [&](const QImage &frame) { shown = frame; });

    fake.store.previewFrame(-5);
    EXPECT_EQ(fake.store.currentFrameIndex(), 0);
    fake.store.previewFrame(10000);
    EXPECT_EQ(fake.store.currentFrameIndex(), 99);
    fake.settle();
    EXPECT_EQ(FakeFrameSource::numberOf(shown), 99);

    // Frame 12 completes, but its completion is delivered only after frame 13 was asked for (and is
    // still decoding): it must not move the index back to 12.
    fake.source->blockAt = 13 / 25.0;
    fake.store.previewFrame(12);
    fake.settle();
    const int beforeThirteen = fake.source->frameAtCalls;
    fake.store.previewFrame(13);
    // The decode thread asks for frame 13 on its own schedule; wait until it is held there.
    ASSERT_TRUE(waitUntil([&] { return fake.source->frameAtCalls > beforeThirteen; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(fake.store.currentFrameIndex(), 13);
    EXPECT_EQ(fake.store.statusText(), QStringLiteral("预览帧：00:00:00:13"));

    // The same index again issues no second seek.
    const int calls = fake.source->frameAtCalls;
    fake.store.previewFrame(13);
    EXPECT_EQ(fake.source->frameAtCalls, calls);

    // An interrupted seek with nothing newer re-arms the seek for that frame.
    fake.store.player()->cancelPendingSeeks();
    fake.settle();
    fake.source->release = true;
    fake.store.previewFrame(13);
    fake.settle();
    EXPECT_GT(fake.source->frameAtCalls, calls);
    EXPECT_EQ(fake.store.currentFrameIndex(), 13);
    EXPECT_EQ(FakeFrameSource::numberOf(shown), 13);
}

TEST(VideoStorePlayback, ExactSeekSupersedesPendingPreview)
{
    FakeStore fake;
    ASSERT_TRUE(fake.load());
    fake.source->blockAt = 40 / 25.0;
    fake.store.previewFrame(40); // held in flight
    std::optional<VideoFrameSnapshot> result;
    bool done = false;
    fake.store.seek(20, [&](std::optional<VideoFrameSnapshot> s) {
        result = std::move(s);
        done = true;
    });
    EXPECT_TRUE(fake.store.isLoading());
    ASSERT_TRUE(waitUntil([&] { return done; }));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->frameIndex, 20);
    EXPECT_EQ(result->fileName, "clip-00-00-00-20-20.png");
    EXPECT_DOUBLE_EQ(result->time, 0.8);
    EXPECT_EQ(FakeFrameSource::numberOf(result->image), 20);
    EXPECT_EQ(fake.store.currentFrameIndex(), 20);
    EXPECT_FALSE(fake.store.isLoading());
    fake.settle();
    EXPECT_EQ(fake.store.currentFrameIndex(), 20);
}

// Driven picture by picture as the decoder delivers them: the counter is that of the picture on
// screen, also after playback starts again from an earlier place, and playback stops at the end.
TEST(VideoStorePlayback, CounterFollowsThePicturesAndPlaybackPausesAtTheEnd)
{
    FakeStore fake;
    ASSERT_TRUE(fake.load());
    VideoPlayer *player = fake.store.player();
    QImage shown;
    QObject::connect(&fake.store, &VideoFrameAnnotationStore::currentFrameImageChanged,
                     [&](const QImage &frame) { shown = frame; });
    const auto playFrames = [&](int count) {
        for (int i = 0; i < count && fake.store.isPlaying(); ++i) {
            ASSERT_TRUE(player->waitUntilIdle(5000));
            fake.clock->time += 0.04;
            player->presentDueFrames();
            ASSERT_EQ(fake.store.currentFrameIndex(), FakeFrameSource::numberOf(shown));
        }
    };

    fake.store.togglePlayback();
    EXPECT_TRUE(fake.store.isPlaying());
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(fake.store.statusText(), QStringLiteral("正在播放预览"));
    playFrames(60);
    EXPECT_EQ(FakeFrameSource::numberOf(shown), 60);
    EXPECT_EQ(fake.store.statusText(), QStringLiteral("播放中：00:00:02:10"));

    // The clock runs ahead of the pictures the decoder has ready (six queued): the counter stays with
    // the picture.
    ASSERT_TRUE(player->waitUntilIdle(5000));
    fake.clock->time += 0.4;
    player->presentDueFrames();
    EXPECT_EQ(FakeFrameSource::numberOf(shown), 66);
    EXPECT_EQ(fake.store.currentFrameIndex(), 66);

    // Played again from an earlier frame, the counter and the status move on from there.
    fake.store.togglePlayback();
    fake.store.previewFrame(10);
    fake.settle();
    fake.store.togglePlayback();
    playFrames(10);
    EXPECT_EQ(FakeFrameSource::numberOf(shown), 20);
    EXPECT_EQ(fake.store.statusText(), QStringLiteral("播放中：00:00:00:20"));

    // To the end: playback stops on the last picture.
    playFrames(200);
    EXPECT_FALSE(fake.store.isPlaying());
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(fake.store.currentFrameIndex(), 99);
    EXPECT_EQ(fake.store.statusText(), QStringLiteral("已到视频末尾"));

    // Ticks while paused change nothing.
    fake.store.handlePlaybackTime(1.0);
    EXPECT_EQ(fake.store.currentFrameIndex(), 99);

    // Play at the last frame starts over from frame 0; the player's own end also stops the store.
    fake.store.togglePlayback();
    EXPECT_EQ(fake.store.currentFrameIndex(), 0);
    EXPECT_TRUE(fake.store.isPlaying());
    EXPECT_DOUBLE_EQ(player->currentTime(), 0.0);
    fake.clock->time += 10.0;
    player->presentDueFrames();
    EXPECT_FALSE(player->isPlaying());
    EXPECT_DOUBLE_EQ(player->currentTime(), 4.0);
    EXPECT_FALSE(fake.store.isPlaying());
    EXPECT_EQ(fake.store.statusText(), QStringLiteral("已到视频末尾"));

    // Pause from playing.
    fake.store.previewFrame(10);
    fake.store.togglePlayback();
    fake.store.togglePlayback();
    EXPECT_FALSE(fake.store.isPlaying());
    EXPECT_EQ(fake.store.statusText(), QStringLiteral("已暂停"));
}

TEST(VideoStorePlayback, PausingKeepsTheIndexOfThePictureOnScreen)
{
    FakeStore fake;
    ASSERT_TRUE(fake.load());
    VideoPlayer *player = fake.store.player();
    QImage shown;
    QObject::connect(&fake.store, &VideoFrameAnnotationStore::currentFrameImageChanged,
                     [&](const QImage &frame) { shown = frame; });
    fake.store.togglePlayback();
    ASSERT_TRUE(player->waitUntilIdle(5000));
    fake.clock->time += 0.2;
    player->presentDueFrames();
    ASSERT_EQ(FakeFrameSource::numberOf(shown), 5);
    // On a busy machine the clock's tick runs ahead of the pictures the decoder has delivered.
    fake.store.handlePlaybackTime(0.4);
    EXPECT_EQ(fake.store.currentFrameIndex(), 5);
    fake.store.pausePlayback();
    EXPECT_FALSE(fake.store.isPlaying());
    EXPECT_EQ(fake.store.currentFrameIndex(), 5);

    // The play button's pause does the same.
    fake.store.togglePlayback();
    ASSERT_TRUE(player->waitUntilIdle(5000));
    fake.store.handlePlaybackTime(1.0);
    fake.store.togglePlayback();
    EXPECT_EQ(fake.store.currentFrameIndex(), FakeFrameSource::numberOf(shown));
}

TEST(VideoStorePlayback, PlayerPresentsQueuedFramesAndDropsLateOnes)
{
    auto source = std::make_shared<FakeFrameSource>(25, 100);
    auto clock = std::make_shared<ManualClock>();
    VideoPlayer player(source, 4.0, clock);
    QImage shown;
    QObject::connect(&player, &VideoPlayer::currentFrameChanged, [&](const QImage &frame) { shown = frame; });
    player.play();
    ASSERT_TRUE(player.waitUntilIdle(5000));
    clock->time += 0.04;
    player.presentDueFrames();
    EXPECT_EQ(FakeFrameSource::numberOf(shown), 1);
    EXPECT_EQ(player.droppedFrameCount(), 1); // frame 0 was due together with frame 1
    ASSERT_TRUE(player.waitUntilIdle(5000));
    // Jumping ahead by five frames shows the newest due frame and counts the skipped ones.
    clock->time += 0.2;
    player.presentDueFrames();
    EXPECT_EQ(FakeFrameSource::numberOf(shown), 6);
    EXPECT_EQ(player.droppedFrameCount(), 5);
    player.pause();
    EXPECT_NEAR(player.currentTime(), 0.24, 1e-9);
}

// The periodic observer ticks on after playback jumps back (to the start, or to a frame stepped to):
// it is next due one interval after the new place, not where playback had got to.
TEST(VideoStorePlayback, TimeObserversTickAgainAfterAJumpBack)
{
    auto source = std::make_shared<FakeFrameSource>(25, 100);
    auto clock = std::make_shared<ManualClock>();
    VideoPlayer player(source, 4.0, clock);
    std::vector<double> ticks;
    player.addPeriodicTimeObserver(0.1, [&](double time) { ticks.push_back(time); });
    player.play();
    clock->time += 2.0;
    player.presentDueFrames();
    ASSERT_EQ(ticks.size(), 1u);
    player.seek(0.5);
    clock->time += 0.15;
    player.presentDueFrames();
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_NEAR(ticks.back(), 0.65, 1e-9);
    player.pause();
    player.seek(0.2);
    player.play();
    clock->time += 0.1;
    player.presentDueFrames();
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_NEAR(ticks.back(), 0.3, 1e-9);
}

TEST(VideoStorePlayback, ResetForgetsTheVideoAndIgnoresStaleWork)
{
    FakeStore fake;
    ASSERT_TRUE(fake.load());
    fake.source->blockAt = 30 / 25.0;
    fake.store.previewFrame(30);
    bool done = false;
    std::optional<VideoFrameSnapshot> result{VideoFrameSnapshot{}};
    fake.store.seek(50, [&](std::optional<VideoFrameSnapshot> s) {
        result = std::move(s);
        done = true;
    });
    fake.store.reset();
    EXPECT_EQ(fake.store.player(), nullptr);
    EXPECT_FALSE(fake.store.hasAsset());
    EXPECT_FALSE(fake.store.isLoading());
    EXPECT_EQ(fake.store.statusText(), QStringLiteral("请导入视频"));
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_FALSE(result);
    EXPECT_EQ(fake.store.currentFrameIndex(), 0);
    EXPECT_EQ(fake.store.statusText(), QStringLiteral("请导入视频"));
}

// The canvas is handed a copy already scaled to the size it shows frames at, made before the frame is
// due, so a player frame costs the screen no scaling; the full picture stays what is saved.
TEST(VideoStorePlayback, PlayerHandsOutACopyScaledForTheScreen)
{
    FakeStore fake;
    fake.store.setPreviewSize(QSize(2, 3));
    ASSERT_TRUE(fake.load());
    fake.settle();
    VideoPlayer &player = *fake.store.player();
    EXPECT_EQ(player.currentFrame().size(), QSize(4, 4));
    EXPECT_EQ(player.currentPreview().size(), QSize(2, 2));

    QImage shown;
    QImage preview;
    QObject::connect(&player, &VideoPlayer::currentFrameChanged, [&](const QImage &frame) {
        shown = frame;
        preview = player.currentPreview();
    });
    player.play();
    ASSERT_TRUE(player.waitUntilIdle(5000));
    fake.clock->time += 0.04;
    player.presentDueFrames();
    EXPECT_EQ(FakeFrameSource::numberOf(shown), 1);
    ASSERT_EQ(preview.size(), QSize(2, 2));
    EXPECT_EQ(qRed(preview.pixel(1, 1)), 1); // the copy is of the frame shown

    // A box the frames fit into unscaled makes no copies.
    player.pause();
    fake.store.setPreviewSize(QSize(8, 8));
    fake.store.seek(50);
    ASSERT_TRUE(waitUntil([&] { return FakeFrameSource::numberOf(player.currentFrame()) == 50; }));
    EXPECT_TRUE(player.currentPreview().isNull());
    EXPECT_TRUE(VideoPlayer::previewOf(QImage(), QSize(2, 2)).isNull());
}

TEST(VideoStorePlayback, PreviewCopiesAverageWholeBlocksAndComeOutAtTheShownSize)
{
    QImage frame(1920, 1080, QImage::Format_ARGB32);
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            frame.setPixel(x, y, qRgb((x * 7 + y) % 256, (x + y * 3) % 256, (x * y) % 256));
    // 1080p in a 960 × 540 box: each pixel the rounded mean of its 2 × 2 block; opaque, so no blending.
    const QImage half = VideoPlayer::previewOf(frame, QSize(1000, 540));
    ASSERT_EQ(half.size(), QSize(960, 540));
    EXPECT_EQ(half.format(), QImage::Format_RGB32);
    for (const QPoint p : {QPoint(0, 0), QPoint(123, 77), QPoint(959, 539)}) {
        const QRgb a = frame.pixel(2 * p.x(), 2 * p.y()), b = frame.pixel(2 * p.x() + 1, 2 * p.y());
        const QRgb c = frame.pixel(2 * p.x(), 2 * p.y() + 1), d = frame.pixel(2 * p.x() + 1, 2 * p.y() + 1);
        const auto mean = [](int w, int x, int y, int z) { return (w + x + y + z + 2) / 4; };
        EXPECT_EQ(half.pixel(p), qRgb(mean(qRed(a), qRed(b), qRed(c), qRed(d)), mean(qGreen(a), qGreen(b), qGreen(c), qGreen(d)),
                                      mean(qBlue(a), qBlue(b), qBlue(c), qBlue(d))));
    }
    // Any other size is reached exactly; a translucent picture keeps its alpha.
    EXPECT_EQ(VideoPlayer::previewOf(frame, QSize(700, 700)).size(), QSize(700, 393));
    EXPECT_EQ(VideoPlayer::previewOf(frame, QSize(300, 100)).size(), QSize(177, 100));
    QImage translucent(8, 8, QImage::Format_ARGB32);
    translucent.fill(qRgba(200, 100, 50, 128));
    const QImage quarter = VideoPlayer::previewOf(translucent, QSize(2, 2));
    ASSERT_EQ(quarter.size(), QSize(2, 2));
    EXPECT_EQ(quarter.pixel(1, 1), qRgba(200, 100, 50, 128));
}

} // namespace
