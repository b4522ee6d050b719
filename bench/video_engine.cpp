// Speed of the video engine against the ffmpeg command-line tool on the same file, in the same run.
// Makes a 10 s 1920×1080 30 fps H.264 video with a long group of pictures (-g 250), then prints, for
// each operation, our time, the tool's time and the ratio. The tool's times include starting a
// process; the last column subtracts that start-up (measured on a trivial run) for a stricter ratio.
// With the argument "decode" only the decoding of all frames to BGRA is measured.
#include "platform/VideoAsset.h"
#include "video/VideoFrameAnnotationStore.h"

#include "FfmpegPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

const auto runTool = &FfmpegPeer::run;
const auto toolFrameAt = &FfmpegPeer::frameAt;

// The main thread sleeps in the event loop until the completion arrives, leaving the cores to the decoder
// (a polling loop would keep one of the two pinned cores busy and inflate every timing).
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

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

double startup = 0;

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

void row(const char *name, double ours, double tool, const char *goal)
{
    const double strict = tool - startup > 1 ? ours / (tool - startup) : 0;
    std::printf("%-44s %9.1f ms %9.1f ms %7.2f %9.2f   goal %s\n", name, ours, tool, ours / tool, strict, goal);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // "decode" measures only the decoding to BGRA.
    const bool decodeOnly = argc > 1 && qstrcmp(argv[1], "decode") == 0;
    QTemporaryDir dir;
    const QString video = dir.filePath(QStringLiteral("v.mp4"));
    std::printf("making the test video...\n");
    runTool({"-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=30", "-t", "10", "-c:v", "libx264", "-preset", "veryfast",
             "-g", "250", "-pix_fmt", "yuv420p", "-y", video});
    startup = runTool({"-f", "lavfi", "-i", "color=s=16x16", "-frames:v", "1", "-f", "null", "-"});

    std::printf("%-44s %12s %12s %7s %9s\n", "operation", "ours", "ffmpeg", "ratio", "-startup");
    std::printf("tool start-up baseline: %.1f ms\n", startup);

    // Decode and conversion throughput, without presentation, against the tool's own decode to BGRA
    // (its default threads); alternated seven times, medians compared. The processor time shows
    // the work done, which a busy machine does not distort.
    std::vector<double> oursRuns;
    std::vector<double> toolRuns;
    std::vector<double> oursCpu;
    std::vector<double> toolCpu;
    int decoded = 0;
    for (int run = 0; run < 7; ++run) {
        double cpu = cpuMs(RUSAGE_SELF);
        oursRuns.push_back(decodeAll(video, &decoded));
        oursCpu.push_back(cpuMs(RUSAGE_SELF) - cpu);
        cpu = cpuMs(RUSAGE_CHILDREN);
        toolRuns.push_back(runTool({"-i", video, "-pix_fmt", "bgra", "-f", "null", "-"}));
        toolCpu.push_back(cpuMs(RUSAGE_CHILDREN) - cpu);
    }
    const double oursDecode = percentile(oursRuns, 0.5);
    const double toolDecode = percentile(toolRuns, 0.5);
    std::printf("%-44s %9.1f ms %9.1f ms %7.2f   goal <= 1.0 (%d frames; ours %.0f-%.0f, tool %.0f-%.0f)\n",
                "decode all frames to BGRA", oursDecode, toolDecode, oursDecode / toolDecode, decoded,
                percentile(oursRuns, 0), percentile(oursRuns, 1), percentile(toolRuns, 0), percentile(toolRuns, 1));
    std::printf("%-44s %9.1f ms %9.1f ms %7.2f\n", "  processor time of that", percentile(oursCpu, 0.5),
                percentile(toolCpu, 0.5), percentile(oursCpu, 0.5) / percentile(toolCpu, 0.5));
    if (decodeOnly)
        return 0;

    VideoFrameAnnotationStore store;
    const double load = timeUntilDone([&](auto done) { store.loadVideo(video, done); });
    const double toolLoad = runTool({"-i", video, "-frames:v", "1", "-f", "null", "-"});
    row("load to first frame", load, toolLoad, "<= 1.0");

    std::mt19937 random(7);
    std::uniform_int_distribution<int> frames(0, store.totalFrameCount() - 1);
    std::vector<double> ratios;
    std::vector<double> strictRatios;
    for (int i = 0; i < 10; ++i) {
        const int index = frames(random);
        const double ours = timeUntilDone([&](auto done) { store.seek(index, done); });
        const double tool = toolFrameAt(video, store.seconds(index));
        ratios.push_back(ours / tool);
        strictRatios.push_back(ours / std::max(tool - startup, 1.0));
    }
    std::printf("%-44s median %.2f (%.2f)  p95 %.2f (%.2f)   goal median <= 1.0, p95 <= 1.5\n",
                "exact seek + extraction, 10 random frames", percentile(ratios, 0.5), percentile(strictRatios, 0.5),
                percentile(ratios, 0.95), percentile(strictRatios, 0.95));

    timeUntilDone([&](auto done) { store.seek(120, done); });
    const double stepForward = timeUntilDone([&](auto done) { store.stepFrame(1, done); });
    row("step +1 (same group of pictures)", stepForward, toolFrameAt(video, store.seconds(121)), "<= 0.25");
    const double stepBack = timeUntilDone([&](auto done) { store.stepFrame(-1, done); });
    row("step -1 (back to the frame just shown)", stepBack, toolFrameAt(video, store.seconds(120)), "<= 1.0");
    timeUntilDone([&](auto done) { store.seek(150, done); });
    const double stepBackFar = timeUntilDone([&](auto done) { store.stepFrame(-1, done); });
    row("step -1 (decoded again from the keyframe)", stepBackFar, toolFrameAt(video, store.seconds(149)), "<= 1.0");

    // Scrub: 60 previews 16 ms apart; the release asks for the exact frame of the last position at once.
    int target = 0;
    for (int i = 0; i < 60; ++i) {
        target = 10 + i * 4 + (i == 59 ? 7 : 0);
        store.previewFrame(target);
        if (i == 59)
            break;
        waitMilliseconds(16);
    }
    const double release = timeUntilDone([&](auto done) { store.seek(target, done); });
    row("scrub burst, exact frame after release", release, toolFrameAt(video, store.seconds(target)), "<= 1.2");

    // Real-time playback from the start: frames that were due but never shown.
    timeUntilDone([&](auto done) { store.seek(0, done); });
    int shown = 0;
    QObject::connect(store.player(), &VideoPlayer::currentFrameChanged, [&] { ++shown; });
    QEventLoop playback;
    QObject::connect(&store, &VideoFrameAnnotationStore::isPlayingChanged, &playback, [&] {
        if (!store.isPlaying())
            playback.quit();
    });
    store.togglePlayback();
    if (store.isPlaying())
        playback.exec();
    const int dropped = store.player()->droppedFrameCount();
    std::printf("%-44s %d shown, %d dropped (%.2f %%)   goal < 1 %% dropped\n", "real-time playback 1080p30", shown,
                dropped, 100.0 * dropped / std::max(shown + dropped, 1));
    return 0;
}
