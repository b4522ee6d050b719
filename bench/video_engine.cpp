// Speed of the video engine against the ffmpeg command-line tool on the same file, in the same run.
// Makes a 6 s 1920×1080 30 fps camera-like H.264 video (test pattern under moving noise, one long group
// of pictures) and prints, per operation, ours, the tool's and the ratio as minimum / median over the
// rounds: once pinned to cores 6 and 7, once on all cores. The tool runs as a plain process with two
// decoding threads; its times include starting it, as a user's would.
//
//   bench_video_engine [rounds=3]
//
// Every wait sleeps in a QEventLoop that the completion quits, so the main thread leaves the cores
// to the decoder.
#include "platform/VideoAsset.h"
#include "video/VideoFrameAnnotationStore.h"

#include "FfmpegPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using FfmpegPeer::frameAt;

template <typename Start>
double timeUntilDone(Start start)
{
    bool done = false;
    QEventLoop loop;
    QElapsedTimer timer;
    timer.start();
    start([&](std::optional<VideoFrameSnapshot> snapshot) {
        if (!snapshot)
            std::fprintf(stderr, "operation failed\n");
        done = true;
        loop.quit();
    });
    if (!done)
        loop.exec();
    return double(timer.nsecsElapsed()) / 1e6;
}

// Runs the event loop, blocked while idle, for the given time.
void waitMilliseconds(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Processor time in ms used so far by this process (who = RUSAGE_SELF) or its finished children.
double cpuMs(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Opens the video and decodes every frame to a picture, as playback does; the time includes opening.
double decodeAll(const QString &video, int *decoded)
{
    QElapsedTimer timer;
    timer.start();
    const std::optional<VideoAsset> asset = VideoAsset::load(video);
    *decoded = 0;
    if (!asset || !asset->frameSource)
        return -1;
    auto guard = asset->frameSource->lock();
    VideoFrameSource::Frame frame;
    double time = 0;
    if (asset->frameSource->frameAt(0, VideoFrameSource::Match::containing, {}, &frame) == VideoFrameSource::Status::ok)
        ++*decoded;
    while (asset->frameSource->frameAfter(time, {}, &frame) == VideoFrameSource::Status::ok) {
        time = frame.time;
        ++*decoded;
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

int runBench(const QString &video, int rounds)
{
    FfmpegPeer::header();

    // Decode and conversion throughput, without presentation, against the tool's decode to BGRA.
    // The processor time shows the work done, which a busy machine distorts less.
    std::vector<double> ours, tool, oursCpu, toolCpu;
    int decoded = 0;
    for (int round = 0; round < rounds; ++round) {
        double cpu = cpuMs(RUSAGE_SELF);
        ours.push_back(decodeAll(video, &decoded));
        oursCpu.push_back(cpuMs(RUSAGE_SELF) - cpu);
        cpu = cpuMs(RUSAGE_CHILDREN);
        tool.push_back(FfmpegPeer::run({"-i", video, "-pix_fmt", "bgra", "-f", "null", "-"}));
        toolCpu.push_back(cpuMs(RUSAGE_CHILDREN) - cpu);
    }
    FfmpegPeer::row("decode all frames to BGRA", ours, tool, "<= 1.0");
    FfmpegPeer::row("  processor time of that", oursCpu, toolCpu, "-");
    std::printf("    %d frames\n", decoded);

    std::vector<double> loads, toolLoads;
    for (int round = 0; round < rounds; ++round) {
        VideoFrameAnnotationStore store;
        loads.push_back(timeUntilDone([&](auto done) { store.loadVideo(video, done); }));
        toolLoads.push_back(FfmpegPeer::run({"-i", video, "-frames:v", "1", "-f", "null", "-"}));
    }
    FfmpegPeer::row("load to first frame", loads, toolLoads, "<= 1.0");

    VideoFrameAnnotationStore store;
    timeUntilDone([&](auto done) { store.loadVideo(video, done); });
    std::mt19937 random(7);
    std::uniform_int_distribution<int> frames(0, store.totalFrameCount() - 1);
    std::vector<double> seeks, toolSeeks, forward, toolForward, back, toolBack, backFar, toolBackFar, releases,
        toolReleases;
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < 5; ++i) {
            const int index = frames(random);
            seeks.push_back(timeUntilDone([&](auto done) { store.seek(index, done); }));
            toolSeeks.push_back(frameAt(video, store.seconds(index)));
        }
        timeUntilDone([&](auto done) { store.seek(120, done); });
        forward.push_back(timeUntilDone([&](auto done) { store.stepFrame(1, done); }));
        toolForward.push_back(frameAt(video, store.seconds(121)));
        back.push_back(timeUntilDone([&](auto done) { store.stepFrame(-1, done); }));
        toolBack.push_back(frameAt(video, store.seconds(120)));
        timeUntilDone([&](auto done) { store.seek(150, done); });
        backFar.push_back(timeUntilDone([&](auto done) { store.stepFrame(-1, done); }));
        toolBackFar.push_back(frameAt(video, store.seconds(149)));

        // Scrub: 60 previews 16 ms apart; the release asks for the exact frame of the last position.
        int target = 0;
        for (int i = 0; i < 60; ++i) {
            target = 10 + i * 2 + (i == 59 ? 7 + round : 0);
            store.previewFrame(target);
            if (i == 59)
                break;
            waitMilliseconds(16);
        }
        releases.push_back(timeUntilDone([&](auto done) { store.seek(target, done); }));
        toolReleases.push_back(frameAt(video, store.seconds(target)));
    }
    FfmpegPeer::row("exact seek + extraction, random frames", seeks, toolSeeks, "median <= 1.0");
    FfmpegPeer::row("step +1 (same group of pictures)", forward, toolForward, "<= 0.25");
    FfmpegPeer::row("step -1 (back to the frame just shown)", back, toolBack, "<= 1.0");
    FfmpegPeer::row("step -1 (decoded again from the keyframe)", backFar, toolBackFar, "<= 1.0");
    FfmpegPeer::row("scrub burst, exact frame after release", releases, toolReleases, "<= 1.2");

    // Real-time playback from the start: frames that were due but never shown.
    int shown = 0;
    int dropped = 0;
    for (int round = 0; round < rounds; ++round) {
        timeUntilDone([&](auto done) { store.seek(0, done); });
        const int droppedBefore = store.player()->droppedFrameCount();
        const QMetaObject::Connection counting =
            QObject::connect(store.player(), &VideoPlayer::currentFrameChanged, [&] { ++shown; });
        QEventLoop playback;
        const QMetaObject::Connection ended =
            QObject::connect(&store, &VideoFrameAnnotationStore::isPlayingChanged, &playback, [&] {
                if (!store.isPlaying())
                    playback.quit();
            });
        store.togglePlayback();
        if (store.isPlaying())
            playback.exec();
        QObject::disconnect(counting);
        QObject::disconnect(ended);
        dropped += store.player()->droppedFrameCount() - droppedBefore;
    }
    std::printf("%-44s %d shown, %d dropped (%.2f %%)   goal < 1 %% dropped\n", "real-time playback 1080p30", shown,
                dropped, 100.0 * dropped / std::max(shown + dropped, 1));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 3 && qstrcmp(argv[1], "run") == 0)
        return runBench(QString::fromLocal8Bit(argv[2]), argc >= 4 ? std::max(3, atoi(argv[3])) : 3);
    const QString rounds = argc >= 2 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("3");
    QTemporaryDir dir;
    const QString video = dir.filePath(QStringLiteral("v.mp4"));
    if (!FfmpegPeer::makeVideo(video, 6))
        return 1;
    return FfmpegPeer::runPinnedAndOnAllCores(video, {rounds});
}
