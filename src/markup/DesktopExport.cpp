#include "markup/DesktopExport.h"

#include "markup/AnnotationRenderer.h"
#include "platform/DecodeBudget.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <deque>
#include <future>
#include <memory>
#include <system_error>

namespace DesktopExport {

namespace {

// Bytes a picture in flight costs per pixel: its decoded source, the rendered bitmap and roughly
// as much again for the encoded file.
constexpr qint64 bytesPerPixelInFlight = 12;
// Encoding is CPU-bound; beyond a few threads the disk and memory become the limit.
constexpr int maxWorkers = 4;

int workerCount()
{
    // QPainter on a QImage, text included, works outside the GUI thread since Qt 5; the label
    // layout cache is guarded by its own lock.
    return std::clamp(QThread::idealThreadCount(), 1, maxWorkers);
}

JobResult runJob(QImage image, const std::vector<MarkupAnnotation> &annotations, const QString &path,
                 ImageExportFormat format, double jpegQuality)
{
    JobResult result;
    std::optional<QByteArray> data = encodedImage(image, annotations, format, jpegQuality);
    image = QImage(); // the job's hold on the picture ends before the write
    if (!data)
        return result;
    result.rendered = true;
    result.writeError = writeFileAtomically(path, *data);
    return result;
}

} // namespace

std::optional<QString> desktopFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (folder.isEmpty())
        folder = QDir::home().filePath(QStringLiteral("Desktop"));
    if (!QDir().mkpath(folder))
        return std::nullopt;
    return folder;
}

QString writeFailureText(const QString &path)
{
    return QStringLiteral("无法写入文件：") + QFileInfo(path).fileName();
}

std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return writeFailureText(path);
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return writeFailureText(path);
    }
    if (!file.commit())
        return writeFailureText(path);
    return std::nullopt;
}

std::optional<QByteArray> encodedImage(const QImage &image, const std::vector<MarkupAnnotation> &annotations,
                                       ImageExportFormat format, double jpegQuality)
{
    switch (format) {
    case ImageExportFormat::Png:
        return AnnotationRenderer::pngData(image, annotations);
    case ImageExportFormat::Jpeg:
        return AnnotationRenderer::jpegData(image, annotations, jpegQuality);
    case ImageExportFormat::Pdf:
        return std::nullopt;
    }
    return std::nullopt;
}

std::vector<JobResult> renderAndWrite(const std::vector<ImageJob> &jobs, ImageExportFormat format, double jpegQuality)
{
    std::vector<JobResult> results(jobs.size());
    const int workers = workerCount();
    if (workers <= 1) {
        for (size_t i = 0; i < jobs.size(); ++i)
            results[i] = runJob(jobs[i].image(), jobs[i].annotations, jobs[i].path, format, jpegQuality);
        return results;
    }

    struct Running {
        size_t index;
        std::future<JobResult> future;
    };
    std::deque<Running> running;
    const auto finishOldest = [&] {
        results[running.front().index] = running.front().future.get();
        running.pop_front();
    };
    for (size_t i = 0; i < jobs.size(); ++i) {
        while (qsizetype(running.size()) >= workers)
            finishOldest();
        // The picture is fetched here, on the calling thread: an image handle need not be safe to
        // decode from several threads at once.
        QImage image = jobs[i].image();
        if (image.isNull())
            continue; // results[i] stays "not rendered"
        // Running jobs share the decode budget with imports and project opens elsewhere; one job
        // always runs, however large. The job gives its share back when it ends.
        auto held = std::make_shared<DecodeBudget::Reservation>(
            DecodeBudget::pixelBytes(image.width(), image.height(), int(bytesPerPixelInFlight) * 8));
        auto job = [held, image, &annotations = jobs[i].annotations, &path = jobs[i].path, format,
                          jpegQuality]() mutable {
            JobResult result = runJob(std::move(image), annotations, path, format, jpegQuality);
            held->release();
            return result;
        };
        try {
            running.push_back({i, std::async(std::launch::async, job)});
        } catch (const std::system_error &) {
            // No thread to be had: do this one here.
            results[i] = job();
        }
    }
    while (!running.empty())
        finishOldest();
    return results;
}

} // namespace DesktopExport
