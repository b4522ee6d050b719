// Saving annotated images straight to the Desktop: PNG or JPEG files, one PDF of the selected
// images, or every image of the list.
#include "model/MarkupViewModel.h"

#include "markup/AnnotationRenderer.h"
#include "markup/DesktopExport.h"
#include "markup/ExportFileNames.h"
#include "model/FileSupport.h"

#include <QBuffer>
#include <QDir>
#include <QSaveFile>

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

QString failedImageText(qsizetype position)
{
    return QStringLiteral("第 %1 张图片无法生成").arg(position);
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

// Writes the images with these ids as PNG or JPEG files on the Desktop, numbered by their position
// in `ids`, all with one timestamp. Records each written file in its item's savedURL and reports
// per-image failures in errorMessage (the last one stays) and the count in statusMessage.
QStringList saveImagesToDesktop(MarkupViewModel &model, const std::vector<QUuid> &ids, ImageExportFormat format,
                                double jpegQuality, const QString &successText, const QString &nothingSavedText)
{
    const std::optional<QString> desktop = DesktopExport::desktopFolder();
    const QString timestamp = FileSupport::exportTimestamp();
    const auto findItem = [&model](const QUuid &id) -> const ImageMarkupItem * {
        for (const ImageMarkupItem &item : model.items()) {
            if (item.id == id)
                return &item;
        }
        return nullptr;
    };

    std::vector<DesktopExport::ImageJob> jobs;
    for (size_t i = 0; i < ids.size(); ++i) {
        const ImageMarkupItem *item = findItem(ids[i]);
        DesktopExport::ImageJob job;
        if (item) {
            const QUuid id = ids[i];
            job.image = [findItem, id] {
                const ImageMarkupItem *current = findItem(id);
                return current ? current->image.image() : QImage();
            };
            job.annotations = item->annotations;
            // Without a Desktop the write fails and reports the file it could not write.
            const QString name = imageFileName(item->fileName, qsizetype(i) + 1, timestamp, format);
            job.path = desktop ? QDir(*desktop).filePath(name) : name;
        } else {
            job.image = [] { return QImage(); };
        }
        jobs.push_back(std::move(job));
    }
    std::vector<DesktopExport::JobResult> results;
    if (desktop) {
        results = DesktopExport::renderAndWrite(jobs, format, jpegQuality);
    } else {
        // Nothing can be written: every image that exists fails at its write, unrendered.
        for (const DesktopExport::ImageJob &job : jobs)
            results.push_back({!job.path.isEmpty(), DesktopExport::writeFailureText(job.path)});
    }

    // Outcomes are applied in order, as if the images had been saved one after another.
    QStringList written;
    std::vector<ImageMarkupItem> items = model.items();
    for (size_t i = 0; i < ids.size(); ++i) {
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
            if (item.id == ids[i]) {
                item.savedURL = jobs[i].path;
                break;
            }
        }
        written << jobs[i].path;
    }
    model.setItems(std::move(items));
    model.setStatusMessage(written.isEmpty() ? nothingSavedText : successText.arg(written.size()));
    return written;
}

// The selected images as PDF pages, in list order.
std::vector<AnnotationRenderPage> selectedPages(const MarkupViewModel &model)
{
    std::vector<AnnotationRenderPage> pages;
    for (const ImageMarkupItem &item : model.selectedImageItems())
        pages.push_back(AnnotationRenderPage{item.image, item.annotations});
    return pages;
}

// Writes the pages into the device and reports the pages left out; false (with "PDF 生成失败")
// when no page could be written.
bool writeSelectedPDF(MarkupViewModel &model, const std::vector<AnnotationRenderPage> &pages, QIODevice &device)
{
    std::vector<qsizetype> skipped;
    const int written = AnnotationRenderer::writePdf(pages, device, &skipped);
    for (const qsizetype index : skipped)
        model.setErrorMessage(failedImageText(index + 1));
    if (written == 0) {
        model.setErrorMessage(QStringLiteral("PDF 生成失败"));
        return false;
    }
    return true;
}

} // namespace

std::optional<QByteArray> MarkupViewModel::exportImageData(const ImageMarkupItem &item, ImageExportFormat format,
                                                           double jpegQuality)
{
    return DesktopExport::encodedImage(item.image.image(), item.annotations, format, jpegQuality);
}

QStringList MarkupViewModel::saveSelectedImagesToDesktop()
{
    return saveSelectedImagesToDesktop(ImageExportFormat::Png, 0.9);
}

QStringList MarkupViewModel::saveSelectedImagesToDesktop(ImageExportFormat format, double jpegQuality)
{
    if (format == ImageExportFormat::Pdf) {
        const std::optional<QString> path = saveSelectedImagesPDFToDesktop();
        return path ? QStringList{*path} : QStringList{};
    }
    const std::vector<ImageMarkupItem> selected = selectedImageItems();
    if (selected.empty()) {
        setErrorMessage(QStringLiteral("请先选择要保存的图片"));
        return {};
    }
    std::vector<QUuid> ids;
    for (const ImageMarkupItem &item : selected)
        ids.push_back(item.id);
    return saveImagesToDesktop(*this, ids, format, jpegQuality, QStringLiteral("已保存 %1 张图片到桌面"),
                               QStringLiteral("保存失败"));
}

QStringList MarkupViewModel::saveAllToDesktop()
{
    if (m_items.empty()) {
        setErrorMessage(QStringLiteral("没有可保存的图片"));
        return {};
    }
    std::vector<QUuid> ids;
    for (const ImageMarkupItem &item : m_items)
        ids.push_back(item.id);
    return saveImagesToDesktop(*this, ids, ImageExportFormat::Png, 0.9, QStringLiteral("已批量保存 %1 张图片到桌面"),
                               QStringLiteral("批量保存失败"));
}

std::optional<QByteArray> MarkupViewModel::selectedImagesPDFData()
{
    const std::vector<AnnotationRenderPage> pages = selectedPages(*this);
    if (pages.empty()) {
        setErrorMessage(QStringLiteral("请先选择要另存为 PDF 的图片"));
        return std::nullopt;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !writeSelectedPDF(*this, pages, buffer)) {
        if (!buffer.isOpen())
            setErrorMessage(QStringLiteral("PDF 生成失败"));
        return std::nullopt;
    }
    buffer.close();
    return bytes;
}

std::optional<QString> MarkupViewModel::saveSelectedImagesPDFToDesktop()
{
    const std::vector<AnnotationRenderPage> pages = selectedPages(*this);
    if (pages.empty()) {
        setErrorMessage(QStringLiteral("请先选择要另存为 PDF 的图片"));
        return std::nullopt;
    }
    const std::optional<QString> desktop = DesktopExport::desktopFolder();
    const QString name = suggestedPDFOutputFileName();
    const QString path = desktop ? QDir(*desktop).filePath(name) : name;
    if (!desktop) {
        setErrorMessage(DesktopExport::writeFailureText(path));
        return std::nullopt;
    }
    // The document streams into the file page by page; nothing replaces an earlier file of the
    // name unless the whole document was written.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setErrorMessage(DesktopExport::writeFailureText(path));
        return std::nullopt;
    }
    if (!writeSelectedPDF(*this, pages, file)) {
        file.cancelWriting();
        return std::nullopt;
    }
    if (!file.commit()) {
        setErrorMessage(DesktopExport::writeFailureText(path));
        return std::nullopt;
    }
    setStatusMessage(QStringLiteral("PDF 已保存：") + name);
    return path;
}

QString MarkupViewModel::suggestedPDFOutputFileName() const
{
    const std::vector<ImageMarkupItem> selected = selectedImageItems();
    const QString base = selected.size() == 1 ? ExportFileNames::baseName(selected.front().fileName)
                                              : QStringLiteral("标注图片-%1张").arg(selected.size());
    return ExportFileNames::fittedFileName(base, QStringLiteral("-") + FileSupport::exportTimestamp()
                                                     + QStringLiteral(".pdf"));
}

QString MarkupViewModel::suggestedOutputFileName() const
{
    return suggestedOutputFileName(QStringLiteral("png"));
}

QString MarkupViewModel::suggestedOutputFileName(const QString &pathExtension) const
{
    const std::optional<ImageMarkupItem> current = selectedItem();
    const QString base = current ? ExportFileNames::baseName(current->fileName) : ExportFileNames::fallbackBase();
    return ExportFileNames::fittedFileName(base, QStringLiteral("-标注-") + FileSupport::exportTimestamp() + u'.'
                                                     + pathExtension);
}
