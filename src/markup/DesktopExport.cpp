#include "markup/DesktopExport.h"

#include "markup/AnnotationRenderer.h"
#include "markup/ExportPipeline.h"
#include "platform/NewFile.h"
#include "platform/SystemMemory.h"



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
    const NewFiles::Written written = NewFiles::writeFile(path, *data);
    if (!written.path)
        result.writeError = written.failure;
    result.path = written.path.value_or(QString());
    return result;
}

} // namespace

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
