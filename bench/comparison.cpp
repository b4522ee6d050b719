// Speed and memory of the image comparison:
// - pairing two folders of 1,000 names each (scan, sort, keys, matching; no decoding): goal 200 ms;
// - a batch of 100 pairs of 4000 × 3000 JPEGs, decoding included, against a sequential
//   `djpeg -outfile /dev/null` loop over the same 200 files: goal ratio <= 1.0; the longest stall
//   of the GUI thread during the batch (a 10 ms heartbeat): goal 100 ms; peak resident memory
//   after the batch: goal below 1 GB;
// - one divider drag step on a pair of 6000 × 4000 pictures at zoom 1 and zoom 4: median 8 ms;
// - the sidebar with 500 pairs: building 100 ms, one scroll step 8 ms.
// Inputs are generated in a temporary folder. On a shared machine the figures are noisy: compare
// ours with the peer of the same run.
#include "BenchSupport.h"

#include "comparison/ComparisonDialogs.h"
#include "comparison/ComparisonPairing.h"
#include "comparison/ComparisonPairList.h"
#include "comparison/ComparisonSurface.h"
#include "comparison/ImageComparisonWorkspace.h"
#include "model/AppFont.h"
#include "model/MarkupViewModel.h"
#include "platform/ImageLimits.h"
#include "shell/ContentView.h"
#include "shell/ImageComparisonHookup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using BenchSupport::Clock;
using BenchSupport::ms;
using BenchSupport::report;
using BenchSupport::statusMB;

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000 + double(now.tv_nsec) / 1e6;
}

// A picture with detail, so that encoding and decoding cost what photos cost.
QImage photoLike(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb((x * 7 + y * 3 + seed) & 0xFF, ((x ^ y) + seed * 5) & 0xFF, ((x * y) >> 6) & 0xFF);
    }
    return image;
}

// Never blocks: the choosers answer from the two folders, the result alert is dropped.
class BenchDialogs : public ComparisonDialogs {
public:
    QStringList folders;
    std::optional<QString> chooseFolder(const QString &, QWidget *) override
    {
        return folders.isEmpty() ? std::nullopt : std::optional<QString>(folders.takeFirst());
    }
    void showBatchResult(const QString &, const QString &, bool, QWidget *) override {}
};

void benchPairing(const QTemporaryDir &dir)
{
    const QString before = dir.filePath(QStringLiteral("names/before"));
    const QString after = dir.filePath(QStringLiteral("names/after"));
    QDir().mkpath(before);
    QDir().mkpath(after);
    for (int i = 0; i < 1000; ++i) {
        QFile(QStringLiteral("%1/IMG_%2_修改前.png").arg(before).arg(i)).open(QIODevice::WriteOnly);
        QFile(QStringLiteral("%1/img %2 (after).jpg").arg(after).arg(i)).open(QIODevice::WriteOnly);
    }
    report("pair 2 x 1000 names (scan, sort, keys, match)", 200, 5, [&](int) {
        const auto match = MarkupViewModel::matchComparisonURLs(ComparisonPairing::sortedImageFiles(before),
                                                                ComparisonPairing::sortedImageFiles(after));
        if (match.matched.size() != 1000)
            std::printf("  unexpected: %zu matched\n", match.matched.size());
    });
}

void benchBatch(const QTemporaryDir &dir)
{
    const QString before = dir.filePath(QStringLiteral("photos/before"));
    const QString after = dir.filePath(QStringLiteral("photos/after"));
    QDir().mkpath(before);
    QDir().mkpath(after);
    const QString source = dir.filePath(QStringLiteral("photo.jpg"));
    {
        QImageWriter writer(source, "jpeg");
        writer.setQuality(85);
        writer.write(photoLike(4000, 3000, 1));
    }
    QStringList files;
    for (int i = 0; i < 100; ++i) {
        files.append(QStringLiteral("%1/%2_old.jpg").arg(before).arg(i));
        files.append(QStringLiteral("%1/%2_new.jpg").arg(after).arg(i));
        QFile::copy(source, files.at(files.size() - 2));
        QFile::copy(source, files.last());
    }

    QSettings settings(dir.filePath(QStringLiteral("batch.ini")), QSettings::IniFormat);
    ContentViewOptions options;
    options.useDefaultUpdateURL = false;
    options.installWorkspaces = false;
    ContentView view(settings, std::move(options));
    auto dialogs = std::make_unique<BenchDialogs>();
    dialogs->folders = {before, after};
    auto *hookup = new ImageComparisonHookup(view, std::move(dialogs));
    hookup->presentBatchComparisonSheet();
    hookup->chooseBatchComparisonFolder(false);
    hookup->chooseBatchComparisonFolder(true);
    // The sheet is on screen before the run starts, as it is for the user.
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);

    const double rssBefore = statusMB("VmRSS:");
    QElapsedTimer heartbeat;
    double longestGap = 0;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, double(heartbeat.restart()));
    });
    bool finished = false;
    double finalStep = 0;
    QObject::connect(hookup, &ImageComparisonHookup::batchComparisonFinished, [&] {
        finished = true;
        finalStep = double(heartbeat.elapsed());
    });
    const auto start = Clock::now();
    heartbeat.start();
    timer.start();
    hookup->runBatchComparison();
    while (!finished)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double oursMs = ms(start);
    timer.stop();
    const size_t pairs = view.viewModel().comparisonPairs().size();
    const double peak = statusMB("VmHWM:");
    std::printf("batch of %zu pairs of 4000 x 3000 JPEGs (ours): %8.0f ms; longest GUI stall %.0f ms (goal 100 ms)\n",
                pairs, oursMs, longestGap);
    std::printf("  of which the step that applies the result: %.0f ms since the last heartbeat\n", finalStep);
    std::printf("  resident before %.0f MB, peak %.0f MB (goal below 1024 MB)\n", rssBefore, peak);

    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (djpeg.isEmpty()) {
        std::printf("  djpeg not installed: no peer\n");
        return;
    }
    const auto peerStart = Clock::now();
    for (const QString &file : files)
        QProcess::execute(djpeg, {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), file});
    const double peerMs = ms(peerStart);
    std::printf("  djpeg -outfile /dev/null, one after another: %8.0f ms; ours / djpeg = %.2f (goal <= 1.0)\n", peerMs,
                oursMs / peerMs);
}

void benchDivider()
{
    QImage big = photoLike(6000, 4000, 2);
    ComparisonPairState pair;
    pair.id = QUuid::createUuid();
    pair.before = {QStringLiteral("b.png"), ImageHandle(big), QSizeF(6000, 4000)};
    pair.after = {QStringLiteral("a.png"), ImageHandle(photoLike(6000, 4000, 3)), QSizeF(6000, 4000)};
    ComparisonSurface surface;
    surface.resize(1200, 800);
    surface.show();
    surface.setPair(pair);
    for (const double zoom : {1.0, 4.0}) {
        surface.setZoom(zoom);
        surface.setPanOffset(QSizeF(0, 0));
        surface.repaint();
        QApplication::processEvents();
        const QByteArray name = QStringLiteral("divider drag step at zoom %1 (repaint)").arg(zoom).toUtf8();
        std::vector<double> cpu;
        report(name.constData(), 8, 200, [&](int i) {
            const double cpuStart = threadCpuMs();
            // Sweeps left and right across the middle of the view, about 7 points per step.
            const int step = i % 100;
            const double width = surface.canvasRect().width();
            const double fraction = 0.5 + 7.0 * ((step < 50 ? step : 100 - step) - 25) / width;
            const QRect changed = surface.dividerChangeRect(surface.fraction(), fraction);
            surface.setFraction(fraction);
            surface.repaint(changed);
            cpu.push_back(threadCpuMs() - cpuStart);
        });
        std::sort(cpu.begin(), cpu.end());
        std::printf("  the same steps in GUI-thread CPU time (less sensitive to a busy machine): median %.3f ms\n",
                    cpu[cpu.size() / 2]);
        QApplication::processEvents();
    }
}

void benchSidebar(const QTemporaryDir &dir)
{
    QSettings settings(dir.filePath(QStringLiteral("sidebar.ini")), QSettings::IniFormat);
    MarkupViewModel model(settings);
    std::vector<ComparisonPairState> pairs;
    for (int i = 0; i < 500; ++i) {
        QImage thumbnail(320, 213, QImage::Format_RGB32);
        thumbnail.fill(QColor::fromHsv((i * 37) % 360, 120, 220));
        const ImageHandle picture(thumbnail);
        pairs.push_back({QUuid::createUuid(),
                         {QStringLiteral("%1_before.png").arg(i + 1), picture, QSizeF(4000, 3000), picture},
                         {QStringLiteral("%1_after.png").arg(i + 1), picture, QSizeF(4000, 3000), picture}});
    }
    model.setComparisonPairs(pairs);
    std::unique_ptr<ImageComparisonWorkspace> workspace;
    report("build workspace with 500 pairs (first paint)", 100, 5, [&](int) {
        workspace = std::make_unique<ImageComparisonWorkspace>(model, ImageComparisonWorkspace::Bindings{},
                                                               ImageComparisonWorkspace::Actions{}, new QWidget);
        workspace->resize(1200, 860);
        workspace->show();
        workspace->repaint();
    });
    QApplication::processEvents();
    ComparisonPairListView *list = workspace->pairList();
    report("sidebar scroll step (repaint)", 8, 200, [&](int i) {
        QScrollBar *bar = list->verticalScrollBar();
        bar->setValue((i * 24) % std::max(1, bar->maximum()));
        list->viewport()->repaint();
    });
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(AppFont::font(13));
    ImageLimits::configure();
    QTemporaryDir dir;
    std::printf("image comparison (figures are noisy on a shared machine; compare with the peer)\n");
    benchPairing(dir);
    benchBatch(dir);
    benchSidebar(dir);
    benchDivider();
    return 0;
}
