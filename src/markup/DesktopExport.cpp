#include "markup/DesktopExport.h"

#include "markup/AnnotationRenderer.h"
#include "markup/ExportPipeline.h"
#include "platform/SystemMemory.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>


namespace DesktopExport {

namespace {

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

std::vector<JobResult> renderAndWrite(const std::vector<ImageJob> &jobs, ImageExportFormat format, double jpegQuality,
                                      const std::function<void(size_t done)> &finished)
{
    std::vector<JobResult> results(jobs.size());
    ExportPipeline::run<JobResult>(
        jobs.size(), [&](size_t i) { return jobs[i].image(); },
        [&](size_t i, QImage image) {
            return runJob(std::move(image), jobs[i].annotations, jobs[i].path, format, jpegQuality);
        },
        [&](size_t i, std::optional<JobResult> result) {
            // A null picture leaves its result "not rendered".
            if (result)
                results[i] = *result;
            if (finished)
                finished(i + 1);
            return true;
        });
    // The pictures, bitmaps and encoded files of a batch pass through the workers' heaps, which
    // otherwise keep the freed pages for the rest of the session.
    SystemMemory::returnFreedMemory();
    return results;
}

} // namespace DesktopExport
