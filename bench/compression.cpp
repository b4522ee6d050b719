// Times the compression service on generated inputs against the command-line tools people would
// otherwise use, on the same files, one after another. Prints one table of ratios (ours ÷ peer).
//
//   bench_compression [photos=8] [probe-files=100] [gif]    (gif: stop after the GIF sizes)
//
// Peers (optional Debian packages): imagemagick, libvips-tools, gifsicle, libjpeg-turbo-progs.
// Install them with `KIVORA_BENCH_PEERS=1 bash scripts/install-deps.sh`; missing ones print "–".
#include "compression/CompressionImageIO.h"
#include "compression/ImageCompressionService.h"
#include "CompressionBenchSupport.h"
#include "platform/GifCodec.h"
#include "platform/ImageLimits.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
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
using namespace CompressionBench;

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

std::vector<QImage> gifFrames(const QString &path)
{
    std::vector<QImage> frames;
    GifCodec::FrameDecoder decoder;
    if (!decoder.open(path))
        return frames;
    for (QImage frame = decoder.nextFrame(); !frame.isNull(); frame = decoder.nextFrame())
        frames.push_back(frame);
    return frames;
}

// PSNR over the colour channels of all frames against the reference frames; 0 when they do not match up.
double psnr(const std::vector<QImage> &frames, const std::vector<QImage> &reference)
{
    if (frames.size() != reference.size() || frames.empty())
        return 0;
    double squares = 0;
    double samples = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const QImage a = frames[i].convertToFormat(QImage::Format_RGB32);
        const QImage b = reference[i].convertToFormat(QImage::Format_RGB32);
        if (a.size() != b.size())
            return 0;
        for (int y = 0; y < a.height(); ++y) {
            const auto *ra = reinterpret_cast<const QRgb *>(a.constScanLine(y));
            const auto *rb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
            for (int x = 0; x < a.width(); ++x) {
                const int dr = qRed(ra[x]) - qRed(rb[x]);
                const int dg = qGreen(ra[x]) - qGreen(rb[x]);
                const int db = qBlue(ra[x]) - qBlue(rb[x]);
                squares += dr * dr + dg * dg + db * db;
            }
        }
        samples += 3.0 * a.width() * a.height();
    }
    return squares == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (squares / samples));
}

// Our GIF output against `gifsicle -O2` given the same frames (every second one beyond 8) and the
// same scaling: sizes, and the PSNR of both against the frames scaled by our own scaler.
void gifSizeRow(const char *task, const QString &gif, const ImageCompressionSettings &settings, const QString &out,
                const QString &peerOut)
{
    const auto result = compress(*source(gif), settings, out);
    const qint64 ours = QFileInfo(result.outputURL).size();
    const std::vector<QImage> input = gifFrames(gif);
    const int step = gifFrameStep(static_cast<int>(input.size()));
    const QSize target = resizedSize(input.front().size(), settings.maxDimension);
    std::vector<QImage> reference;
    QStringList arguments{"-U", gif};
    for (size_t i = 0; i < input.size(); i += step) {
        reference.push_back(CompressionImageIO::redrawn(input[i], target, true));
        arguments << QStringLiteral("#%1").arg(i);
    }
    arguments << "-O2";
    if (target != input.front().size())
        arguments << "--resize-fit" << QStringLiteral("%1x%1").arg(int(settings.maxDimension));
    const QString peerFile = QDir(peerOut).filePath("sized.gif");
    arguments << "-o" << peerFile;
    const double oursPsnr = psnr(gifFrames(result.outputURL), reference);
    if (!has("gifsicle") || !run("gifsicle", arguments)) {
        std::printf("%-34s %8.0f KB  PSNR %.1f  gifsicle: –\n", task, ours / 1024.0, oursPsnr);
        return;
    }
    const qint64 theirs = QFileInfo(peerFile).size();
    const double ratio = double(ours) / double(theirs);
    const double theirPsnr = psnr(gifFrames(peerFile), reference);
    std::printf("%-34s %8.0f KB  PSNR %.1f  gifsicle -O2 %8.0f KB  PSNR %.1f  size ratio %.2f (goal ≤ 1.1 at ≥ PSNR)%s\n",
                task, ours / 1024.0, oursPsnr, theirs / 1024.0, theirPsnr, ratio,
                ratio > 1.1 || oursPsnr < theirPsnr ? "  MISSED" : "");
    // The time of the same work, the best of three runs each (the machine may be shared).
    double oursMs = 1e9, theirMs = 1e9;
    for (int round = 0; round < 3; ++round) {
        oursMs = std::min(oursMs, millis([&] { compress(*source(gif), settings, out); }));
        theirMs = std::min(theirMs, millis([&] { run("gifsicle", arguments); }));
    }
    std::printf("%-34s %8.0f ms             gifsicle -O2 %8.0f ms             time ratio %.2f\n", "", oursMs, theirMs,
                oursMs / theirMs);
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
    // Distinct camera-like photos: copies of one synthetic picture code far more cheaply.
    const QStringList jpegs = cameraLikePhotos(dir.path(), photos);
    const QString png = dir.filePath("picture.png");
    QImageWriter(png, "png").write(photoLike(2000, 1500, 99));
    const QString gif = dir.filePath("anim.gif");
    run("ffmpeg", {"-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i", "testsrc2=size=480x270:rate=25",
                   "-frames:v", "100", "-loop", "0", "-y", gif});
    const QString bigGif = dir.filePath("big.gif");
    run("ffmpeg", {"-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i", "testsrc2=size=1200x900:rate=10",
                   "-frames:v", "30", "-loop", "0", "-y", bigGif});
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
    // The engine's batch, as the window runs it (two files at once).
    auto compressAll = [&](const std::vector<ImageCompressionSource> &list, ImageCompressionSettings settings) {
        return millis([&] { compressBatch(list, settings, out); });
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
    // The peer's strongest on two cores: two files at once, from one shell.
    row("", oursOriginal, "djpeg | cjpeg -q 75, xargs -P2",
        peerMillis("/bin/sh", {jpegs.join(QLatin1Char(' '))}, [&](const QString &files, int) {
            return QStringList {"-c", QStringLiteral("for f in %1; do echo \"$f\"; done | xargs -P2 -I{} sh -c "
                                                     "'djpeg \"{}\" | cjpeg -quality 75 -optimize > \"{}.peer\"'")
                                          .arg(files)};
        }), 1.0);

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

    std::printf("\n%-34s %11s  %-10s %-30s\n", "GIF size", "ours", "", "peer");
    gifSizeRow("GIF 100 × 480×270, original", gif, original, out, peerOut);
    gifSizeRow("GIF 30 × 1200×900 → 800", bigGif,
               ImageCompressionSettings(0.75, ImageCompressionMaxDimension::longEdge800), out, peerOut);
    if (argc > 3 && qstrcmp(argv[3], "gif") == 0)
        return 0;

    std::vector<ImageCompressionSource> probed;
    const double oursProbe = millis([&] { probed = sources({probes}); });
    row(qPrintable(QStringLiteral("probe %1 × 12 MP JPEG").arg(probes.size())), oursProbe,
        "vipsthumbnail --size 128, 2 processes",
        peerMillisInTwoProcesses("vipsthumbnail", probes, [&](const QStringList &f) {
            return f + QStringList {"--size", "128", "-o", QDir(peerOut).filePath(QStringLiteral("t%s.jpg"))};
        }), 1.5);
    if (static_cast<int>(probed.size()) != probes.size())
        std::fprintf(stderr, "probing lost files: %zu of %lld\n", probed.size(), static_cast<long long>(probes.size()));
    return 0;
}
