// Exporting 20 camera-sized images (4000 × 3000, photo-like noise, a few annotations each) to the
// Desktop as PNG files and as one PDF, the way the export buttons do. HOME points into a temporary
// folder. Prints wall time and peak resident memory of each export; the peak is reset before each
// (Linux clear_refs), and the images themselves are counted in the baseline line.
//
// The peer: `vips copy` writing the same rendered pixels (handed over as vips images, so it only
// encodes) to PNG in as many processes at once as the export uses threads. Goals: PNG export at
// most 1.0 × the peer, files at most 1.1 × the size Qt's PNG writer gives; the PDF at most 1.0 ×
// our PNG export. Run it pinned too: `taskset -c 6,7 bench_markup_export [rounds]`.
#include "BenchSupport.h"

#include "markup/AnnotationRenderer.h"
#include "markup/ExportPipeline.h"
#include "model/MarkupViewModel.h"
#include "platform/ImageLimits.h"
#include "platform/ParallelWork.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <random>

namespace {

constexpr int imageCount = 20;
constexpr int width = 4000;
constexpr int height = 3000;

// Smooth colour gradients with per-pixel sensor noise: compresses about as badly as a photo.
QImage photoLikeImage(unsigned seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::minstd_rand random(seed);
    for (int y = 0; y < height; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const unsigned noise = random();
            const int n = int(noise & 15) - 8;
            const int r = std::clamp((x * 200) / width + 30 + n, 0, 255);
            const int g = std::clamp((y * 180) / height + 40 + int((noise >> 4) & 15) - 8, 0, 255);
            const int b = std::clamp(((x + y) * 120) / (width + height) + 80 + int((noise >> 8) & 15) - 8, 0, 255);
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
}

std::vector<MarkupAnnotation> someAnnotations()
{
    std::vector<MarkupAnnotation> annotations;
    for (int i = 0; i < 6; ++i) {
        const double x = 0.1 + 0.13 * i;
        const AnnotationKind kind = i % 3 == 0 ? AnnotationKind::Arrow
            : i % 3 == 1                      ? AnnotationKind::Rectangle
                                              : AnnotationKind::Text;
        annotations.emplace_back(QUuid::createUuid(), kind, UnitPoint2D(x, 0.2), UnitPoint2D(x + 0.1, 0.5),
                                 QStringLiteral("标注 %1").arg(i + 1), QStringLiteral("#DC2626"), 4, 26, std::nullopt,
                                 std::nullopt, 1, i + 1, QList<UnitPoint2D>{});
    }
    return annotations;
}

// Resets the kernel's peak-RSS counter of this process (Linux 4.0 and later).
void resetPeakRss()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

qint64 folderBytes(const QString &folder)
{
    qint64 total = 0;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files))
        total += info.size();
    return total;
}

template<typename F>
double measure(const char *label, const QString &desktop, F run)
{
    for (const QFileInfo &info : QDir(desktop).entryInfoList(QDir::Files))
        QFile::remove(info.filePath());
    const double before = BenchSupport::statusMB("VmRSS:");
    resetPeakRss();
    const auto start = std::chrono::steady_clock::now();
    const qsizetype files = run();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double peak = BenchSupport::statusMB("VmHWM:");
    std::printf("%-22s %6.2f s   peak RSS %7.0f MB (+%5.0f MB over the %5.0f MB before)   %lld file(s), %.0f MB\n",
                label, seconds, peak, peak - before, before, static_cast<long long>(files),
                double(folderBytes(desktop)) / (1024 * 1024));
    return seconds;
}

// The rendered pictures as vips images in `folder` (not timed): PPM files converted by vips itself.
QStringList peerInputs(const std::vector<ImageMarkupItem> &items, const QString &folder, const QString &vips)
{
    QStringList inputs;
    for (size_t i = 0; i < items.size(); ++i) {
        const QImage bitmap = *AnnotationRenderer::renderedBitmap(items[i].image.image(), items[i].annotations);
        const QString ppm = QDir(folder).filePath(QStringLiteral("%1.ppm").arg(i));
        const QString native = QDir(folder).filePath(QStringLiteral("%1.v").arg(i));
        bitmap.save(ppm, "PPM");
        QProcess::execute(vips, {QStringLiteral("copy"), ppm, native});
        QFile::remove(ppm);
        inputs << native;
    }
    return inputs;
}

// `vips copy` of every input to PNG, `lanes` processes at a time, each taking every lanes-th file.
double peerSeconds(const QStringList &inputs, int lanes, const QString &vips, const QString &folder)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    const auto start = std::chrono::steady_clock::now();
    for (int lane = 0; lane < lanes; ++lane) {
        QString script;
        for (qsizetype i = lane; i < inputs.size(); i += lanes)
            script += QStringLiteral("'%1' copy '%2' '%3/%4.png' && ").arg(vips, inputs[i], folder).arg(i);
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script + QStringLiteral("true")});
    }
    for (auto &process : processes)
        process->waitForFinished(-1);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    qint64 written = 0;
    for (qsizetype i = 0; i < inputs.size(); ++i)
        written += QFileInfo(QStringLiteral("%1/%2.png").arg(folder).arg(i)).size();
    std::printf("%-22s %6.2f s   %d processes, %.0f MB\n", "peer: vips copy", seconds, lanes,
                double(written) / (1024 * 1024));
    return seconds;
}

// Bytes of the first few pictures as Qt's PNG writer (the earlier encoder) writes them.
qint64 qtPngBytes(const std::vector<ImageMarkupItem> &items, int count)
{
    std::vector<qint64> sizes(static_cast<size_t>(count));
    ParallelWork::forEach(count, [&](int i) {
        const QImage bitmap = *AnnotationRenderer::renderedBitmap(items[size_t(i)].image.image(),
                                                                  items[size_t(i)].annotations);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "png").write(bitmap);
        sizes[size_t(i)] = bytes.size();
    });
    qint64 total = 0;
    for (const qint64 size : sizes)
        total += size;
    return total;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    // Before anything asks QStandardPaths: the Desktop is looked up under this home.
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    QApplication app(argc, argv);
    ImageLimits::configure();
    // The one argument: how many rounds to time (default 3).
    const int rounds = std::max(1, argc > 1 ? std::atoi(argv[1]) : 3);

    QSettings settings(home.filePath(QStringLiteral("p.ini")), QSettings::IniFormat);
    MarkupViewModel model(settings);
    std::vector<ImageMarkupItem> items;
    const auto generateStart = std::chrono::steady_clock::now();
    for (int i = 0; i < imageCount; ++i) {
        ImageMarkupItem item;
        item.id = QUuid::createUuid();
        item.fileName = QStringLiteral("IMG_%1.JPG").arg(1000 + i);
        item.image = ImageHandle(photoLikeImage(unsigned(i + 1)));
        item.pixelSize = QSizeF(width, height);
        item.annotations = someAnnotations();
        items.push_back(std::move(item));
    }
    model.setItems(std::move(items));
    model.selectAllImageItems();
    std::printf("%d images of %d x %d generated in %.1f s; resident %.0f MB\n", imageCount, width, height,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - generateStart).count(),
                BenchSupport::statusMB("VmRSS:"));

    const QString desktop = QDir(home.path()).filePath(QStringLiteral("Desktop"));
    const int threads = ExportPipeline::workerCount();
    std::printf("export threads: %d, rounds: %d (the best of each is compared)\n", threads, rounds);
    const auto exportPng = [&] { return model.saveSelectedImagesToDesktop().size(); };
    const auto exportPdf = [&] { return qsizetype(model.saveSelectedImagesPDFToDesktop() ? 1 : 0); };
    double png = measure("PNG, one file each", desktop, exportPng);

    // Our files against Qt's PNG writer for the first pictures, in name order.
    constexpr int sizeSample = 4;
    QFileInfoList written = QDir(desktop).entryInfoList(QDir::Files, QDir::Name);
    qint64 ours = 0;
    for (int i = 0; i < sizeSample && i < written.size(); ++i)
        ours += written[i].size();
    const qint64 qt = qtPngBytes(model.items(), sizeSample);
    std::printf("PNG size, first %d: ours %.1f MB, Qt's writer %.1f MB, ratio %.3f (goal <= 1.10)\n", sizeSample,
                double(ours) / (1024 * 1024), double(qt) / (1024 * 1024), double(ours) / double(qt));

    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vips"));
    QTemporaryDir peer;
    const QStringList inputs = vips.isEmpty() ? QStringList() : peerInputs(model.items(), peer.path(), vips);
    double pdf = INFINITY, peerTime = INFINITY;
    // Rounds alternate ours and the peer, so a busy moment on a shared machine hits both alike.
    for (int round = 0; round < rounds; ++round) {
        if (round > 0)
            png = std::min(png, measure("PNG, one file each", desktop, exportPng));
        pdf = std::min(pdf, measure("one PDF", desktop, exportPdf));
        if (!vips.isEmpty())
            peerTime = std::min(peerTime, peerSeconds(inputs, threads, vips, peer.path()));
    }
    if (model.errorMessage())
        std::printf("error: %s\n", qPrintable(*model.errorMessage()));
    std::printf("best: PNG %.2f s, PDF %.2f s, vips copy %.2f s\n", png, pdf, peerTime);
    std::printf("PDF / our PNG = %.2f (goal <= 1.0)\n", pdf / png);
    if (vips.isEmpty())
        std::printf("vips not installed: no peer comparison\n");
    else
        std::printf("PNG: ours / vips copy = %.2f (goal <= 1.0)\n", png / peerTime);
    return 0;
}
