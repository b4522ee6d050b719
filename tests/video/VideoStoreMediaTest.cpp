#include "support/TestSupport.h"
#include "support/VideoTestMedia.h"
#include "video/VideoFrameAnnotationStore.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using namespace VideoTestMedia;

#define REQUIRE_FFMPEG()                                                                                     \
    if (!hasFfmpeg())                                                                                        \
    GTEST_SKIP() << "the ffmpeg tool is not installed"

struct Outcome {
    bool done = false;
    std::optional<VideoFrameSnapshot> snapshot;
};

Outcome loadInto(VideoFrameAnnotationStore &store, const QString &path)
{
    Outcome outcome;
    store.loadVideo(path, [&](std::optional<VideoFrameSnapshot> s) {
        outcome.snapshot = std::move(s);
        outcome.done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return outcome.done; }));
    return outcome;
}

std::optional<VideoFrameSnapshot> seekTo(VideoFrameAnnotationStore &store, int index)
{
    Outcome outcome;
    store.seek(index, [&](std::optional<VideoFrameSnapshot> s) {
        outcome.snapshot = std::move(s);
        outcome.done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return outcome.done; }));
    return outcome.snapshot;
}

std::optional<VideoFrameSnapshot> step(VideoFrameAnnotationStore &store, int delta)
{
    Outcome outcome;
    store.stepFrame(delta, [&](std::optional<VideoFrameSnapshot> s) {
        outcome.snapshot = std::move(s);
        outcome.done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return outcome.done; }));
    return outcome.snapshot;
}

void expectEmpty(const VideoFrameAnnotationStore &store)
{
    EXPECT_FALSE(store.videoURL());
    EXPECT_EQ(store.player(), nullptr);
    EXPECT_FALSE(store.hasAsset());
    EXPECT_EQ(store.totalFrameCount(), 1);
    EXPECT_EQ(store.frameRate(), 30);
    EXPECT_FALSE(store.isLoading());
}

TEST(VideoStoreMedia, LoadsFrameRateAndCount)
{
    REQUIRE_FFMPEG();
    const QString ntsc = stripes("ntsc.mp4", "30000/1001", 10);
    ASSERT_FALSE(ntsc.isEmpty());
    VideoFrameAnnotationStore store;
    const Outcome first = loadInto(store, ntsc);
    ASSERT_TRUE(first.snapshot);
    EXPECT_EQ(first.snapshot->frameIndex, 0);
    EXPECT_EQ(stripeNumber(first.snapshot->image), 0);
    EXPECT_EQ(first.snapshot->fileName, "ntsc-00-00-00-00-0.png");
    EXPECT_EQ(store.totalFrameCount(), 300);
    EXPECT_EQ(store.frameRate(), double(float(30000.0 / 1001.0)));
    EXPECT_NEAR(store.duration(), 10.01, 1e-9);
    EXPECT_EQ(store.videoFileName(), "ntsc.mp4");
    EXPECT_EQ(store.videoURL(), std::optional<QString>(ntsc));
    EXPECT_EQ(store.currentFrameIndex(), 0);
    EXPECT_FALSE(store.isLoading());
    EXPECT_FALSE(store.isPlaying());
    EXPECT_EQ(store.statusText(), QStringLiteral("当前帧：00:00:00:00"));
    EXPECT_EQ(store.frameCounterText(), QStringLiteral("1/300 帧 · 00:00:00:00"));
    ASSERT_NE(store.player(), nullptr);

    const QString pal = stripes("pal.mov", "25", 4);
    ASSERT_TRUE(loadInto(store, pal).snapshot);
    EXPECT_EQ(store.totalFrameCount(), 100);
    EXPECT_EQ(store.frameRate(), 25);
    EXPECT_DOUBLE_EQ(store.imageGenerator()->requestedTimeToleranceBefore(), 0.02);
    EXPECT_DOUBLE_EQ(store.imageGenerator()->requestedTimeToleranceAfter(), 0.02);

    // An .m4v is the same container under another name.
    const QString m4v = make("clip.m4v", {"-i", pal, "-c", "copy", "-f", "mp4"});
    ASSERT_TRUE(loadInto(store, m4v).snapshot);
    EXPECT_EQ(store.videoFileName(), "clip.m4v");
    EXPECT_EQ(store.totalFrameCount(), 100);
}

// The count is that of the pictures the file holds (as the ffmpeg tool counts them decoding every
// one), at the broadcast rates whose duration × rate lands beside a whole number as at 25 fps: the
// last index is the last picture's, and stepping ends on it.
TEST(VideoStoreMedia, FrameCountsAreThoseOfThePicturesTheFileHolds)
{
    REQUIRE_FFMPEG();
    const struct {
        QString rate;
        int pictures;
    } clips[] = {{"24000/1001", 240}, {"30000/1001", 300}, {"60000/1001", 599}, {"25", 250}};
    for (const auto &clip : clips) {
        const QString path = stripes(QStringLiteral("count-%1.mp4").arg(QString(clip.rate).replace('/', '-')), clip.rate, 10);
        ASSERT_FALSE(path.isEmpty());
        const std::string name = clip.rate.toStdString();
        VideoFrameAnnotationStore store;
        ASSERT_TRUE(loadInto(store, path).snapshot) << name;
        const int count = clip.pictures;
        EXPECT_EQ(store.totalFrameCount(), count) << name;
        const auto last = seekTo(store, count - 1);
        ASSERT_TRUE(last) << name;
        EXPECT_EQ(stripeNumber(last->image), count - 1) << name;
        EXPECT_EQ(last->frameIndex, count - 1) << name;
        const QString end = QStringLiteral("%1/%1 帧 · ").arg(count);
        EXPECT_TRUE(store.frameCounterText().startsWith(end)) << store.frameCounterText().toStdString();
        ASSERT_TRUE(seekTo(store, count - 2));
        auto snap = step(store, 1);
        ASSERT_TRUE(snap) << name;
        EXPECT_EQ(stripeNumber(snap->image), count - 1) << name;
        snap = step(store, 1);
        ASSERT_TRUE(snap) << name;
        EXPECT_EQ(snap->frameIndex, count - 1) << name;
        EXPECT_TRUE(store.frameCounterText().startsWith(end)) << store.frameCounterText().toStdString();
    }
}

TEST(VideoStoreMedia, ExactFramesWhileSeekingAndStepping)
{
    REQUIRE_FFMPEG();
    for (const QString &name : {QStringLiteral("pal.mov"), QStringLiteral("ntsc.mp4")}) {
        const QString path = name.endsWith("mov") ? stripes(name, "25", 4) : stripes(name, "30000/1001", 10);
        VideoFrameAnnotationStore store;
        ASSERT_TRUE(loadInto(store, path).snapshot) << name.toStdString();
        const int last = store.totalFrameCount() - 1;
        // Forward within the group of pictures, backwards, far ahead, the last frames and back to 0.
        for (int index : {1, 2, 3, 17, 16, 50, 51, last, last - 1, 49, 0, 33}) {
            const auto snap = seekTo(store, index);
            ASSERT_TRUE(snap) << name.toStdString() << " frame " << index;
            EXPECT_EQ(snap->frameIndex, index);
            EXPECT_EQ(stripeNumber(snap->image), index) << name.toStdString();
            EXPECT_EQ(store.currentFrameIndex(), index);
            EXPECT_EQ(store.statusText(), QStringLiteral("当前帧：") + VideoFrameAnnotationStore::timecode(index, store.frameRate()));
        }
        // Stepping stays inside the video at both ends.
        ASSERT_TRUE(seekTo(store, 0));
        auto snap = step(store, -1);
        ASSERT_TRUE(snap);
        EXPECT_EQ(snap->frameIndex, 0);
        snap = step(store, 1);
        ASSERT_TRUE(snap);
        EXPECT_EQ(stripeNumber(snap->image), 1);
        ASSERT_TRUE(seekTo(store, last));
        snap = step(store, 1);
        ASSERT_TRUE(snap);
        EXPECT_EQ(snap->frameIndex, last);
        snap = step(store, -1);
        ASSERT_TRUE(snap);
        EXPECT_EQ(stripeNumber(snap->image), last - 1);
        EXPECT_EQ(store.currentFrameIndex(), last - 1);
        // Back and forth by single frames from the middle of a group of pictures.
        ASSERT_TRUE(seekTo(store, 40));
        int position = 40;
        for (int delta : {-1, 1, 1, -1, -1, -1, 1}) {
            position += delta;
            snap = step(store, delta);
            ASSERT_TRUE(snap);
            EXPECT_EQ(stripeNumber(snap->image), position) << name.toStdString();
        }
    }
}

TEST(VideoStoreMedia, FramesMatchTheCommandLineToolsFrames)
{
    REQUIRE_FFMPEG();
    const QString clip = make("testsrc.mp4", {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30", "-t", "3", "-c:v",
                                              "libx264", "-pix_fmt", "yuv420p", "-g", "30"});
    ASSERT_FALSE(clip.isEmpty());
    VideoFrameAnnotationStore store;
    ASSERT_TRUE(loadInto(store, clip).snapshot);
    QImage shown;
    QObject::connect(&store, &VideoFrameAnnotationStore::currentFrameImageChanged, [&](const QImage &f) { shown = f; });
    for (int index : {47, 12}) {
        const auto snap = seekTo(store, index);
        ASSERT_TRUE(snap);
        const double difference = meanAbsoluteDifference(snap->image, referenceFrame(clip, index));
        EXPECT_GE(difference, 0);
        EXPECT_LE(difference, 3.0) << "frame " << index;
        EXPECT_LE(meanAbsoluteDifference(shown, snap->image), 0.01); // the player shows the same frame
    }

    // Rotation metadata: frames come out upright, as the tool's autorotated picture.
    const QString rotated = make("rotated.mp4", {"-i", clip, "-c", "copy", "-metadata:s:v:0", "rotate=90"});
    const auto upright = loadInto(store, rotated).snapshot;
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->image.size(), QSize(240, 320));
    const double difference = meanAbsoluteDifference(upright->image, referenceFrame(rotated, 0));
    EXPECT_GE(difference, 0);
    EXPECT_LE(difference, 3.0);
}

TEST(VideoStoreMedia, HighDefinitionWithoutColourTagsUsesBt709)
{
    REQUIRE_FFMPEG();
    // Encoded with the BT.709 matrix but left untagged, as x264 output often is.
    const QString hd = make("hd.mp4", {"-f", "lavfi", "-i", "color=c=0xC03020:s=1280x720:r=25", "-t", "0.2", "-vf",
                                       "scale=out_color_matrix=bt709:out_range=tv", "-c:v", "libx264", "-pix_fmt",
                                       "yuv420p"});
    ASSERT_FALSE(hd.isEmpty());
    VideoFrameAnnotationStore store;
    const auto snap = loadInto(store, hd).snapshot;
    ASSERT_TRUE(snap);
    const QRgb centre = snap->image.pixel(640, 360);
    EXPECT_NEAR(qRed(centre), 0xC0, 4);
    EXPECT_NEAR(qGreen(centre), 0x30, 4);
    EXPECT_NEAR(qBlue(centre), 0x20, 4);
}

TEST(VideoStoreMedia, OddSizedFramesKeepEveryColumnWhateverTheChromaLayout)
{
    REQUIRE_FFMPEG();
    // Resized from 1080p, as odd sizes usually come about: x264 keeps the 4:4:4 file's sample aspect
    // ratio a hair off square (17264:17271), MPEG-4 Part 2 rounds the 4:2:0 one's to square. x264 takes
    // odd sizes only for 4:4:4, hence the two encoders.
    const QStringList source{"-f", "lavfi", "-i", "testsrc=size=1920x1080:rate=25", "-t", "0.2", "-vf",
                             "scale=1919:1079"};
    const QString full = make("odd444.mp4", source + QStringList{"-c:v", "libx264", "-pix_fmt", "yuv444p"});
    const QString subsampled = make("odd420.mp4", source + QStringList{"-c:v", "mpeg4", "-pix_fmt", "yuv420p"});
    // A true anamorphic picture is still widened.
    const QString anamorphic = make("odd-anamorphic.mp4", {"-f", "lavfi", "-i", "testsrc=size=959x540:rate=25", "-t",
                                                           "0.2", "-vf", "setsar=2/1", "-c:v", "libx264", "-pix_fmt",
                                                           "yuv444p"});
    const std::pair<QString, QSize> cases[] = {
        {full, QSize(1919, 1079)}, {subsampled, QSize(1919, 1079)}, {anamorphic, QSize(1918, 540)}};
    for (const auto &[clip, size] : cases) {
        ASSERT_FALSE(clip.isEmpty());
        VideoFrameAnnotationStore store;
        QImage shown;
        QObject::connect(&store, &VideoFrameAnnotationStore::currentFrameImageChanged,
                         [&](const QImage &f) { shown = f; });
        const auto snap = loadInto(store, clip).snapshot;
        ASSERT_TRUE(snap) << clip.toStdString();
        EXPECT_EQ(snap->image.size(), size) << clip.toStdString();
        ASSERT_TRUE(waitUntil([&] { return !shown.isNull(); }));
        EXPECT_EQ(shown.size(), size) << clip.toStdString();
        if (size.width() != 1919)
            continue;
        // The last columns are the tool's own (its untagged HD colours aside, which only the grey of
        // the pattern's edge is free of), not padding or a neighbour's copy.
        const QImage reference = referenceFrame(clip, 0);
        const double edge = meanAbsoluteDifference(snap->image.copy(1917, 0, 2, 1079), reference.copy(1917, 0, 2, 1079));
        EXPECT_GE(edge, 0) << clip.toStdString();
        EXPECT_LE(edge, 3.0) << clip.toStdString();
    }
}

TEST(VideoStoreMedia, RetryTakesTheNearestFrameWhenNoneIsWithinHalfAFrame)
{
    REQUIRE_FFMPEG();
    // Two seconds of pictures in a three-second file (the sound runs on): the last second has no frame.
    const QString source = stripes("short.mp4", "25", 2);
    const QString longer = make("longer.mp4", {"-i", source, "-f", "lavfi", "-i", "sine=duration=3", "-c:v", "copy",
                                               "-c:a", "aac"});
    ASSERT_FALSE(longer.isEmpty());
    VideoFrameAnnotationStore store;
    ASSERT_TRUE(loadInto(store, longer).snapshot);
    // The frames are the pictures', not the sound's.
    EXPECT_EQ(store.totalFrameCount(), 50);
    const auto snap = seekTo(store, 70);
    ASSERT_TRUE(snap);
    EXPECT_EQ(snap->frameIndex, 49);
    EXPECT_EQ(stripeNumber(snap->image), 49);
    EXPECT_EQ(snap->timecode, "00:00:01:24");
    EXPECT_EQ(snap->fileName, "longer-00-00-01-24-49.png");
    EXPECT_DOUBLE_EQ(snap->time, 49 / 25.0);
    EXPECT_EQ(store.currentFrameIndex(), 49);
    EXPECT_EQ(store.statusText(), QStringLiteral("当前帧：00:00:01:24"));

    // A time in the last second has no picture within half a frame: the retry takes the nearest, the
    // last picture, and the half-frame tolerances are back afterwards.
    const std::optional<VideoAsset> asset = VideoAsset::load(longer);
    ASSERT_TRUE(asset && asset->frameSource);
    VideoFrameGenerator generator(asset->frameSource);
    generator.setRequestedTimeToleranceBefore(0.02);
    generator.setRequestedTimeToleranceAfter(0.02);
    double delivered = 0;
    const QImage late = VideoFrameAnnotationStore::copyFrameImage(generator, 2.8, &delivered);
    EXPECT_EQ(stripeNumber(late), 49);
    EXPECT_DOUBLE_EQ(delivered, 49 / 25.0);
    EXPECT_DOUBLE_EQ(generator.requestedTimeToleranceBefore(), 0.02);
    EXPECT_DOUBLE_EQ(generator.requestedTimeToleranceAfter(), 0.02);
}

TEST(VideoStoreMedia, FilesWithoutPicturesOrDamagedFilesFailWithAMessage)
{
    REQUIRE_FFMPEG();
    const QString audio = make("audio.mp4", {"-f", "lavfi", "-i", "sine=frequency=440:duration=3", "-c:a", "aac"});
    const QString cover = make("cover.png", {"-f", "lavfi", "-i", "color=c=red:s=64x64", "-frames:v", "1"});
    const QString withCover = make("cover.mp4", {"-f", "lavfi", "-i", "sine=frequency=440:duration=3", "-i", cover, "-map",
                                                 "0", "-map", "1", "-c:a", "aac", "-c:v", "png", "-disposition:v:0",
                                                 "attached_pic"});
    VideoFrameAnnotationStore store;
    for (const QString &path : {audio, withCover}) {
        ASSERT_FALSE(path.isEmpty());
        const Outcome outcome = loadInto(store, path);
        EXPECT_FALSE(outcome.snapshot);
        EXPECT_EQ(store.statusText(), QStringLiteral("没有找到可读取的视频画面")) << path.toStdString();
        expectEmpty(store);
    }

    const QString clip = stripes("pal.mov", "25", 4);
    QFile file(clip);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QString dir = folder() + QStringLiteral("/bad/");
    const QStringList unreadable = {
        TestSupport::writeFile(dir + "truncated.mp4", bytes.left(bytes.size() / 2)),
        TestSupport::writeFile(dir + "empty.mp4", QByteArray()),
        TestSupport::writeFile(dir + "text.mp4", QByteArray("this is not a video\n").repeated(50)),
        dir + "missing.mp4",
    };
    for (const QString &path : unreadable) {
        const Outcome outcome = loadInto(store, path);
        EXPECT_FALSE(outcome.snapshot);
        EXPECT_EQ(store.statusText(), QStringLiteral("视频文件无法打开")) << path.toStdString();
        expectEmpty(store);
    }
}

TEST(VideoStoreMedia, DamagedPicturesNeverCrash)
{
    REQUIRE_FFMPEG();
    // Index up front, then the picture data cut short or overwritten with noise.
    const QString clip = stripes("faststart.mp4", "25", 4, {"-movflags", "+faststart"});
    QFile file(clip);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QByteArray noisy = bytes;
    for (qsizetype i = noisy.size() / 3; i < noisy.size(); i += 7)
        noisy[i] = char(noisy[i] ^ 0x5A);
    const QString dir = folder() + QStringLiteral("/damaged/");
    VideoFrameAnnotationStore store;
    for (const QString &path : {TestSupport::writeFile(dir + "cut.mp4", bytes.left(bytes.size() * 2 / 3)),
                                TestSupport::writeFile(dir + "noisy.mp4", noisy)}) {
        loadInto(store, path);
        if (!store.hasAsset())
            continue;
        for (int index : {99, 60, 1, 98}) {
            const auto snap = seekTo(store, index);
            if (!snap) {
                EXPECT_EQ(store.statusText(), QStringLiteral("当前帧无法读取"));
            }
        }
        store.togglePlayback();
        waitUntil([] { return false; }, 200);
    }

    // A picture wider than 8192 pixels is refused when a frame is read: the file is not taken, and the
    // video before it (paused by the load) stays.
    const QString wide = make("wide.mov", {"-f", "lavfi", "-i", "color=c=gray:s=8200x16:r=1", "-frames:v", "1", "-c:v",
                                           "png"});
    ASSERT_FALSE(wide.isEmpty());
    const std::optional<QString> before = store.videoURL();
    const Outcome outcome = loadInto(store, wide);
    EXPECT_FALSE(outcome.snapshot);
    EXPECT_EQ(store.videoURL(), before);
    EXPECT_FALSE(store.isPlaying());
    EXPECT_EQ(store.statusText(), QStringLiteral("当前帧无法读取"));
}

TEST(VideoStoreMedia, TheNewestLoadWins)
{
    REQUIRE_FFMPEG();
    const QString pal = stripes("pal.mov", "25", 4);
    const QString ntsc = stripes("ntsc.mp4", "30000/1001", 10);
    VideoFrameAnnotationStore store;
    Outcome older;
    store.loadVideo(ntsc, [&](std::optional<VideoFrameSnapshot> s) {
        older.snapshot = std::move(s);
        older.done = true;
    });
    const Outcome newer = loadInto(store, pal);
    ASSERT_TRUE(waitUntil([&] { return older.done; }));
    EXPECT_FALSE(older.snapshot);
    ASSERT_TRUE(newer.snapshot);
    EXPECT_EQ(store.videoFileName(), "pal.mov");
    EXPECT_EQ(store.totalFrameCount(), 100);
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(store.videoFileName(), "pal.mov");
}

// 30 fps with every tenth frame dropped, as phones record: frames are 1/30 s apart with a 1/15 s gap
// each third of a second, and the average rate (27.2 fps) gives the frame indices.
QString unevenlySpacedVideo()
{
    return stripes("uneven.mp4", "30", 4, {"-vf", "select='not(eq(mod(n\\,10)\\,9))'", "-fps_mode", "vfr"});
}

std::vector<int> unevenlySpacedStripes()
{
    std::vector<int> numbers;
    for (int n = 0; n < 120; ++n) {
        if (n % 10 != 9)
            numbers.push_back(n);
    }
    return numbers;
}

// The store with the unevenly spaced video loaded, and the picture its player shows.
class UnevenlySpacedVideo : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_FFMPEG();
        const QString path = unevenlySpacedVideo();
        ASSERT_FALSE(path.isEmpty());
        QObject::connect(&store, &VideoFrameAnnotationStore::currentFrameImageChanged,
                         [this](const QImage &f) { shown = f; });
        ASSERT_TRUE(loadInto(store, path).snapshot);
    }

    VideoFrameAnnotationStore store;
    QImage shown;
};

TEST_F(UnevenlySpacedVideo, StepsVisitEveryFrameOnce)
{
    const std::vector<int> frames = unevenlySpacedStripes();
    const int last = int(frames.size()) - 1;

    auto expectStepTo = [&](int delta, int position) {
        const auto snap = step(store, delta);
        ASSERT_TRUE(snap) << "step to " << position;
        ASSERT_EQ(stripeNumber(snap->image), frames[position]);
        EXPECT_EQ(stripeNumber(shown), frames[position]);
        // The index shown is the picture's own, and saving takes the picture shown.
        EXPECT_EQ(snap->frameIndex, VideoFrameAnnotationStore::frameIndex(snap->time, store.frameRate()));
        EXPECT_EQ(store.currentFrameIndex(), snap->frameIndex);
        Outcome saved;
        store.currentFrameSnapshot([&](std::optional<VideoFrameSnapshot> s) {
            saved.snapshot = std::move(s);
            saved.done = true;
        });
        ASSERT_TRUE(waitUntil([&] { return saved.done; }));
        ASSERT_TRUE(saved.snapshot);
        EXPECT_EQ(stripeNumber(saved.snapshot->image), frames[position]);
    };
    for (int position = 1; position <= last; ++position)
        expectStepTo(1, position);
    expectStepTo(1, last); // the last picture stays
    for (int position = last - 1; position >= 0; --position)
        expectStepTo(-1, position);
    expectStepTo(-1, 0);
    // A longer step never stays on the picture it started from either.
    expectStepTo(3, 3);
}

TEST_F(UnevenlySpacedVideo, SeekingBackwardsFindsThePicturesSeekingForwardsFinds)
{
    const int count = store.totalFrameCount();
    std::vector<int> forwards;
    for (int index = 0; index < count; ++index) {
        const auto snap = seekTo(store, index);
        ASSERT_TRUE(snap) << "frame " << index;
        forwards.push_back(stripeNumber(snap->image));
    }
    for (int index = count - 1; index >= 0; --index) {
        const auto snap = seekTo(store, index);
        ASSERT_TRUE(snap) << "frame " << index;
        EXPECT_EQ(stripeNumber(snap->image), forwards[std::size_t(index)]) << "frame " << index;
        EXPECT_EQ(stripeNumber(shown), forwards[std::size_t(index)]) << "frame " << index;
    }
}

TEST_F(UnevenlySpacedVideo, PlayerAndSnapshotShowTheSamePicture)
{
    for (int index = 0; index < store.totalFrameCount(); index += 1) {
        const auto snap = seekTo(store, index);
        ASSERT_TRUE(snap) << "frame " << index;
        EXPECT_EQ(stripeNumber(shown), stripeNumber(snap->image)) << "frame " << index;
        // The scrubber's preview of the index shows that picture too.
        const int other = index == 0 ? 1 : 0;
        store.previewFrame(other);
        ASSERT_TRUE(waitUntil([&] { return store.player()->waitUntilIdle(0); }));
        store.previewFrame(index);
        ASSERT_TRUE(waitUntil(
            [&] { return store.player()->waitUntilIdle(0) && stripeNumber(shown) == stripeNumber(snap->image); }, 2000))
            << "preview of frame " << index;
    }
}

TEST(VideoStoreMedia, SeekPastTheReadableEndOfACutFileAnswersTheSameEveryTime)
{
    REQUIRE_FFMPEG();
    // Index up front and keyframes every few dozen frames; the last quarter of the file is gone, so the index
    // still lists keyframes whose pictures cannot be read.
    const QString clip = stripes("keyframes.mp4", "25", 4, {"-g", "25", "-movflags", "+faststart"});
    QFile file(clip);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QString cut = TestSupport::writeFile(folder() + QStringLiteral("/cut/part.mp4"),
                                               bytes.left(bytes.size() * 3 / 4));

    std::optional<int> answer;
    for (const std::vector<int> &before : std::vector<std::vector<int>>{{}, {20}, {45}, {60, 30}, {99, 0}}) {
        VideoFrameAnnotationStore store;
        ASSERT_TRUE(loadInto(store, cut).snapshot);
        for (int index : before)
            seekTo(store, index);
        const auto snap = seekTo(store, 99);
        ASSERT_TRUE(snap) << store.statusText().toStdString();
        const int number = stripeNumber(snap->image);
        EXPECT_EQ(snap->frameIndex, number);
        if (!answer)
            answer = number;
        EXPECT_EQ(number, *answer);
        // It is the last readable picture: stepping on stays there.
        const auto next = step(store, 1);
        ASSERT_TRUE(next);
        EXPECT_EQ(stripeNumber(next->image), number);
    }
    EXPECT_GT(*answer, 25);
    EXPECT_LT(*answer, 99);
}

} // namespace

namespace {

// The scrubber's preview of a position and the exact seek of that position show the same picture
// under the same number, for every position: pictures exactly half a frame off the frame grid (a
// stream that starts 0.02 s late at 25 fps), and a frame count that runs one past the last picture.
TEST(VideoStoreMedia, PreviewAndExactSeekOfAPositionShowTheSameFrame)
{
    REQUIRE_FFMPEG();
    const QStringList clips = {stripes("halfframe.mp4", "25", 6, {"-output_ts_offset", "0.02"}),
                               stripes("film.mov", "24000/1001", 6)};
    for (const QString &clip : clips) {
        ASSERT_FALSE(clip.isEmpty());
        VideoFrameAnnotationStore store;
        QImage shown;
        QObject::connect(&store, &VideoFrameAnnotationStore::currentFrameImageChanged,
                         [&](const QImage &frame) { shown = frame; });
        ASSERT_TRUE(loadInto(store, clip).snapshot);
        for (int index = 0; index < store.totalFrameCount(); ++index) {
            // From another place, as a drag comes to it.
            store.previewFrame(index == 0 ? 1 : 0);
            store.previewFrame(index);
            // The preview's number is that of the picture it found, once the player has it.
            ASSERT_TRUE(waitUntil([&] { return store.player()->waitUntilIdle(0); }));
            QCoreApplication::processEvents();
            const int previewNumber = int(store.currentFrameIndex());
            const int previewPicture = stripeNumber(shown);
            const auto landing = seekTo(store, index);
            ASSERT_TRUE(landing) << clip.toStdString() << " frame " << index;
            EXPECT_EQ(landing->frameIndex, previewNumber) << clip.toStdString() << " frame " << index;
            EXPECT_EQ(stripeNumber(landing->image), previewPicture) << clip.toStdString() << " frame " << index;
            // Evenly spaced pictures: each position has its own picture under its own number, so the
            // thumb stays where it was let go. Half a frame late, the first picture counts as frame 1.
            if (clip == clips.front() && index > 0) {
                EXPECT_EQ(previewNumber, index);
                EXPECT_EQ(previewPicture, index - 1);
            }
        }
    }
}

} // namespace
