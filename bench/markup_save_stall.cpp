// The window while 保存到桌面 saves 22 camera photos (distinct 4000 × 3000 JPEG files with sensor
// noise, imported the way the import panel does) through the real header button: the longest gap
// between the ticks of a 5 ms heartbeat timer on the GUI thread from the press to the result in
// the status line (goal: at most 50 ms), the peak resident memory during the save, and the resident
// memory before the press and two seconds after the result (goal: within 100 MB of before). Run it
// pinned to two cores: `taskset -c 6,7 bench_markup_save_stall`.
//
//   bench_markup_save_stall [photo-folder]
//
// Without a folder the photos are made once into a folder under the temporary directory and kept
// there for later runs; a given folder's *.jpg files are used as they are.
#include "BenchSupport.h"

#include "markup/ExportPipeline.h"
#include "model/ImageHandle.h"
#include "model/MarkupViewModel.h"
#include "platform/ImageLimits.h"
#include "platform/ParallelWork.h"
#include "shell/ContentView.h"
#include "shell/MainWindow.h"
#include "ui/ShellDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImageWriter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

constexpr int photoCount = 22;
constexpr int width = 4000;
constexpr int height = 3000;

// Smooth gradients under strong per-pixel noise, different for every seed: JPEG files of a few
// megabytes that decode and compress about as slowly as camera photos.
QImage cameraLikePhoto(unsigned seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::minstd_rand random(seed * 7919u + 17u);
    const int shift = int(seed * 37 % 200);
    for (int y = 0; y < height; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const unsigned noise = random();
            const int r = std::clamp((x * 200) / width + 20 + shift / 4 + int(noise % 51) - 25, 0, 255);
            const int g = std::clamp((y * 180) / height + 30 + int((noise >> 6) % 51) - 25, 0, 255);
            const int b = std::clamp(((x + y) * 120) / (width + height) + 60 + shift / 3 + int((noise >> 12) % 51) - 25,
                                     0, 255);
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
}

QStringList photoFiles(const QString &folder)
{
    QStringList paths;
    for (const QFileInfo &info : QDir(folder).entryInfoList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        paths << info.absoluteFilePath();
    return paths;
}

// The photos of the given folder, or those made (once) under the temporary directory.
QStringList preparePhotos(const QString &given)
{
    if (!given.isEmpty())
        return photoFiles(given);
    const QString folder = QDir::temp().filePath(QStringLiteral("kivora-bench-save-photos-v1"));
    QDir().mkpath(folder);
    QStringList paths = photoFiles(folder);
    if (paths.size() == photoCount)
        return paths;
    std::printf("making %d photos in %s ...\n", photoCount, qPrintable(folder));
    ParallelWork::forEach(photoCount, [&](int i) {
        const QString path = QDir(folder).filePath(QStringLiteral("DSC_%1.jpg").arg(1001 + i));
        const QString partial = path + QStringLiteral(".part");
        QImageWriter writer(partial, "jpeg");
        writer.setQuality(92);
        if (writer.write(cameraLikePhoto(unsigned(i + 1))))
            QFile::rename(partial, path);
    });
    return photoFiles(folder);
}

// Nothing modal may open in a benchmark: errors are printed instead.
class PrintingDialogs : public ShellDialogs {
public:
    QuitAnswer askBeforeQuit(QuitPrompt, SaveQuestionCause, QWidget *) override { return QuitAnswer::Cancel; }
    void showError(const QString &message, QWidget *) override
    {
        std::printf("error alert: %s\n", qPrintable(message));
    }
    bool askToDownloadUpdate(const QString &, QWidget *) override { return false; }
};

// Resets the kernel's peak-RSS counter of this process (Linux 4.0 and later).
void resetPeakRss()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

// Runs the event loop until `done` holds (checked on every tick of a 5 ms timer and whenever the
// status changes), or for `ms` when `done` is empty. Returns the longest gap between two ticks.
// Nanoseconds this thread has spent runnable but waiting for a CPU (the second field of
// /proc/thread-self/schedstat): tells a stall caused by other processes on the same cores from one
// of our own making.
double runQueueWaitMs()
{
    QFile file(QStringLiteral("/proc/thread-self/schedstat"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = file.readAll().simplified().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() / 1e6 : 0;
}

struct Gap {
    double longest = 0;
    double longestOwn = 0;    // the longest gap less its wait for a core: the GUI thread's own work
    double waitingForCpu = 0; // of the longest gap, the time the GUI thread waited for a core
    double endedAt = 0;       // seconds after the start of the loop
    QString status;           // the status when it ended
};

Gap runEventLoop(MarkupViewModel &model, const std::function<bool()> &done, int ms = 0)
{
    Gap gap;
    QEventLoop loop;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    heartbeat.setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    double lastWait = runQueueWaitMs();
    const auto tick = [&] {
        const qint64 now = clock.nsecsElapsed();
        const double wait = runQueueWaitMs();
        gap.longestOwn = std::max(gap.longestOwn, double(now - last) / 1e6 - (wait - lastWait));
        if (double(now - last) / 1e6 > gap.longest) {
            gap.longest = double(now - last) / 1e6;
            gap.waitingForCpu = wait - lastWait;
            gap.endedAt = double(now) / 1e9;
            gap.status = model.statusMessage();
        }
        last = now;
        lastWait = wait;
        if (done ? done() : clock.elapsed() >= ms)
            loop.quit();
    };
    QObject::connect(&heartbeat, &QTimer::timeout, &loop, tick);
    QObject::connect(&model, &MarkupViewModel::statusMessageChanged, &loop, [&] {
        if (done && done())
            loop.quit();
    });
    heartbeat.start();
    loop.exec();
    tick();
    return gap;
}

bool isResult(const QString &status)
{
    return status.startsWith(QStringLiteral("已保存")) || status == QStringLiteral("保存失败");
}

} // namespace

int main(int argc, char **argv)
{
    // Offscreen unless told otherwise (QT_QPA_PLATFORM=xcb under xvfb-run shows the window).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    // Before anything asks QStandardPaths: the Desktop is looked up under this home.
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    QApplication app(argc, argv);
    ImageLimits::configure();

    const QStringList photos = preparePhotos(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    if (photos.isEmpty()) {
        std::printf("no photos\n");
        return 1;
    }

    QSettings settings(home.filePath(QStringLiteral("p.ini")), QSettings::IniFormat);
    ContentViewOptions options;
    options.useDefaultUpdateURL = false;
    options.dialogs = std::make_unique<PrintingDialogs>();
    options.quitApplication = [] {};
    MainWindow window(settings, std::move(options));
    ContentView &view = window.contentView();
    MarkupViewModel &model = view.viewModel();
    window.resize(1280, 800);
    window.show();

    const auto importStart = BenchSupport::Clock::now();
    view.setWorkspaceMode(WorkspaceMode::ImageMarkup);
    model.importImages(photos, true);
    model.selectAllImageItems();
    std::printf("%lld photos imported in %.0f ms; export threads %d\n", static_cast<long long>(model.items().size()),
                BenchSupport::ms(importStart), ExportPipeline::workerCount());
    // The canvas shows (and caches) the current photo, as after an import in the window.
    runEventLoop(model, {}, 2000);

    auto *button = qobject_cast<QAbstractButton *>(view.headerItemWidget(HeaderToolbarItem::ImageExport));
    if (!button || !button->isEnabled()) {
        std::printf("no save button\n");
        return 1;
    }
    model.setStatusMessage(QString());
    const double before = BenchSupport::statusMB("VmRSS:");
    const double cachedBefore = double(ImageHandle::cachedBytes()) / (1024 * 1024);
    resetPeakRss();
    int progressTexts = 0;
    QString lastProgress;
    QObject::connect(&model, &MarkupViewModel::statusMessageChanged, &model, [&] {
        if (!isResult(model.statusMessage()) && !model.statusMessage().isEmpty()) {
            ++progressTexts;
            lastProgress = model.statusMessage();
        }
    });

    const auto start = BenchSupport::Clock::now();
    QTimer::singleShot(0, button, &QAbstractButton::click);
    const Gap gap = runEventLoop(model, [&] { return isResult(model.statusMessage()); });
    const double stall = gap.longest;
    const double seconds = BenchSupport::ms(start) / 1000;
    const double peak = BenchSupport::statusMB("VmHWM:");
    const QString result = model.statusMessage();
    runEventLoop(model, {}, 2000);
    const double after = BenchSupport::statusMB("VmRSS:");
    const double cachedAfter = double(ImageHandle::cachedBytes()) / (1024 * 1024);

    std::printf("save of %lld photos: %.2f s, result \"%s\"\n", static_cast<long long>(photos.size()), seconds,
                qPrintable(result));
    std::printf("progress texts shown: %d (last \"%s\")\n", progressTexts, qPrintable(lastProgress));
    std::printf("longest GUI stall during the save: %7.1f ms  (goal <= 50 ms) %s\n", stall,
                stall <= 50 ? "ok" : "OVER");
    std::printf("longest stall less its wait for a core:   %7.1f ms\n", gap.longestOwn);
    std::printf("  (%.1f ms of the longest waiting for a core; it ended %.2f s after the press, status then \"%s\")\n",
                gap.waitingForCpu, gap.endedAt, qPrintable(gap.status));
    std::printf("resident memory: before %.0f MB, peak %.0f MB (+%.0f), 2 s after %.0f MB (%+.0f; goal <= +100) %s\n",
                before, peak, peak - before, after, after - before, after - before <= 100 ? "ok" : "OVER");
    std::printf("decoded-picture cache: before %.0f MB, after %.0f MB\n", cachedBefore, cachedAfter);
    return 0;
}
