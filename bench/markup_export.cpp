// Exporting 20 camera-sized images (4000 × 3000, photo-like noise, a few annotations each) to the
// Desktop as PNG files and as one PDF, the way the export buttons do. HOME points into a temporary
// folder. Prints wall time and peak resident memory of each export; the peak is reset before each
// (Linux clear_refs), and the images themselves are counted in the baseline line.
#include "BenchSupport.h"

#include "model/MarkupViewModel.h"
#include "platform/ImageLimits.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <chrono>
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
                                 std::nullopt, 1, i + 1, std::vector<UnitPoint2D>{});
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

using BenchSupport::statusMB;

qint64 folderBytes(const QString &folder)
{
    qint64 total = 0;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files))
        total += info.size();
    return total;
}

template<typename F>
void measure(const char *label, const QString &desktop, F run)
{
    for (const QFileInfo &info : QDir(desktop).entryInfoList(QDir::Files))
        QFile::remove(info.filePath());
    const double before = statusMB("VmRSS:");
    resetPeakRss();
    const auto start = std::chrono::steady_clock::now();
    const qsizetype files = run();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double peak = statusMB("VmHWM:");
    std::printf("%-22s %6.2f s   peak RSS %7.0f MB (+%5.0f MB over the %5.0f MB before)   %lld file(s), %.0f MB\n",
                label, seconds, peak, peak - before, before, static_cast<long long>(files),
                double(folderBytes(desktop)) / (1024 * 1024));
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
                statusMB("VmRSS:"));

    const QString desktop = QDir(home.path()).filePath(QStringLiteral("Desktop"));
    measure("PNG, one file each", desktop, [&] { return model.saveSelectedImagesToDesktop().size(); });
    measure("one PDF", desktop, [&] { return qsizetype(model.saveSelectedImagesPDFToDesktop() ? 1 : 0); });
    if (model.errorMessage())
        std::printf("error: %s\n", qPrintable(*model.errorMessage()));
    return 0;
}
