// Importing a folder of camera photos: N JPEGs of 4000 × 3000 with photo-like noise are written to
// a temporary folder, then one importImages call is timed in a fresh child process, which also
// reports its peak resident memory. When vipsthumbnail is installed, its time for the same files
// (one after another, --size 96) is printed beside ours.
//
//   bench_markup_import [count=200] [--threads 2]
//
// Goals (2-core machine): import within 1.5 × the vipsthumbnail time; peak RSS below the total
// size of the files + 600 MB.
#include "model/MarkupViewModel.h"
#include "platform/ImageLimits.h"
#include "platform/ParallelWork.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThreadPool>

#include <cmath>
#include <cstdio>
#include <random>

namespace {

// A smooth scene (gradients and soft blobs, drawn at 1/8 size and scaled up) with sensor-like
// noise on top, so the JPEG encoder has real detail to keep, as in a photo.
QImage photoLikeImage(int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    struct Blob {
        double x, y, radius;
        int r, g, b;
    };
    const int w = width / 8;
    const int h = height / 8;
    std::vector<Blob> blobs;
    for (int i = 0; i < 12; ++i)
        blobs.push_back({unit(random) * w, unit(random) * h, (0.05 + 0.2 * unit(random)) * w,
                         int(unit(random) * 120) - 60, int(unit(random) * 120) - 60, int(unit(random) * 120) - 60});
    QImage scene(w, h, QImage::Format_RGB32);
    const double phase = unit(random) * 6.28;
    const auto clamp = [](double v) { return std::clamp(int(std::lround(v)), 0, 255); };
    for (int y = 0; y < h; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(scene.scanLine(y));
        for (int x = 0; x < w; ++x) {
            double r = 90 + 80.0 * y / h + 30 * std::sin(x * 0.016 + phase);
            double g = 110 + 60.0 * x / w;
            double b = 150 - 70.0 * y / h;
            for (const Blob &blob : blobs) {
                const double dx = x - blob.x;
                const double dy = y - blob.y;
                const double weight = std::exp(-(dx * dx + dy * dy) / (blob.radius * blob.radius));
                r += blob.r * weight;
                g += blob.g * weight;
                b += blob.b * weight;
            }
            line[x] = qRgb(clamp(r), clamp(g), clamp(b));
        }
    }
    QImage image = scene.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Noise of about ±8 levels from a cheap generator; the same offset on all channels, like
    // luminance noise.
    quint32 state = seed * 2654435761u + 12345u;
    for (int y = 0; y < height; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int n = int(state & 15) - 8;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                           std::clamp(qBlue(c) + n, 0, 255));
        }
    }
    return image;
}

qint64 statusValueKB(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// The child: one import, timed, with its own peak RSS.
int runImport(const QString &folder)
{
    QTemporaryDir settingsDir;
    QSettings settings(settingsDir.filePath(QStringLiteral("p.ini")), QSettings::IniFormat);
    MarkupViewModel model(settings);
    const qint64 before = statusValueKB("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    model.importImages({folder}, true);
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%.3f %lld %lld %zu\n", seconds, statusValueKB("VmHWM:"), before, model.items().size());
    return model.items().empty() ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ImageLimits::configure();
    QStringList args = app.arguments().mid(1);

    int threads = 2;
    if (const qsizetype at = args.indexOf(QStringLiteral("--threads")); at >= 0 && at + 1 < args.size()) {
        threads = std::max(1, args.at(at + 1).toInt());
        args.remove(at, 2);
    }
    if (args.size() == 2 && args.at(0) == QStringLiteral("--import")) {
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
        return runImport(args.at(1));
    }
    const int count = args.isEmpty() ? 200 : std::max(1, args.at(0).toInt());

    QTemporaryDir folder;
    const QString photos = folder.filePath(QStringLiteral("photos"));
    QDir().mkpath(photos);
    QElapsedTimer timer;
    timer.start();
    std::vector<QString> files(static_cast<size_t>(count));
    ParallelWork::forEach(count, [&](int i) {
        const QString path = photos + QStringLiteral("/IMG_%1.jpg").arg(i + 1, 4, 10, QChar(u'0'));
        photoLikeImage(4000, 3000, unsigned(i) * 7919u + 1).save(path, "JPEG", 90);
        files[size_t(i)] = path;
    });
    qint64 totalBytes = 0;
    for (const QString &path : files)
        totalBytes += QFileInfo(path).size();
    const double totalMB = totalBytes / 1048576.0;
    std::printf("generated %d JPEGs of 4000 x 3000, %.0f MB, in %.1f s\n", count, totalMB, timer.nsecsElapsed() / 1e9);

    QProcess child;
    child.start(app.applicationFilePath(),
                {QStringLiteral("--import"), photos, QStringLiteral("--threads"), QString::number(threads)});
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        std::printf("import failed: %s\n", child.readAllStandardError().constData());
        return 1;
    }
    const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    const double importSeconds = figures.value(0).toDouble();
    const double peakMB = figures.value(1).toLongLong() / 1024.0;
    const double startMB = figures.value(2).toLongLong() / 1024.0;
    std::printf("importImages (%d worker threads): %.2f s for %s images, peak RSS %.0f MB (%.0f MB before import)\n",
                threads, importSeconds, figures.value(3).constData(), peakMB, startMB);
    std::printf("  goal: peak RSS below files + 600 MB = %.0f MB: %s\n", totalMB + 600,
                peakMB < totalMB + 600 ? "met" : "MISSED");

    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    if (!vips.isEmpty()) {
        QTemporaryDir out;
        QStringList vipsArgs{QStringLiteral("--size"), QStringLiteral("96"), QStringLiteral("-o"),
                             out.path() + QStringLiteral("/%s.jpg")};
        for (const QString &path : files)
            vipsArgs << path;
        QProcess process;
        timer.restart();
        process.start(vips, vipsArgs);
        process.waitForFinished(-1);
        const double vipsSeconds = timer.nsecsElapsed() / 1e9;
        std::printf("vipsthumbnail --size 96, one after another: %.2f s; ours / vips = %.2f (goal <= 1.5): %s\n",
                    vipsSeconds, importSeconds / vipsSeconds, importSeconds <= 1.5 * vipsSeconds ? "met" : "MISSED");
    } else {
        std::printf("vipsthumbnail not installed: no comparison\n");
    }
    return 0;
}
