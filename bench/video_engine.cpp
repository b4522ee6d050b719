// Speed of the video engine against the ffmpeg command-line tool on the same file, in the same run.
// Makes a 6 s 1920×1080 30 fps camera-like H.264 video (test pattern under moving noise, long groups
// of pictures; the encoder may still start one at a scene cut) and prints, per operation, ours, the tool's and the ratio as minimum / median over the
// rounds: once pinned to cores 6 and 7, once on all cores. The tool runs as a plain process with two
// decoding threads; its times include starting it, as a user's would.
//
// First frame, seek and step are compared cold with cold: each measured round of ours is a fresh
// process too (this program with `once`), which opens the video and shows the frame the operation
// ends at, timed from its start to its exit like the tool. The same operations in a video already
// open, where decoded frames are at hand, are printed as ours alone.
//
//   bench_video_engine [rounds=3]
//   bench_video_engine run VIDEO [rounds]     (another video, e.g. 4K)
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
#include <set>
#include <vector>

namespace {

using FfmpegPeer::frameAt;

int videoEngineFailures = 0;

template <typename Start>
double timeUntilDone(Start start)
{
    bool done = false;
    QEventLoop loop;
    QElapsedTimer timer;
    timer.start();
    start([&](std::optional<VideoFrameSnapshot> snapshot) {
        if (!snapshot) {
            std::fprintf(stderr, "operation failed\n");
            ++videoEngineFailures;
        }
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

// One cold operation, as a fresh start of the program does it: open the video, then show the frame
// the operation ends at ("first"; "seek INDEX"; "step FROM DELTA"). Exit status 0 when shown.
int runOnce(const QStringList &arguments)
{
    const QString video = arguments.value(0);
    const QString operation = arguments.value(1);
    const int first = arguments.value(2).toInt();
    const int second = arguments.value(3).toInt();
    VideoFrameAnnotationStore store;
    timeUntilDone([&](auto done) { store.loadVideo(video, done); });
    if (operation == QLatin1String("seek")) {
        timeUntilDone([&](auto done) { store.seek(first, done); });
    } else if (operation == QLatin1String("step")) {
        timeUntilDone([&](auto done) { store.seek(first, done); });
        timeUntilDone([&](auto done) { store.stepFrame(second, done); });
    }
    return videoEngineFailures == 0 ? 0 : 1;
}

// Wall time of a fresh process of this program doing one operation (see runOnce).
double coldOnce(const QString &video, const QStringList &operation)
{
    return FfmpegPeer::runProgram(QCoreApplication::applicationFilePath(),
                                  QStringList{QStringLiteral("once"), video} + operation);
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

    // Cold with cold: a fresh process each, ours and the tool's, to the same frame.
    VideoFrameAnnotationStore store;
    timeUntilDone([&](auto done) { store.loadVideo(video, done); });
    std::mt19937 random(7);
    std::uniform_int_distribution<int> frames(0, store.totalFrameCount() - 1);
    std::vector<double> loads, toolLoads, seeks, toolSeeks, forward, toolForward, backFar, toolBackFar;
    const auto index = [](int frame) { return QString::number(frame); };
    // Two frames after the same keyframe, the second far from it (on the bench's own video the
    // encoder puts a keyframe at frame 111; on a shorter video, the last frames).
    const int near = std::min(120, store.totalFrameCount() - 2);
    const int far = std::min(150, store.totalFrameCount() - 1);
    for (int round = 0; round < rounds; ++round) {
        loads.push_back(coldOnce(video, {QStringLiteral("first")}));
        toolLoads.push_back(FfmpegPeer::run({"-i", video, "-frames:v", "1", "-f", "null", "-"}));
        for (int i = 0; i < 5; ++i) {
            const int target = frames(random);
            seeks.push_back(coldOnce(video, {QStringLiteral("seek"), index(target)}));
            toolSeeks.push_back(frameAt(video, store.seconds(target)));
        }
        forward.push_back(coldOnce(video, {QStringLiteral("step"), index(near), index(1)}));
        toolForward.push_back(frameAt(video, store.seconds(near + 1)));
        backFar.push_back(coldOnce(video, {QStringLiteral("step"), index(far), index(-1)}));
        toolBackFar.push_back(frameAt(video, store.seconds(far - 1)));
    }
    std::printf("cold: a fresh process each, from its start to the frame shown\n");
    FfmpegPeer::row("load to first frame", loads, toolLoads, "<= 1.0");
    FfmpegPeer::row("exact seek + extraction, random frames", seeks, toolSeeks, "median <= 1.0");
    FfmpegPeer::row("seek, step +1 (tool: that frame)", forward, toolForward, "<= 1.0");
    FfmpegPeer::row("seek, step -1 from the keyframe (tool: same)", backFar, toolBackFar, "<= 1.0");

    // Warm: the same operations in the video already open, ours alone.
    std::vector<double> warmLoads, warmSeeks, warmForward, back, warmBackFar, releases;
    for (int round = 0; round < rounds; ++round) {
        VideoFrameAnnotationStore fresh;
        warmLoads.push_back(timeUntilDone([&](auto done) { fresh.loadVideo(video, done); }));
        for (int i = 0; i < 5; ++i) {
            const int target = frames(random);
            warmSeeks.push_back(timeUntilDone([&](auto done) { store.seek(target, done); }));
        }
        timeUntilDone([&](auto done) { store.seek(near, done); });
        warmForward.push_back(timeUntilDone([&](auto done) { store.stepFrame(1, done); }));
        back.push_back(timeUntilDone([&](auto done) { store.stepFrame(-1, done); }));
        timeUntilDone([&](auto done) { store.seek(far, done); });
        warmBackFar.push_back(timeUntilDone([&](auto done) { store.stepFrame(-1, done); }));

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
    }
    std::printf("warm: in this process, the video already open (ours alone)\n");
    FfmpegPeer::ownRow("load to first frame (a new store)", warmLoads, "-");
    FfmpegPeer::ownRow("exact seek + extraction, random frames", warmSeeks, "-");
    FfmpegPeer::ownRow("step +1 (same group of pictures)", warmForward, "-");
    FfmpegPeer::ownRow("step -1 (back to the frame just shown)", back, "-");
    FfmpegPeer::ownRow("step -1 (far from the keyframe)", warmBackFar, "-");
    FfmpegPeer::ownRow("scrub burst, exact frame after release", releases, "-");

    // Real-time playback from the start: every frame of the video is due once; a frame that never
    // reaches the screen (skipped when late, or still queued when playback ends) is dropped.
    int shown = 0;
    int due = 0;
    int skipped = 0;
    for (int round = 0; round < rounds; ++round) {
        timeUntilDone([&](auto done) { store.seek(0, done); });
        const int skippedBefore = store.player()->droppedFrameCount();
        // The first frame is on screen when playback starts.
        std::set<double> times{store.player()->currentFrameTime()};
        const QMetaObject::Connection counting = QObject::connect(
            store.player(), &VideoPlayer::currentFrameChanged, [&] { times.insert(store.player()->currentFrameTime()); });
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
        shown += int(times.size());
        due += store.totalFrameCount();
        skipped += store.player()->droppedFrameCount() - skippedBefore;
    }
    const int dropped = std::max(due - shown, 0);
    std::printf("%-44s %d of %d shown, %d dropped (%.2f %%; %d skipped late)   goal < 1 %% dropped\n",
                "real-time playback", shown, due, dropped, 100.0 * dropped / std::max(due, 1), skipped);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 4 && qstrcmp(argv[1], "once") == 0)
        return runOnce(app.arguments().mid(2));
    if (argc >= 3 && qstrcmp(argv[1], "run") == 0)
        return runBench(QString::fromLocal8Bit(argv[2]), argc >= 4 ? std::max(3, atoi(argv[3])) : 3);
    const QString rounds = argc >= 2 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("3");
    QTemporaryDir dir;
    const QString video = dir.filePath(QStringLiteral("v.mp4"));
    if (!FfmpegPeer::makeVideo(video, 6))
        return 1;
    return FfmpegPeer::runPinnedAndOnAllCores(video, {rounds});
}
