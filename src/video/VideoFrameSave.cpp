#include "video/VideoFrameSave.h"

#include "markup/AnnotationRenderer.h"
#include "model/MarkupViewModel.h"
#include "platform/NewFile.h"
#include "platform/PngBandEncoder.h"

#include <QDir>
#include <QFileInfo>

namespace VideoFrameSave {

std::optional<Job> prepare(MarkupViewModel &model, const QString &timecode)
{
    const std::optional<qsizetype> index = model.selectedIndex();
    if (!index) {
        model.setErrorMessage(QStringLiteral("请先导入视频并选择画面"));
        return std::nullopt;
    }
    const ImageMarkupItem &item = model.items()[size_t(*index)];
    Job job;
    job.itemID = item.id;
    job.image = item.image.image();
    job.annotations = item.annotations;
    job.fileName = MarkupViewModel::videoFrameExportFileName(item, timecode);
    job.folder = NewFiles::desktopFolder(&job.folderErrorNumber);
    return job;
}

Outcome write(const Job &job)
{
    // The picture the image exports render, encoded in bands on every core: a 1080p frame is
    // otherwise several times slower to compress than to render.
    std::optional<QByteArray> data;
    if (std::optional<QImage> rendered = AnnotationRenderer::renderedBitmap(job.image, job.annotations)) {
        data = PngBandEncoder::encodeOpaque(*rendered);
        rendered.reset(); // the rendered picture goes before the write
    }
    if (!data)
        return Outcome{std::nullopt, QStringLiteral("无法生成当前帧图片")};
    const QString path = QDir(job.folder.value_or(NewFiles::desktopLocation())).filePath(job.fileName);
    if (!job.folder)
        return Outcome{std::nullopt, NewFiles::failureText(path, job.folderErrorNumber)};
    // A frame saved twice within one second keeps both files: the second takes the next free name.
    NewFiles::Written written = NewFiles::writeFile(path, *data);
    if (!written.path)
        return Outcome{std::nullopt, written.failure};
    return Outcome{written.path, std::nullopt};
}

std::optional<QString> finish(MarkupViewModel &model, const Job &job, const Outcome &outcome)
{
    if (!outcome.path) {
        model.setErrorMessage(outcome.error.value_or(QStringLiteral("无法生成当前帧图片")));
        return std::nullopt;
    }
    std::vector<ImageMarkupItem> items = model.items();
    for (ImageMarkupItem &item : items) {
        if (item.id == job.itemID) {
            item.savedURL = *outcome.path;
            model.setItems(std::move(items));
            break;
        }
    }
    model.setStatusMessage(QStringLiteral("当前帧已保存到桌面：") + QFileInfo(*outcome.path).fileName());
    return outcome.path;
}

} // namespace VideoFrameSave
