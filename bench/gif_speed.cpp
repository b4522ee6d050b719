// GIF compression at original size against `gifsicle -O2` on the same animations made by ffmpeg:
// time (min and median of the rounds), size, and whether our frames decode to the frames given.
// The peer runs as a plain process (spawned, not through QProcess); ours and the peer alternate in
// each round. Pin it from the outside to compare on two cores: `taskset -c 6,7 bench_gif_speed`.
//
//   bench_gif_speed [rounds=5]
#include "compression/ImageCompressionService.h"
#include "CompressionBenchSupport.h"
#include "platform/GifCodec.h"
#include "platform/ImageLimits.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

using namespace ImageCompressionService;
using namespace CompressionBench;

// Runs the program straight from this process, waits for it; false when it fails.
bool spawned(const std::vector<std::string> &command)
{
    std::vector<char *> argv;
    for (const std::string &part : command)
        argv.push_back(const_cast<char *>(part.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<QImage> decodedFrames(const QString &path)
{
    std::vector<QImage> frames;
    GifCodec::FrameDecoder decoder;
    if (!decoder.open(path))
        return frames;
    for (QImage frame = decoder.nextFrame(); !frame.isNull(); frame = decoder.nextFrame())
        frames.push_back(frame.copy());
    return frames;
}

// Pixels of the written frames that differ from the frames they stand for (every `step`th input
// frame), counting a pixel as its visible colour; -1 when the frame counts do not match.
qint64 differingPixels(const std::vector<QImage> &input, const std::vector<QImage> &output, int step)
{
    if (output.size() != (input.size() + step - 1) / step)
        return -1;
    qint64 differing = 0;
    for (size_t i = 0; i < output.size(); ++i) {
        const QImage &a = input[i * step];
        const QImage &b = output[i];
        if (a.size() != b.size())
            return -1;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                const bool clearP = qAlpha(p) < 128, clearQ = qAlpha(q) < 128;
                differing += clearP != clearQ || (!clearP && (p | 0xFF000000u) != (q | 0xFF000000u));
            }
    }
    return differing;
}

struct Times {
    double min = 0;
    double median = 0;
};

Times summary(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

void compare(const char *name, const QString &gif, int rounds, const QString &out, const QString &peerOut)
{
    ImageCompressionSettings settings;
    settings.maxDimension = ImageCompressionMaxDimension::original;
    const auto probed = source(gif);
    if (!probed) {
        std::printf("%s: not readable\n", name);
        return;
    }
    const std::vector<QImage> input = decodedFrames(gif);
    const int step = gifFrameStep(static_cast<int>(input.size()));
    // gifsicle is given the same frames: every second one beyond 8 (the delays aside).
    std::vector<std::string> peer{"gifsicle", "-U", gif.toStdString()};
    for (size_t i = 0; i < input.size(); i += step)
        peer.push_back("#" + std::to_string(i));
    const std::string peerFile = QDir(peerOut).filePath("peer.gif").toStdString();
    peer.insert(peer.end(), {"-O2", "-o", peerFile});
    const bool peerThere = has("gifsicle");

    std::vector<double> ours, theirs;
    QString output;
    for (int round = 0; round < rounds; ++round) {
        ours.push_back(millis([&] { output = compress(*source(gif), settings, out).outputURL; }));
        if (peerThere)
            theirs.push_back(millis([&] { spawned(peer); }));
    }
    const qint64 ourBytes = QFileInfo(output).size();
    const qint64 differing = differingPixels(input, decodedFrames(output), step);
    const Times a = summary(ours);
    std::printf("%-30s ours %7.1f / %7.1f ms (min / median)  %8.0f KB  frames off by %lld pixels\n", name, a.min,
                a.median, ourBytes / 1024.0, static_cast<long long>(differing));
    if (!peerThere) {
        std::printf("%-30s gifsicle -O2: –\n", "");
        return;
    }
    const Times b = summary(theirs);
    const qint64 theirBytes = QFileInfo(QString::fromStdString(peerFile)).size();
    const double sizeRatio = double(ourBytes) / double(theirBytes);
    std::printf("%-30s gifsicle -O2 %7.1f / %7.1f ms  %8.0f KB  time ratio %.2f / %.2f (goal ≤ 1.0)  size ratio "
                "%.3f (goal ≤ 1.04)%s\n",
                "", b.min, b.median, theirBytes / 1024.0, a.min / b.min, a.median / b.median, sizeRatio,
                a.median > b.median || sizeRatio > 1.04 || differing != 0 ? "  MISSED" : "");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ImageLimits::configure();
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 5;
    QTemporaryDir work;
    QDir dir(work.path());
    dir.mkpath("out");
    dir.mkpath("peer");
    const QString out = dir.filePath("out");
    const QString peerOut = dir.filePath("peer");
    if (!has("ffmpeg")) {
        std::printf("ffmpeg is needed to make the animations\n");
        return 1;
    }
    // A test pattern with moving parts (most pixels still between frames), and the same under
    // sensor-like grain with a palette made for it (every pixel changes): distinct frames both.
    const QString pattern = dir.filePath("pattern.gif");
    const QString grainy = dir.filePath("grainy.gif");
    run("ffmpeg", {"-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i", "testsrc2=size=480x270:rate=25",
                   "-frames:v", "100", "-loop", "0", "-y", pattern});
    run("ffmpeg", {"-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i",
                   "testsrc2=size=480x270:rate=25:duration=4,noise=alls=12:allf=t,split[a][b];[a]palettegen[p];[b][p]paletteuse",
                   "-frames:v", "100", "-loop", "0", "-y", grainy});
    compare("GIF 100 × 480×270, original", pattern, rounds, out, peerOut);
    compare("grainy 100 × 480×270, original", grainy, rounds, out, peerOut);
    return 0;
}
