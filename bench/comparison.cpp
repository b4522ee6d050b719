// Speed and memory of the image comparison:
// - pairing two folders of 1,000 names each (scan, sort, keys, matching; no decoding): goal 200 ms;
// - a batch of 100 pairs of distinct camera-like 4000 × 3000 JPEGs (ffmpeg's test picture with
//   noise), decoding included, against a sequential `djpeg -outfile /dev/null` loop over the same
//   200 files run by a shell: goal ratio <= 0.6, min and median of 3 rounds; the longest stall of
//   the GUI thread during the batch (a 10 ms heartbeat): goal 100 ms; peak resident memory after
//   the batches: goal below 1 GB;
// - one divider drag step on a pair of 6000 × 4000 pictures at zoom 1 and zoom 4: median 8 ms;
// - the sidebar with 500 pairs: building 100 ms, one scroll step 8 ms.
// Every part runs pinned to two cores (taskset -c 6,7) and on all cores. Inputs are generated in
// a temporary folder. On a shared machine the figures are noisy: compare ours with the peer of the
// same run, and read the load average printed with them.
#include "BenchSupport.h"

#include "comparison/ComparisonPairing.h"
#include "comparison/widgets/ComparisonPairListView.h"
#include "comparison/widgets/ComparisonSurface.h"
#include "comparison/widgets/ImageComparisonWorkspace.h"
#include "comparison/widgets/ModalComparisonDialogs.h"
#include "model/AppFont.h"
#include "model/MarkupViewModel.h"
#include "platform/ImageLimits.h"
#include "shell/ContentView.h"
#include "shell/ImageComparisonHookup.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
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
#include <sched.h>
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

// The machine's load average over the last minute, as /proc/loadavg gives it.
QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll()).section(u' ', 0, 0);
}

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
class BenchDialogs : public ModalComparisonDialogs {
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

// 100 pairs of distinct camera-like photos: ffmpeg's moving test picture at 4000 × 3000 with
// strong noise that changes every frame, as JPEGs of about camera quality. False without ffmpeg.
bool makeCameraLikePairs(const QString &folder)
{
    const QString before = folder + QStringLiteral("/before");
    const QString after = folder + QStringLiteral("/after");
    if (QFileInfo::exists(after + QStringLiteral("/99_new.jpg")))
        return true;
    QDir().mkpath(before);
    QDir().mkpath(after);
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        return false;
    const QString pattern = folder + QStringLiteral("/frame_%03d.jpg");
    const int status = QProcess::execute(
        ffmpeg, {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-f"),
                 QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("testsrc2=size=4000x3000:rate=25"),
                 QStringLiteral("-vf"), QStringLiteral("noise=alls=25:allf=t+u"), QStringLiteral("-frames:v"),
                 QStringLiteral("200"), QStringLiteral("-q:v"), QStringLiteral("3"), pattern});
    if (status != 0)
        return false;
    for (int i = 0; i < 100; ++i) {
        QFile::rename(QString::asprintf("%s/frame_%03d.jpg", qPrintable(folder), 2 * i + 1),
                      QStringLiteral("%1/%2_old.jpg").arg(before).arg(i));
        QFile::rename(QString::asprintf("%s/frame_%03d.jpg", qPrintable(folder), 2 * i + 2),
                      QStringLiteral("%1/%2_new.jpg").arg(after).arg(i));
    }
    return QFileInfo::exists(after + QStringLiteral("/99_new.jpg"));
}

struct BatchRound {
    double ms = 0;
    double longestGap = 0;
    size_t pairs = 0;
};

// One batch through the window's hookup, as the user runs it; waits on an event loop that the
// finishing signal quits, so the GUI thread sleeps while the workers decode.
BatchRound runBatch(const QString &folder, const QTemporaryDir &dir)
{
    QSettings settings(dir.filePath(QStringLiteral("batch.ini")), QSettings::IniFormat);
    ContentViewOptions options;
    options.useDefaultUpdateURL = false;
    options.installWorkspaces = false;
    ContentView view(settings, std::move(options));
    auto dialogs = std::make_unique<BenchDialogs>();
    dialogs->folders = {folder + QStringLiteral("/before"), folder + QStringLiteral("/after")};
    auto *hookup = new ImageComparisonHookup(view, std::move(dialogs));
    hookup->session().presentBatchComparisonSheet();
    hookup->session().chooseBatchComparisonFolder(false);
    hookup->session().chooseBatchComparisonFolder(true);
    {
        // The sheet is on screen before the run starts, as it is for the user.
        QEventLoop shown;
        QTimer::singleShot(200, &shown, &QEventLoop::quit);
        shown.exec();
    }
    BatchRound round;
    QElapsedTimer heartbeat;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        round.longestGap = std::max(round.longestGap, double(heartbeat.restart()));
    });
    QEventLoop loop;
    QObject::connect(&hookup->session(), &ImageComparisonSession::batchComparisonFinished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    const auto start = Clock::now();
    heartbeat.start();
    timer.start();
    hookup->session().runBatchComparison();
    loop.exec();
    round.ms = ms(start);
    timer.stop();
    round.pairs = view.viewModel().comparisonPairs().size();
    return round;
}

// The peer: djpeg decoding every file at full size, one after another, started by a shell (a
// plain process, not forked from this large one for each file). Negative when djpeg is missing.
double runDjpegLoop(const QStringList &files)
{
    if (QStandardPaths::findExecutable(QStringLiteral("djpeg")).isEmpty())
        return -1;
    QProcess shell;
    shell.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList arguments{QStringLiteral("-c"),
                          QStringLiteral("for f do djpeg -outfile /dev/null \"$f\" || exit 1; done"),
                          QStringLiteral("sh")};
    arguments += files;
    const auto start = Clock::now();
    shell.start(QStringLiteral("/bin/sh"), arguments);
    if (!shell.waitForFinished(-1) || shell.exitCode() != 0)
        return -1;
    return ms(start);
}

void printMinMedian(const char *name, std::vector<double> values, const char *unit)
{
    std::sort(values.begin(), values.end());
    std::printf("  %-34s min %8.2f%s  median %8.2f%s\n", name, values.front(), unit, values[values.size() / 2], unit);
}

void benchBatch(const QString &folder, const QTemporaryDir &dir)
{
    QStringList files;
    for (int i = 0; i < 100; ++i) {
        files.append(QStringLiteral("%1/before/%2_old.jpg").arg(folder).arg(i));
        files.append(QStringLiteral("%1/after/%2_new.jpg").arg(folder).arg(i));
    }
    const double rssBefore = statusMB("VmRSS:");
    std::vector<double> ours, peer, ratio;
    double longestGap = 0;
    for (int round = 0; round < 3; ++round) {
        const BatchRound batch = runBatch(folder, dir);
        const double djpeg = runDjpegLoop(files);
        std::printf("  round %d: ours %8.0f ms (%zu pairs), djpeg loop %8.0f ms, ratio %.2f, longest GUI stall %.0f ms\n",
                    round + 1, batch.ms, batch.pairs, djpeg, djpeg > 0 ? batch.ms / djpeg : 0.0, batch.longestGap);
        ours.push_back(batch.ms);
        longestGap = std::max(longestGap, batch.longestGap);
        if (djpeg > 0) {
            peer.push_back(djpeg);
            ratio.push_back(batch.ms / djpeg);
        }
    }
    std::printf("batch of 100 distinct camera-like pairs (4000 x 3000 JPEGs), 3 rounds:\n");
    printMinMedian("ours", ours, " ms");
    if (!peer.empty()) {
        printMinMedian("sequential djpeg loop", peer, " ms");
        printMinMedian("ours / djpeg (goal <= 0.6)", ratio, "   ");
    } else {
        std::printf("  djpeg not installed: no peer\n");
    }
    std::printf("  longest GUI stall %.0f ms (goal 100 ms); resident before %.0f MB, peak %.0f MB (goal below 1024 MB)\n",
                longestGap, rssBefore, statusMB("VmHWM:"));
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

// The CPUs this process may run on.
int usableCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    return sched_getaffinity(0, sizeof(set), &set) == 0 ? CPU_COUNT(&set) : QThread::idealThreadCount();
}

// Runs this program again on the prepared inputs, under `prefix` (taskset) when given.
void runChild(const QStringList &prefix, const QString &folder)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList arguments = prefix;
    arguments << QCoreApplication::applicationFilePath() << QStringLiteral("--inputs") << folder;
    const QString program = arguments.takeFirst();
    child.start(program, arguments);
    child.waitForFinished(-1);
}

} // namespace

// Without arguments: makes the inputs once, then runs every part pinned to two cores
// (taskset -c 6,7) and on all cores, each in a process of its own. `--inputs FOLDER` runs the
// parts once, as this process is placed.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(AppFont::font(13));
    ImageLimits::configure();
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype inputs = arguments.indexOf(QStringLiteral("--inputs"));
    if (inputs < 0 || inputs + 1 >= arguments.size()) {
        QTemporaryDir photos;
        std::printf("making 200 distinct camera-like 4000 x 3000 JPEGs with ffmpeg...\n");
        std::fflush(stdout);
        if (!makeCameraLikePairs(photos.path())) {
            std::printf("ffmpeg failed or is not installed: no inputs\n");
            return 1;
        }
        if (!QStandardPaths::findExecutable(QStringLiteral("taskset")).isEmpty()) {
            std::printf("\n=== pinned: taskset -c 6,7 ===\n");
            std::fflush(stdout);
            runChild({QStringLiteral("taskset"), QStringLiteral("-c"), QStringLiteral("6,7")}, photos.path());
        }
        std::printf("\n=== all cores ===\n");
        std::fflush(stdout);
        runChild({}, photos.path());
        return 0;
    }
    QTemporaryDir dir;
    std::printf("image comparison on %d cores (load average %s); compare with the peer of the same run\n",
                usableCores(), qPrintable(loadAverage()));
    benchPairing(dir);
    benchBatch(arguments.at(inputs + 1), dir);
    benchSidebar(dir);
    benchDivider();
    std::fflush(stdout);
    return 0;
}
