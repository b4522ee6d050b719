#include "markup/DesktopImageSave.h"

#include "markup/ExportFileNames.h"
#include "model/FileSupport.h"
#include "model/MarkupViewModel.h"
#include "platform/NewFile.h"

#include <QDir>

#include <algorithm>
#include <cstdio>

namespace DesktopImageSave {

namespace {

QString extensionOf(ImageExportFormat format)
{
    switch (format) {
    case ImageExportFormat::Png:
        return QStringLiteral("png");
    case ImageExportFormat::Jpeg:
        return QStringLiteral("jpg");
    case ImageExportFormat::Pdf:
        return QStringLiteral("pdf");
    }
    return QString();
}

// "base-NN-标注-timestamp.ext", NN the position among the images of this save.
QString imageFileName(const QString &fileName, qsizetype position, const QString &timestamp, ImageExportFormat format)
{
    char number[24];
    std::snprintf(number, sizeof number, "%02lld", static_cast<long long>(position));
    const QString tail = QStringLiteral("-") + QString::fromLatin1(number) + QStringLiteral("-标注-") + timestamp
        + u'.' + extensionOf(format);
    return ExportFileNames::fittedFileName(ExportFileNames::baseName(fileName), tail);
}

// The images with these ids, numbered by their position in `ids`, all with one timestamp.
Plan makePlan(const MarkupViewModel &model, std::vector<QUuid> ids, ImageExportFormat format, double jpegQuality)
{
    Plan plan;
    plan.format = format;
    plan.jpegQuality = jpegQuality;
    const std::optional<QString> desktop = NewFiles::desktopFolder(&plan.desktopErrorNumber);
    plan.hasDesktop = desktop.has_value();
    const QDir folder(desktop.value_or(NewFiles::desktopLocation()));
    const QString timestamp = FileSupport::exportTimestamp();
    for (size_t i = 0; i < ids.size(); ++i) {
        const auto item = std::find_if(model.items().begin(), model.items().end(),
                                       [&](const ImageMarkupItem &candidate) { return candidate.id == ids[i]; });
        DesktopExport::ImageJob job;
        if (item != model.items().end()) {
            // The handle keeps the picture as it is now, whatever happens to the list meanwhile;
            // it is decoded only when its turn comes, and not kept in the shared cache.
            job.image = [handle = item->image] { return handle.imageForOneUse(); };
            job.annotations = item->annotations;
            // Without a Desktop the write fails and reports the file it could not write.
            job.path = folder.filePath(imageFileName(item->fileName, qsizetype(i) + 1, timestamp, format));
        } else {
            job.image = [] { return QImage(); };
        }
        plan.jobs.push_back(std::move(job));
    }
    plan.ids = std::move(ids);
    return plan;
}

} // namespace

QString failedImageText(qsizetype position)
{
    return QStringLiteral("第 %1 张图片无法生成").arg(position);
}

QString progressText(size_t done, size_t total)
{
    return QStringLiteral("正在保存 %1/%2 张图片到桌面…").arg(done).arg(total);
}

std::optional<Plan> selectedImages(MarkupViewModel &model, ImageExportFormat format, double jpegQuality)
{
    std::vector<QUuid> ids;
    for (const ImageMarkupItem &item : model.selectedImageItems())
        ids.push_back(item.id);
    if (ids.empty()) {
        model.setErrorMessage(QStringLiteral("请先选择要保存的图片"));
        return std::nullopt;
    }
    Plan plan = makePlan(model, std::move(ids), format, jpegQuality);
    plan.successText = QStringLiteral("已保存 %1 张图片到桌面");
    plan.nothingSavedText = QStringLiteral("保存失败");
    return plan;
}

std::optional<Plan> allImages(MarkupViewModel &model)
{
    if (model.items().empty()) {
        model.setErrorMessage(QStringLiteral("没有可保存的图片"));
        return std::nullopt;
    }
    std::vector<QUuid> ids;
    for (const ImageMarkupItem &item : model.items())
        ids.push_back(item.id);
    Plan plan = makePlan(model, std::move(ids), desktopFormat.format, desktopFormat.jpegQuality);
    plan.successText = QStringLiteral("已批量保存 %1 张图片到桌面");
    plan.nothingSavedText = QStringLiteral("批量保存失败");
    return plan;
}

std::vector<DesktopExport::JobResult> makeFiles(const Plan &plan, const std::function<void(size_t done)> &finished)
{
    if (plan.hasDesktop)
        return DesktopExport::renderAndWrite(plan.jobs, plan.format, plan.jpegQuality, finished);
    // Nothing can be written: every image that exists fails at its write, unrendered.
    std::vector<DesktopExport::JobResult> results;
    for (const DesktopExport::ImageJob &job : plan.jobs) {
        results.push_back({!job.path.isEmpty(), NewFiles::failureText(job.path, plan.desktopErrorNumber), QString()});
        if (finished)
            finished(results.size());
    }
    return results;
}

QStringList applyOutcome(MarkupViewModel &model, const Plan &plan, const std::vector<DesktopExport::JobResult> &results)
{
    QStringList written;
    QStringList numbered; // files whose own name was taken
    std::vector<ImageMarkupItem> items = model.items();
    for (size_t i = 0; i < plan.ids.size() && i < results.size(); ++i) {
        const DesktopExport::JobResult &result = results[i];
        if (!result.rendered) {
            model.setErrorMessage(failedImageText(qsizetype(i) + 1));
            continue;
        }
        if (result.writeError) {
            model.setErrorMessage(*result.writeError);
            continue;
        }
        for (ImageMarkupItem &item : items) {
            if (item.id == plan.ids[i]) {
                item.savedURL = result.path;
                break;
            }
        }
        written << result.path;
        if (result.path != plan.jobs[i].path)
            numbered << result.path;
    }
    model.setItems(std::move(items));
    model.setStatusMessage(written.isEmpty() ? plan.nothingSavedText
                                             : plan.successText.arg(written.size()) + FileSupport::numberedNamesNote(numbered));
    return written;
}

} // namespace DesktopImageSave
