// Recompressing a batch of camera photos at their own size: N JPEGs of 4000 × 3000 with photo-like
// grain (quality 92, as cameras write them) are probed, as adding them to the compression list
// does, and recompressed at quality 0.75; the peer is `djpeg | cjpeg -quality 75 -optimize` on the
// same files. Ours and the peer take turns for three rounds and each one's best round counts, which
// evens out a busy machine. Prints wall and CPU times and the ratios (ours ÷ peer), and how many
// bytes of our files differ from the peer's (only the density in the header should).
//
//   taskset -c 6,7 bench_jpeg_recompress [photos=30]
//
// The peer comes with libjpeg-turbo-progs (`KIVORA_BENCH_PEERS=1 bash scripts/install-deps.sh`).
#include "CompressionBenchSupport.h"
#include "compression/ImageCompressionService.h"
#include "platform/ImageLimits.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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
using CompressionBench::photoLike;

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

struct Best {
    double wall = -1;
    double cpu = 0;
    double probing = 0;
    void offer(double newWall, double newCpu, double newProbing = 0)
    {
        if (wall < 0 || newWall < wall)
            wall = newWall, cpu = newCpu, probing = newProbing;
    }
};

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
    const bool peerFound
        = !QStandardPaths::findExecutable("cjpeg").isEmpty() && !QStandardPaths::findExecutable("djpeg").isEmpty();

    QTemporaryDir work;
    const QDir dir(work.path());
    const QString out = dir.filePath("out");
    const QString peerOut = dir.filePath("peer");
    QDir().mkpath(out);
    QDir().mkpath(peerOut);
    std::fprintf(stderr, "generating %d photos…\n", photos);
    QStringList jpegs;
    for (int i = 0; i < photos; ++i) {
        jpegs << dir.filePath(QStringLiteral("photo%1.jpg").arg(i));
        QImageWriter writer(jpegs.last(), "jpeg");
        writer.setQuality(92);
        writer.write(photoLike(4000, 3000, unsigned(i)));
    }
    const auto peerPath = [&](int i) { return QDir(peerOut).filePath(QStringLiteral("r%1.jpg").arg(i)); };

    const ImageCompressionSettings original(0.75, ImageCompressionMaxDimension::original);
    std::vector<ImageCompressionResult> results;
    Best ours, theirs;
    bool peerFailed = !peerFound;
    for (int round = 0; round < 3; ++round) {
        for (const ImageCompressionResult &r : results)
            QFile::remove(r.outputURL);
        results.clear();
        double probing = 0;
        const double cpuBefore = cpuMillis(RUSAGE_SELF);
        const double wall = millis([&] {
            std::vector<ImageCompressionSource> list;
            probing = millis([&] { list = sources(jpegs); });
            for (const ImageCompressionSource &s : list)
                results.push_back(compress(s, original, out));
        });
        ours.offer(wall, cpuMillis(RUSAGE_SELF) - cpuBefore, probing);
        if (peerFailed)
            continue;
        const double childrenBefore = cpuMillis(RUSAGE_CHILDREN);
        const double peerWall = millis([&] {
            for (int i = 0; i < jpegs.size() && !peerFailed; ++i)
                peerFailed = !runShell(
                    QStringLiteral("djpeg '%1' | cjpeg -quality 75 -optimize > '%2'").arg(jpegs[i], peerPath(i)));
        });
        theirs.offer(peerWall, cpuMillis(RUSAGE_CHILDREN) - childrenBefore);
    }

    std::printf("recompress %d JPEGs 4000×3000 at q 0.75, probing included (best of 3)\n", photos);
    std::printf("%-42s %10s %10s\n", "", "wall ms", "CPU ms");
    std::printf("%-42s %10.0f %10.0f   (probing %.0f ms)\n", "ours", ours.wall, ours.cpu, ours.probing);
    if (peerFailed) {
        std::printf("%-42s %10s\n", "djpeg | cjpeg -quality 75 -optimize", "–");
        return 0;
    }
    std::printf("%-42s %10.0f %10.0f\n", "djpeg | cjpeg -quality 75 -optimize", theirs.wall, theirs.cpu);
    const double ratio = ours.wall / theirs.wall;
    std::printf("%-42s %10.2f %10.2f   (goal ≤ 1.0)%s\n", "ratio", ratio, ours.cpu / theirs.cpu,
                ratio > 1.0 ? "  MISSED" : "");
    int worst = 0;
    for (int i = 0; i < int(results.size()); ++i)
        worst = std::max(worst, differingBytes(results[size_t(i)].outputURL, peerPath(i)));
    std::printf("most bytes differing from the peer's file: %d\n", worst);
    return 0;
}
