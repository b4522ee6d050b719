// Time and peak memory of small crafted files that declare huge pictures: a GIF with a
// 14000 × 14000 screen and tiny "restore to previous" frames, compressed to the 800 long edge,
// a project of eight 14000 × 14000 one-bit PNGs, opened, and a project of 10,000 comparison pairs
// of 2000 × 2000 one-bit PNGs, opened and its first cards drawn.
//
// Usage: bench_crafted_files gif [frames] | gif-original [frames] | project | pairs
// (one case per run: the peak is per process; gif-original keeps the screen's size)

#include "comparison/ComparisonPairList.h"
#include "compression/ImageCompressionService.h"
#include "model/MarkupViewModel.h"
#include "platform/ImageLimits.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

#include <sys/resource.h>

namespace {

long long peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const auto match
        = QRegularExpression(QStringLiteral("VmHWM:\\s*(\\d+)")).match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() / 1024 : -1;
}

// GIF89a, a 14000 × 14000 screen with a two-colour palette, and `frames` 1 × 1 frames with
// disposal 3, each one LZW-coded pixel.
QByteArray craftedGif(int frames)
{
    QByteArray gif("GIF89a", 6);
    gif.append(char(14000 & 0xFF)).append(char(14000 >> 8)).append(char(14000 & 0xFF)).append(char(14000 >> 8));
    gif.append(char(0x80)).append('\0').append('\0');
    gif.append("\xFF\0\0\0\0\xFF", 6);
    for (int i = 0; i < frames; ++i) {
        gif.append("\x21\xF9\x04\x0C\x0A\0\0\0", 8); // disposal 3, 10 cs
        gif.append("\x2C\0\0\0\0\x01\0\x01\0\0", 10); // 1 × 1 at the origin
        gif.append("\x02\x02\x4C\x01\0", 5); // clear, index 1, end
    }
    gif.append('\x3B');
    return gif;
}

// CPU time of the whole process so far (user and system), in milliseconds.
long long cpuMilliseconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

int benchGif(int frames, ImageCompressionMaxDimension maxDimension)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("crafted.gif"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(craftedGif(frames));
    file.close();
    QElapsedTimer timer;
    timer.start();
    const long long cpuBefore = cpuMilliseconds();
    const auto source = ImageCompressionService::source(path);
    QString outcome = QStringLiteral("refused by the probe");
    if (source) {
        ImageCompressionSettings settings;
        settings.maxDimension = maxDimension;
        try {
            const auto result = ImageCompressionService::compressGIF(*source, settings, dir.path());
            outcome = QStringLiteral("compressed, %1 frames").arg(result.outputFrameCount);
        } catch (const ImageCompressionServiceError &error) {
            outcome = error.description();
        }
    }
    std::printf("gif: %d frames, %lld bytes, %s: %s, %lld ms, CPU %lld ms, peak %lld MB\n", frames,
                static_cast<long long>(QFileInfo(path).size()),
                maxDimension == ImageCompressionMaxDimension::original ? "original size" : "800 long edge",
                qPrintable(outcome), static_cast<long long>(timer.elapsed()), cpuMilliseconds() - cpuBefore,
                peakMegabytes());
    return 0;
}

int benchProject()
{
    QImage scan(14000, 14000, QImage::Format_Mono);
    scan.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 255) });
    scan.fill(0);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    scan.save(&buffer, "PNG");
    scan = QImage();
    MarkupProjectDocument document;
    document.version = 1;
    for (int i = 0; i < 8; ++i)
        document.images.push_back({ QUuid::createUuid(),
                                    QStringLiteral("scan%1.png").arg(i),
                                    std::nullopt,
                                    png,
                                    14000,
                                    14000,
                                    {},
                                    std::nullopt });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("crafted.kivo"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(std::get<QByteArray>(document.encode()));
    file.close();
    QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    MarkupViewModel model(settings);
    QElapsedTimer timer;
    timer.start();
    const bool opened = model.openProject(path);
    std::printf("project: %lld bytes, %s, %zu images, %lld ms, peak %lld MB\n",
                static_cast<long long>(QFileInfo(path).size()), opened ? "opened" : "not opened", model.items().size(),
                static_cast<long long>(timer.elapsed()), peakMegabytes());
    return opened ? 0 : 1;
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// 10,000 pairs whose sides are all the same 2000 × 2000 one-bit PNG: opened, then the cards of
// the first 20 pairs drawn as the sidebar draws them.
int benchPairs()
{
    QImage scan(2000, 2000, QImage::Format_Mono);
    scan.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 255) });
    scan.fill(1);
    for (int x = 100; x < 1900; ++x) {
        scan.setPixel(x, 100, 0);
        scan.setPixel(x, 1900, 0);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    scan.save(&buffer, "PNG", 0); // the strongest compression
    MarkupProjectDocument document;
    document.version = 1;
    for (int i = 0; i < 10000; ++i)
        document.comparisonPairs.push_back({ QUuid::createUuid(),
                                             { QStringLiteral("%1_before.png").arg(i), png, 2000, 2000 },
                                             { QStringLiteral("%1_after.png").arg(i), png, 2000, 2000 } });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pairs.kivo"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(std::get<QByteArray>(document.encode()));
    file.close();
    document = MarkupProjectDocument();
    QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    MarkupViewModel model(settings);
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = processCpuSeconds();
    const bool opened = model.openProject(path);
    const qint64 openMs = timer.elapsed();
    const double openCpu = processCpuSeconds() - cpuStart;
    const long long openPeak = peakMegabytes();
    ComparisonPairListModel cards(model);
    int drawn = 0;
    for (int row = 0; row < std::min(20, cards.rowCount()); ++row) {
        const QModelIndex index = cards.index(row);
        drawn += !index.data(ComparisonPairListModel::BeforeThumbnailRole).value<QPixmap>().isNull();
        drawn += !index.data(ComparisonPairListModel::AfterThumbnailRole).value<QPixmap>().isNull();
    }
    std::printf("pairs: %lld bytes, %s, %zu pairs, open %lld ms (%.1f s CPU), peak %lld MB; %d card thumbnails "
                "then, %lld ms in all (%.1f s CPU), peak %lld MB (goal: peak <= 1700 MB, seconds)\n",
                static_cast<long long>(QFileInfo(path).size()), opened ? "opened" : "not opened",
                model.comparisonPairs().size(), static_cast<long long>(openMs), openCpu, openPeak, drawn,
                static_cast<long long>(timer.elapsed()), processCpuSeconds() - cpuStart, peakMegabytes());
    return opened ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ImageLimits::configure();
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gif");
    if (which == QLatin1String("project"))
        return benchProject();
    if (which == QLatin1String("pairs"))
        return benchPairs();
    const int gifFrames = argc > 2 ? std::atoi(argv[2]) : 3;
    if (which == QLatin1String("gif-original"))
        return benchGif(gifFrames, ImageCompressionMaxDimension::original);
    return benchGif(gifFrames, ImageCompressionMaxDimension::longEdge800);
}
