// Times the compression service on generated inputs against the command-line tools people would
// otherwise use, on the same files, one after another. Prints one table of ratios (ours ÷ peer).
//
//   bench_compression [photos=8] [probe-files=100]
//
// Peers (optional Debian packages): imagemagick, libvips-tools, gifsicle, libjpeg-turbo-progs.
// Install them with `KIVORA_BENCH_PEERS=1 bash scripts/install-deps.sh`; missing ones print "–".
#include "compression/ImageCompressionService.h"
#include "platform/ImageLimits.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

namespace {

using namespace ImageCompressionService;

QImage photoLike(int width, int height, unsigned seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-12, 12);
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width, fy = double(y) / height;
            const int n = noise(random);
            row[x] = qRgb(std::clamp(int(200 * fx + 40 * std::sin(fy * 9 + seed)) + n, 0, 255),
                          std::clamp(int(128 + 90 * std::sin(fx * 14 + fy * 5)) + n, 0, 255),
                          std::clamp(int(220 * fy) - n, 0, 255));
        }
    }
    return image;
}

double millis(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

bool has(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

// Runs the command; false when it fails.
bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Times a peer over every file; a negative value when the tool is missing or fails.
double peerMillis(const QString &program, const QStringList &files,
                  const std::function<QStringList(const QString &, int)> &arguments)
{
    if (!has(program))
        return -1;
    bool ok = true;
    const double elapsed = millis([&] {
        for (int i = 0; i < files.size() && ok; ++i)
            ok = run(program, arguments(files[i], i));
    });
    return ok ? elapsed : -1;
}

// One line of the table; a goal of 0 marks a peer shown for context only.
void row(const char *task, double ours, const char *peer, double theirs, double goal)
{
    char goalText[32] = "";
    if (goal > 0)
        std::snprintf(goalText, sizeof goalText, "(goal ≤ %.1f)", goal);
    if (theirs < 0) {
        std::printf("%-34s %10.0f  %-38s %10s  %7s  %s\n", task, ours, peer, "–", "–", goalText);
        return;
    }
    const double ratio = ours / theirs;
    std::printf("%-34s %10.0f  %-38s %10.0f  %7.2f  %s%s\n", task, ours, peer, theirs, ratio, goalText,
                goal > 0 && ratio > goal ? "  MISSED" : "");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ImageLimits::configure();
    const int photos = argc > 1 ? std::max(1, std::atoi(argv[1])) : 8;
    const int probeFiles = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;

    QTemporaryDir work;
    const QDir dir(work.path());
    const QString out = dir.filePath("out");
    const QString peerOut = dir.filePath("peer");
    QDir().mkpath(out);
    QDir().mkpath(peerOut);

    std::fprintf(stderr, "generating inputs…\n");
    QStringList jpegs;
    for (int i = 0; i < photos; ++i) {
        const QString path = dir.filePath(QStringLiteral("photo%1.jpg").arg(i));
        QImageWriter writer(path, "jpeg");
        writer.setQuality(92);
        writer.write(photoLike(4000, 3000, i));
        jpegs << path;
    }
    const QString png = dir.filePath("picture.png");
    QImageWriter(png, "png").write(photoLike(2000, 1500, 99));
    const QString gif = dir.filePath("anim.gif");
    run("ffmpeg", {"-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i", "testsrc2=size=480x270:rate=25",
                   "-frames:v", "100", "-loop", "0", "-y", gif});
    QStringList probes;
    {
        const QString first = dir.filePath("probe0.jpg");
        QImageWriter writer(first, "jpeg");
        writer.setQuality(90);
        writer.write(photoLike(4000, 3000, 7));
        probes << first;
        for (int i = 1; i < probeFiles; ++i) {
            probes << dir.filePath(QStringLiteral("probe%1.jpg").arg(i));
            QFile::copy(first, probes.last());
        }
    }

    auto sourcesOf = [](const QStringList &files) {
        std::vector<ImageCompressionSource> list;
        for (const QString &f : files)
            list.push_back(*source(f));
        return list;
    };
    auto compressAll = [&](const std::vector<ImageCompressionSource> &list, ImageCompressionSettings settings) {
        return millis([&] {
            for (const auto &s : list)
                compress(s, settings, out);
        });
    };
    const auto photoSources = sourcesOf(jpegs);
    const ImageCompressionSettings original(0.75, ImageCompressionMaxDimension::original);
    const ImageCompressionSettings to1920(0.75, ImageCompressionMaxDimension::longEdge1920);

    std::printf("%-34s %10s  %-38s %10s  %7s\n", "task", "ours ms", "peer", "peer ms", "ratio");

    const double oursOriginal = compressAll(photoSources, original);
    row("JPEG 4000×3000, original, q 0.75", oursOriginal, "convert -quality 75",
        peerMillis("/usr/bin/convert", jpegs, [&](const QString &f, int i) {
            return QStringList {f, "-quality", "75", QDir(peerOut).filePath(QStringLiteral("a%1.jpg").arg(i))};
        }), 1.0);
    row("", oursOriginal, "cjpeg/djpeg (libjpeg-turbo) -q 75",
        peerMillis("/bin/sh", jpegs, [&](const QString &f, int i) {
            return QStringList {"-c", QStringLiteral("djpeg '%1' | cjpeg -quality 75 -optimize > '%2'")
                                          .arg(f, QDir(peerOut).filePath(QStringLiteral("t%1.jpg").arg(i)))};
        }), 0);

    const double ours1920 = compressAll(photoSources, to1920);
    row("JPEG 4000×3000 → 1920, q 0.75", ours1920, "convert -resize 1920x1920 -quality 75",
        peerMillis("/usr/bin/convert", jpegs, [&](const QString &f, int i) {
            return QStringList {f, "-resize", "1920x1920", "-quality", "75",
                                QDir(peerOut).filePath(QStringLiteral("b%1.jpg").arg(i))};
        }), 1.0);
    row("", ours1920, "vipsthumbnail --size 1920x1920",
        peerMillis("vipsthumbnail", jpegs, [&](const QString &f, int i) {
            return QStringList {f, "--size", "1920x1920", "-o",
                                QDir(peerOut).filePath(QStringLiteral("c%1.jpg[Q=75]").arg(i))};
        }), 1.5);

    const double oursPng = compressAll(sourcesOf({png}), original);
    row("PNG 2000×1500, original", oursPng, "convert f o.png",
        peerMillis("/usr/bin/convert", {png}, [&](const QString &f, int) {
            return QStringList {f, QDir(peerOut).filePath("p.png")};
        }), 1.2);

    const double oursGif = compressAll(sourcesOf({gif}), original);
    row("GIF 100 × 480×270, original", oursGif, "convert -coalesce o.gif",
        peerMillis("/usr/bin/convert", {gif}, [&](const QString &f, int) {
            return QStringList {f, "-coalesce", QDir(peerOut).filePath("g.gif")};
        }), 1.0);
    row("", oursGif, "gifsicle -O2",
        peerMillis("gifsicle", {gif}, [&](const QString &f, int) {
            return QStringList {"-O2", f, "-o", QDir(peerOut).filePath("h.gif")};
        }), 0);

    std::vector<ImageCompressionSource> probed;
    const double oursProbe = millis([&] { probed = sources({probes}); });
    row(qPrintable(QStringLiteral("probe %1 × 12 MP JPEG").arg(probes.size())), oursProbe,
        "vipsthumbnail --size 128 (loop)",
        peerMillis("vipsthumbnail", probes, [&](const QString &f, int i) {
            return QStringList {f, "--size", "128", "-o", QDir(peerOut).filePath(QStringLiteral("t%1.jpg").arg(i))};
        }), 1.5);
    if (static_cast<int>(probed.size()) != probes.size())
        std::fprintf(stderr, "probing lost files: %zu of %lld\n", probed.size(), static_cast<long long>(probes.size()));
    return 0;
}
