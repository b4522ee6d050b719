// Saving annotated images straight to the Desktop: PNG or JPEG files, one PDF of the selected
// images, or every image of the list.
#include "model/MarkupViewModel.h"

#include "markup/AnnotationRenderer.h"
#include "markup/DesktopExport.h"
#include "markup/DesktopImageSave.h"
#include "markup/ExportFileNames.h"
#include "model/FileSupport.h"
#include "platform/NewFile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>

using DesktopImageSave::desktopFormat;

namespace {

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
        model.setErrorMessage(DesktopImageSave::failedImageText(index + 1));
    if (written == 0) {
        model.setErrorMessage(QStringLiteral("PDF 生成失败"));
        return false;
    }
    return true;
}

} // namespace

QStringList MarkupViewModel::saveSelectedImagesToDesktop()
{
    return saveSelectedImagesToDesktop(desktopFormat.format, desktopFormat.jpegQuality);
}

QStringList MarkupViewModel::saveSelectedImagesToDesktop(ImageExportFormat format, double jpegQuality)
{
    if (format == ImageExportFormat::Pdf) {
        const std::optional<QString> path = saveSelectedImagesPDFToDesktop();
        return path ? QStringList{*path} : QStringList{};
    }
    const std::optional<DesktopImageSave::Plan> plan = DesktopImageSave::selectedImages(*this, format, jpegQuality);
    if (!plan)
        return {};
    return DesktopImageSave::applyOutcome(*this, *plan, DesktopImageSave::makeFiles(*plan));
}

QStringList MarkupViewModel::saveAllToDesktop()
{
    const std::optional<DesktopImageSave::Plan> plan = DesktopImageSave::allImages(*this);
    if (!plan)
        return {};
    return DesktopImageSave::applyOutcome(*this, *plan, DesktopImageSave::makeFiles(*plan));
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
    int folderError = 0;
    const std::optional<QString> desktop = NewFiles::desktopFolder(&folderError);
    const QString path = QDir(desktop.value_or(NewFiles::desktopLocation())).filePath(suggestedPDFOutputFileName());
    if (!desktop) {
        setErrorMessage(NewFiles::failureText(path, folderError));
        return std::nullopt;
    }
    // The document streams into a new file page by page, which takes its name only once whole;
    // an earlier file of the name (a save within the same second) stays, and this one takes the
    // next free name.
    NewFile file(path);
    if (!file.open()) {
        setErrorMessage(NewFiles::failureText(path, file.errorNumber()));
        return std::nullopt;
    }
    if (!writeSelectedPDF(*this, pages, file.device()) && !file.writeFailed()) {
        file.cancel();
        return std::nullopt;
    }
    // A write the disk refused (a full disk) fails the commit and says why, rather than that the
    // PDF could not be made.
    const std::optional<QString> written = file.commit();
    if (!written) {
        setErrorMessage(NewFiles::failureText(path, file.errorNumber()));
        return std::nullopt;
    }
    setStatusMessage(QStringLiteral("PDF 已保存：") + QFileInfo(*written).fileName());
    return written;
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
