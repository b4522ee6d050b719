// Times the compression workspace against what it builds on: adding through the window's action
// against vipsthumbnail (two processes), a batch through the window against the engine alone, the
// card list at 500 entries and a crop drag. Prints our time, the peer's and the ratio, plus the longest
// stall of the GUI thread (a 10 ms heartbeat timer) while adding and while a batch runs.
//
//   bench_compression_workspace [probe-files=100] [photos=30]
#include "compression/ImageCompressionService.h"
#include "compression/widgets/CompressionPreview.h"
#include "compression/widgets/CompressionSourceColumn.h"
#include "compression/widgets/ImageCompressionWorkspace.h"
#include "CompressionBenchSupport.h"
#include "platform/ImageLimits.h"
#include "shell/ContentView.h"
#include "shell/ImageCompressionHookup.h"
#include "shell/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QMouseEvent>
#include <QProcess>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

using namespace CompressionBench;

// The longest gap between the ticks of a 10 ms timer while `running` holds.
struct Heartbeat {
    QTimer timer;
    QElapsedTimer clock;
    double longest = 0;
    qint64 last = 0;

    Heartbeat()
    {
        timer.setInterval(10);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, (now - last) / 1e6);
            last = now;
        });
    }
    void start()
    {
        clock.start();
        last = 0;
        longest = 0;
        timer.start();
    }
    // Runs the event loop until `done` holds, checked whenever `sender` emits `signal` (the event
    // loop sleeps in between: no core is spent waiting); returns the elapsed milliseconds.
    template <typename Sender, typename Signal>
    double runUntil(const std::function<bool()> &done, const Sender *sender, Signal signal)
    {
        QElapsedTimer elapsed;
        elapsed.start();
        QEventLoop loop;
        const QMetaObject::Connection connection = QObject::connect(sender, signal, &loop, [&] {
            if (done())
                loop.quit();
        });
        if (!done())
            loop.exec();
        QObject::disconnect(connection);
        timer.stop();
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, (now - last) / 1e6);
        return elapsed.nsecsElapsed() / 1e6;
    }
};

class FolderChooser : public CompressionChooser {
public:
    QString folder;
    std::optional<QStringList> chooseSources() override { return std::nullopt; }
    std::optional<QString> chooseDestinationFolder() override { return folder; }
};

void row(const char *what, double ours, const char *peerName, double peer, double limit)
{
    if (peer < 0) {
        std::printf("%-40s %10.1f ms   %-34s %10s   %6s\n", what, ours, peerName, "–", "–");
        return;
    }
    const double ratio = ours / peer;
    std::printf("%-40s %10.1f ms   %-34s %10.1f ms %6.2f %s\n", what, ours, peerName, peer, ratio,
                limit > 0 ? (ratio <= limit ? "ok" : "OVER") : "");
}

void stall(const char *what, double longest, double limit)
{
    std::printf("%-40s %10.1f ms   (limit %.0f ms) %s\n", what, longest, limit, longest <= limit ? "ok" : "OVER");
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

std::vector<ImageCompressionSource> syntheticSources(int count)
{
    std::vector<ImageCompressionSource> sources;
    for (int i = 0; i < count; ++i) {
        ImageCompressionSource source;
        source.id = QUuid::createUuid();
        source.url = QStringLiteral("/nonexistent/photo%1.jpg").arg(i);
        source.fileName = QStringLiteral("旅行照片_%1_海边日出.jpg").arg(i);
        source.originalBytes = 2'500'000 + i;
        source.pixelSize = QSizeF(4000, 3000);
        source.thumbnail = photoLike(128, 96, unsigned(i)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        sources.push_back(std::move(source));
    }
    return sources;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ImageLimits::configure();
    const int probeFiles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const int photos = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;

    QTemporaryDir work;
    const QDir dir(work.path());
    qputenv("TMPDIR", QFile::encodeName(dir.filePath(QStringLiteral("tmp"))));
    QDir().mkpath(dir.filePath(QStringLiteral("tmp")));
    for (const char *sub : { "probe", "photos", "peer" })
        QDir().mkpath(dir.filePath(QLatin1String(sub)));

    std::fprintf(stderr, "generating inputs…\n");
    const QStringList probes = cameraLikePhotos(dir.filePath(QStringLiteral("probe")), probeFiles, QStringLiteral("p"));
    const QStringList photoFiles = cameraLikePhotos(dir.filePath(QStringLiteral("photos")), photos);

    QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    ContentViewOptions options;
    options.useDefaultUpdateURL = false;
    options.installWorkspaces = false;
    MainWindow window(settings, std::move(options));
    auto chooserOwned = std::make_unique<FolderChooser>();
    FolderChooser *chooser = chooserOwned.get();
    auto *hookup = new ImageCompressionHookup(window.contentView(), std::move(chooserOwned));
    hookup->install(window.contentView().hooks());
    ImageCompressionSession *session = &hookup->session();
    window.contentView().reloadWorkspace();
    window.contentView().setWorkspaceMode(WorkspaceMode::Compression);
    window.resize(1280, 800);
    window.show();
    QCoreApplication::processEvents();

    std::printf("%-40s %13s   %-34s %13s %6s\n", "", "ours", "peer", "", "ratio");

    // ---- Adding ----
    const double peerProbe
        = peerMillisInTwoProcesses(QStringLiteral("vipsthumbnail"), probes, [&](const QStringList &f) {
              return f + QStringList { "--size", "128", "-o", dir.filePath(QStringLiteral("peer/t%s.jpg")) };
          });
    Heartbeat beat;
    beat.start();
    session->addCompressionSources({ dir.filePath(QStringLiteral("probe")) });
    const double oursAdd
        = beat.runUntil([&] { return !session->isAddingSources(); }, session, &ImageCompressionSession::sourcesAdded);
    const double addStall = beat.longest;
    if (int(session->compressionSources().size()) != probeFiles)
        std::fprintf(stderr, "adding lost files: %zu of %d\n", session->compressionSources().size(), probeFiles);
    row(qPrintable(QStringLiteral("add %1 × 12 MP JPEG (window)").arg(probeFiles)), oursAdd,
        "vipsthumbnail --size 128, 2 processes", peerProbe, 1.5);
    stall("  longest GUI stall while adding", addStall, 200);
    session->clearCompressionSources();

    // ---- Batch ----
    const std::vector<ImageCompressionSource> photoSources = ImageCompressionService::sources(photoFiles);
    const ImageCompressionSettings defaults;
    // The engine's own batch, as the window runs it.
    auto engineAlone = [&](const QString &folder) {
        return millis([&] { ImageCompressionService::compressBatch(photoSources, defaults, folder); });
    };
    session->addCompressionSources(photoFiles);
    Heartbeat quiet;
    quiet.start();
    quiet.runUntil([&] { return !session->isAddingSources(); }, session, &ImageCompressionSession::sourcesAdded);
    // Alternating runs, the minimum and the median of each kept: the machine is shared, so a single
    // pair would mostly measure the neighbours.
    std::vector<double> engineTimes, windowTimes, ratios;
    double batchStall = 0;
    for (int round = 0; round < 3; ++round) {
        const QString engineOut = dir.filePath(QStringLiteral("out-engine%1").arg(round));
        const QString windowOut = dir.filePath(QStringLiteral("out-window%1").arg(round));
        QDir().mkpath(engineOut);
        QDir().mkpath(windowOut);
        engineTimes.push_back(engineAlone(engineOut));
        chooser->folder = windowOut;
        Heartbeat batch;
        batch.start();
        session->compressImages();
        windowTimes.push_back(batch.runUntil([&] { return !session->isCompressingImages(); }, session,
                                             &ImageCompressionSession::isCompressingImagesChanged));
        ratios.push_back(windowTimes.back() / engineTimes.back());
        batchStall = std::max(batchStall, batch.longest);
    }
    const Spread engine = spread(engineTimes), throughWindow = spread(windowTimes), ratio = spread(ratios);
    row(qPrintable(QStringLiteral("batch %1 × 4000×3000 (window), min").arg(photos)), throughWindow.min,
        "engine compressBatch() alone, min", engine.min, 1.05);
    row("  median", throughWindow.median, "  median", engine.median, 1.05);
    std::printf("%-40s %10.2f min, %.2f median (goal ≤ 1.05), load %s\n", "  ratio per round", ratio.min, ratio.median,
                qPrintable(loadAverage()));
    stall("  longest GUI stall during the batch", batchStall, 50);

    // ---- Source list ----
    const std::vector<ImageCompressionSource> many = syntheticSources(500);
    ImageCompressionWorkspace::Actions none;
    ImageCompressionWorkspace workspace(std::move(none));
    workspace.resize(1280, 740);
    const double build = millis([&] {
        workspace.setInputs(many, std::nullopt, {}, ImageCompressionSettings(), false);
        workspace.show();
        workspace.repaint();
    });
    QListView *list = workspace.sourceColumn()->listView();
    QCoreApplication::processEvents();
    std::vector<double> steps;
    for (int i = 0; i < 60; ++i) {
        steps.push_back(millis([&] {
            list->verticalScrollBar()->setValue(list->verticalScrollBar()->value()
                                                + list->verticalScrollBar()->singleStep() * 3);
            list->viewport()->repaint();
        }));
    }
    row("card list, 500 entries: build", build, "(limit 100 ms)", 100, 1.0);
    row("card list: one scroll step, median", median(steps), "(limit 8 ms)", 8, 1.0);
    row("card list: one scroll step, longest", *std::max_element(steps.begin(), steps.end()), "", -1, 0);

    // ---- Crop drag ----
    workspace.setSources({ many.front() });
    QCoreApplication::processEvents();
    workspace.beginCrop(many.front());
    CompressionPreview *preview = workspace.preview();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 80), preview->mapToGlobal(QPointF(100, 80)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(preview, &press);
    std::vector<double> drags;
    for (int i = 0; i < 120; ++i) {
        const QPointF at(110 + i * 2.5, 90 + i * 1.7);
        drags.push_back(millis([&] {
            QMouseEvent move(QEvent::MouseMove, at, preview->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QCoreApplication::sendEvent(preview, &move);
            preview->repaint();
        }));
    }
    row("crop drag step + repaint, median", median(drags), "(limit 4 ms)", 4, 1.0);
    return 0;
}
