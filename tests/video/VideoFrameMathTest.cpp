#include "FakeVideoMedia.h"
#include "support/VideoTestMedia.h"
#include "video/VideoFrameAnnotationStore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Store = VideoFrameAnnotationStore;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// A store that has loaded a fake video under `fileName`.
std::unique_ptr<Store> loadedFake(const QString &fileName, double duration, float rate)
{
    auto source = std::make_shared<FakeFrameSource>(rate, int(std::ceil(duration * rate)));
    auto store = std::make_unique<Store>(
        [=](const QString &) { return std::optional<VideoAsset>(fakeAsset(source, duration, rate)); },
        std::make_shared<ManualClock>());
    bool done = false;
    store->loadVideo(fileName, [&](std::optional<VideoFrameSnapshot>) { done = true; });
    EXPECT_TRUE(VideoTestMedia::waitUntil([&] { return done; }));
    return store;
}

TEST(VideoFrameMath, TimecodeTable)
{
    EXPECT_EQ(Store::timecode(0, 30), "00:00:00:00");
    EXPECT_EQ(Store::timecode(29, 30), "00:00:00:29");
    EXPECT_EQ(Store::timecode(30, 30), "00:00:01:00");
    EXPECT_EQ(Store::timecode(30 * 3600, 30), "01:00:00:00");
    EXPECT_EQ(Store::timecode(75, 25), "00:00:03:00");
    EXPECT_EQ(Store::timecode(30, 29.97), "00:00:01:00");
    EXPECT_EQ(Store::timecode(299, 29.97), "00:00:09:29");
    EXPECT_EQ(Store::timecode(3, 0.4), "00:00:03:00"); // below 1 fps counts as 1
    EXPECT_EQ(Store::timecode(5, nan), "00:00:05:00");
    // Hours do not wrap, and wide fields are written in full.
    EXPECT_EQ(Store::timecode(25 * 3600 * 30, 30), "25:00:00:00");
    EXPECT_EQ(Store::timecode(100 * 3600 * 30 + 5, 30), "100:00:00:05");
    EXPECT_EQ(Store::timecode(150, 120), "00:00:01:30");
}

TEST(VideoFrameMath, FrameIndexFromSeconds)
{
    EXPECT_EQ(Store::frameIndex(0, 30), 0);
    EXPECT_EQ(Store::frameIndex(-1, 30), 0);
    EXPECT_EQ(Store::frameIndex(inf, 30), 0);
    EXPECT_EQ(Store::frameIndex(nan, 30), 0);
    EXPECT_EQ(Store::frameIndex(1.0, 29.97), 30);
    EXPECT_EQ(Store::frameIndex(0.5, 3), 2); // 1.5 rounds away from zero
    EXPECT_EQ(Store::frameIndex(2.5, 0.5), 3); // rate below 1 counts as 1
    EXPECT_EQ(Store::frameIndex(2.5, nan), 3);
    EXPECT_EQ(Store::frameIndex(1e300, 30), INT_MAX);
}

TEST(VideoFrameMath, FrameRateAndCountRules)
{
    EXPECT_EQ(Store::resolvedFrameRate(29.97f, nan), double(29.97f));
    EXPECT_EQ(Store::resolvedFrameRate(0, 1.0 / 25), 25);
    EXPECT_EQ(Store::resolvedFrameRate(0, nan), 30);
    EXPECT_EQ(Store::resolvedFrameRate(0, 0), 30);
    EXPECT_EQ(Store::resolvedFrameRate(std::numeric_limits<float>::quiet_NaN(), 1.0 / 24), 24);
    EXPECT_EQ(Store::resolvedFrameRate(-5, inf), 30);

    EXPECT_EQ(Store::frameCount(10.0, double(29.97f)), 300);
    EXPECT_EQ(Store::frameCount(10.01, double(float(30000.0 / 1001))), 300);
    EXPECT_EQ(Store::frameCount(0.01, 30), 1);
    EXPECT_EQ(Store::frameCount(4, 25), 100);
    // Where the file tells its last picture's time, that picture's index is the last: 240 pictures at
    // 23.976 fps last 10.01 s, and 10.01 × 23.976 is a hair above 240. A sound that runs on adds none.
    const double film = double(float(24000.0 / 1001));
    EXPECT_EQ(Store::frameCount(10.01, film, 239 * 1001 / 24000.0), 240);
    EXPECT_EQ(Store::frameCount(3, 25, 49 / 25.0), 50);
    EXPECT_EQ(Store::frameCount(0.01, 30, 0), 1);
    EXPECT_EQ(Store::frameCount(10, 30, 1e300), std::nullopt);
    // Counts that cannot be represented fail the load instead of overflowing.
    EXPECT_EQ(Store::frameCount(10, inf), std::nullopt);
    EXPECT_EQ(Store::frameCount(1e9, 30), std::nullopt);
    EXPECT_EQ(Store::frameCount(nan, 30), std::nullopt);

    // Half a frame in whole units of 1/60000 s: 1200 units at 25 fps.
    EXPECT_DOUBLE_EQ(Store::halfFrameTolerance(25) * 60000, 1200);
    EXPECT_DOUBLE_EQ(Store::halfFrameTolerance(30) * 60000, 1000);
}

TEST(VideoFrameMath, SecondsCountersAndFileNames)
{
    auto store = loadedFake(QStringLiteral("/videos/clip.mov"), 4.0, 25);
    EXPECT_EQ(store->totalFrameCount(), 100);
    EXPECT_DOUBLE_EQ(store->seconds(50), 2.0);
    EXPECT_DOUBLE_EQ(store->seconds(99), 3.96);
    EXPECT_DOUBLE_EQ(store->seconds(1000), 4.0); // capped at the duration
    EXPECT_DOUBLE_EQ(store->seconds(-3), 0.0);
    EXPECT_EQ(store->frameCounterText(), QStringLiteral("1/100 帧 · 00:00:00:00"));
    EXPECT_EQ(store->snapshotFileName(Store::timecode(75, 25), 75), "clip-00-00-03-00-75.png");

    auto slow = loadedFake(QStringLiteral("/videos/slow.mp4"), 10.0, 0.5f);
    EXPECT_DOUBLE_EQ(slow->seconds(3), 3.0); // below 1 fps an index counts as seconds
    EXPECT_DOUBLE_EQ(slow->seconds(30), 10.0);

    auto blank = loadedFake(QStringLiteral("/videos/   .mov"), 4.0, 25);
    EXPECT_EQ(blank->snapshotFileName("00:00:00:01", 1), QStringLiteral("视频取帧-00-00-00-01-1.png"));
    auto dotted = loadedFake(QStringLiteral("/videos/a.b.m4v"), 4.0, 25);
    EXPECT_EQ(dotted->snapshotFileName("00:00:00:01", 1), "a.b-00-00-00-01-1.png");

    Store empty;
    EXPECT_TRUE(empty.snapshotFileName("00:00:00:00", 0).startsWith(QStringLiteral("视频取帧-")));
    EXPECT_EQ(empty.frameCounterText(), QStringLiteral("1/1 帧 · 00:00:00:00"));
}

} // namespace
