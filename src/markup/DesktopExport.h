#pragma once

#include "model/MarkupAnnotation.h"
#include "model/MarkupViewModelTypes.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// The file side of the Desktop exports: rendering, encoding and writing several images while the
// caller waits. The files are NewFiles: a taken name gets the next free one ("a-标注-….png" →
// "…-2.png"), so two saves within one second both stay.
namespace DesktopExport {

// The annotated image encoded as PNG or JPEG (quality clamped to 0.1…1.0); nothing for PDF, for
// an empty image or when rendering or encoding fails.
std::optional<QByteArray> encodedImage(const QImage &image, const std::vector<MarkupAnnotation> &annotations,
                                       ImageExportFormat format, double jpegQuality);

struct ImageJob {
    // Called on the calling thread just before the job starts, so only the pictures of running
    // jobs are held; a null image fails the job.
    std::function<QImage()> image;
    std::vector<MarkupAnnotation> annotations;
    QString path;
};

struct JobResult {
    bool rendered = false;
    // The write failure text; nothing when written (or not rendered).
    std::optional<QString> writeError;
    // The file written: the job's path, or the next free name when that was taken.
    QString path;

    bool written() const { return rendered && !writeError; }
};

// Renders, encodes and writes every job and returns once all are done, results in job order.
// Several jobs run at a time on worker threads, as many as the cores and a memory budget for the
// pictures in flight allow; each picture is released as soon as its file is written. `finished`,
// when given, is called on the calling thread with the number of jobs done so far, each time one
// more is done (in job order). Memory the batch freed is handed back to the system at the end.
std::vector<JobResult> renderAndWrite(const std::vector<ImageJob> &jobs, ImageExportFormat format,
                                      double jpegQuality, const std::function<void(size_t done)> &finished = {});

} // namespace DesktopExport
