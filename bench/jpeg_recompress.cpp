// Recompressing a batch of camera photos at their own size: N distinct camera-like JPEGs of
// 4000 × 3000 (ffmpeg's testsrc2 with grain, quality about 92, as cameras write them) are probed,
// as adding them to the compression list does, and recompressed at quality 0.75 as the window's
// batch does. The peer is `djpeg | cjpeg -quality 75 -optimize` on the same files, run as plain
// processes through one `xargs` both two files at once (-P2, its strongest on two cores) and one
// at a time. Ours and the peers take turns for several rounds; for ours (with and without the
// probe), the peers, the two-core limit (the peer's CPU ÷ 2) and each round's ratios it prints the
// minimum and the median, the load average, and how many bytes of our files differ from the peer's
// (only the density in the header should).
//
//   taskset -c 6,7 bench_jpeg_recompress [photos=30] [rounds=3]     (and once more without taskset)
//
// The peer comes with libjpeg-turbo-progs (`KIVORA_BENCH_PEERS=1 bash scripts/install-deps.sh`).
#include "compression/ImageCompressionService.h"
#include "CompressionBenchSupport.h"
#include "platform/ImageLimits.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

#include <sys/resource.h>

namespace {

using namespace ImageCompressionService;

using CompressionBench::millis;

// CPU time used so far by this process (RUSAGE_SELF) or its finished children, in milliseconds.
double cpuMillis(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

bool runShell(const QString &command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start("/bin/sh", { "-c", command });
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

int differingBytes(const QString &a, const QString &b)
{
    QFile fa(a), fb(b);
    const QByteArray x = fa.open(QIODevice::ReadOnly) ? fa.readAll() : QByteArray();
    const QByteArray y = fb.open(QIODevice::ReadOnly) ? fb.readAll() : QByteArray();
    int differing = int(std::abs(x.size() - y.size()));
    for (qsizetype k = 0; k < std::min(x.size(), y.size()); ++k)
        differing += x[k] != y[k];
    return differing;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ImageLimits::configure();
    const int photos = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int rounds = argc > 2 ? std::max(3, std::atoi(argv[2])) : 3;
    const bool peerFound
        = !QStandardPaths::findExecutable("cjpeg").isEmpty() && !QStandardPaths::findExecutable("djpeg").isEmpty();

    QTemporaryDir work;
    const QDir dir(work.path());
    const QString peerOut = dir.filePath("peer");
    QDir().mkpath(peerOut);
    std::fprintf(stderr, "generating %d photos…\n", photos);
    const QStringList jpegs = CompressionBench::cameraLikePhotos(dir.path(), photos);
    // One shell for the whole peer batch, so process start-up is the peer's own.
    const auto peerCommand = [&](int atOnce) {
        return QStringLiteral("ls '%1'/photo*.jpg | xargs -P%2 -I{} sh -c 'djpeg \"{}\" | cjpeg -quality 75 -optimize > "
                              "\"%3/$(basename \"{}\")\"'")
            .arg(dir.path())
            .arg(atOnce)
            .arg(peerOut);
    };

    const ImageCompressionSettings original(0.75, ImageCompressionMaxDimension::original);
    std::vector<ImageCompressionResult> results;
    std::vector<double> oursAll, oursNoProbe, oursCpu, peerTwo, peerOne, peerCpuHalf;
    bool peerFailed = !peerFound;
    const QString loadBefore = CompressionBench::loadAverage();
    for (int round = 0; round < rounds; ++round) {
        const QString out = dir.filePath(QStringLiteral("out%1").arg(round));
        QDir().mkpath(out);
        double probing = 0;
        const double cpuBefore = cpuMillis(RUSAGE_SELF);
        const double wall = millis([&] {
            std::vector<ImageCompressionSource> list;
            probing = millis([&] { list = sources(jpegs); });
            results = compressBatch(list, original, out).results;
        });
        oursAll.push_back(wall);
        oursNoProbe.push_back(wall - probing);
        oursCpu.push_back(cpuMillis(RUSAGE_SELF) - cpuBefore);
        if (peerFailed)
            continue;
        const double childrenBefore = cpuMillis(RUSAGE_CHILDREN);
        peerTwo.push_back(millis([&] { peerFailed = !runShell(peerCommand(2)); }));
        peerCpuHalf.push_back((cpuMillis(RUSAGE_CHILDREN) - childrenBefore) / 2);
        peerOne.push_back(millis([&] { peerFailed = peerFailed || !runShell(peerCommand(1)); }));
    }

    using CompressionBench::spread;
    std::printf("recompress %d camera-like JPEGs 4000×3000 at q 0.75, %d rounds (load %s → %s)\n", photos, rounds,
                qPrintable(loadBefore), qPrintable(CompressionBench::loadAverage()));
    std::printf("%-46s %10s %10s\n", "", "min ms", "median ms");
    const auto line = [](const char *what, const std::vector<double> &values) {
        const auto s = spread(values);
        std::printf("%-46s %10.0f %10.0f\n", what, s.min, s.median);
    };
    line("ours, probe included", oursAll);
    line("ours, without the probe", oursNoProbe);
    line("ours, CPU", oursCpu);
    if (peerFailed) {
        std::printf("%-46s %10s\n", "djpeg | cjpeg -quality 75 -optimize", "–");
        return 0;
    }
    line("peer, two at once (xargs -P2)", peerTwo);
    line("peer, one at a time", peerOne);
    line("two-core limit (peer CPU ÷ 2)", peerCpuHalf);
    const auto ratios = [&](const std::vector<double> &a, const std::vector<double> &b) {
        std::vector<double> r;
        for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
            r.push_back(a[i] / b[i]);
        return spread(r);
    };
    const auto ratioLine = [&](const char *what, const std::vector<double> &a, const std::vector<double> &b, double goal) {
        const auto r = ratios(a, b);
        std::printf("%-46s %10.2f %10.2f   (goal ≤ %.2f)%s\n", what, r.min, r.median, goal, r.median > goal ? "  MISSED" : "");
    };
    ratioLine("ratio without probe ÷ peer -P2", oursNoProbe, peerTwo, 1.0);
    ratioLine("ratio with probe ÷ peer -P2", oursAll, peerTwo, 1.2);
    ratioLine("ratio with probe ÷ two-core limit", oursAll, peerCpuHalf, 1.15);
    ratioLine("ratio without probe ÷ two-core limit", oursNoProbe, peerCpuHalf, 1.15);
    int worst = 0;
    for (const ImageCompressionResult &result : results) {
        const QString name = QFileInfo(result.outputURL).fileName().replace(QStringLiteral("-压缩"), QString());
        worst = std::max(worst, differingBytes(result.outputURL, QDir(peerOut).filePath(name)));
    }
    std::printf("most bytes differing from the peer's file: %d\n", worst);
    return 0;
}
