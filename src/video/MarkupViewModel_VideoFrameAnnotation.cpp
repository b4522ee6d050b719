#include "model/MarkupViewModel.h"

#include "markup/ExportFileNames.h"
#include "model/FileSupport.h"
#include "platform/ImageDecoding.h"
#include "video/VideoFrameSave.h"
#include "video/VideoFrameSnapshot.h"


#include <algorithm>
#include <array>

namespace {

constexpr std::array<MarkupTool, 5> videoTools{MarkupTool::Select, MarkupTool::Arrow, MarkupTool::Text,
                                               MarkupTool::Rectangle, MarkupTool::Brush};

bool isVideoTool(MarkupTool tool)
{
    return std::find(videoTools.begin(), videoTools.end(), tool) != videoTools.end();
}

} // namespace

bool MarkupViewModel::loadVideoFrame(const VideoFrameSnapshot &snapshot, bool keepAnnotations)
{
    std::vector<MarkupAnnotation> carried;
    if (const std::optional<qsizetype> index = selectedIndex()) {
        const ImageMarkupItem &current = m_items[size_t(*index)];
        if (keepAnnotations || current.fileName == snapshot.fileName)
            carried = current.annotations;
    }
    if (snapshot.image.isNull()) {
        setErrorMessage(QStringLiteral("视频帧无法解析"));
        return false;
    }

    ImageMarkupItem item;
    item.id = QUuid::createUuid();
    item.fileName = snapshot.fileName;
    item.image = ImageHandle(snapshot.image);
    item.thumbnail = ImageHandle(ImageDecoding::makeThumbnail(snapshot.image, 96));
    item.pixelSize = QSizeF(snapshot.image.size());
    item.annotations = std::move(carried);
    const QUuid id = item.id;

    setItems({std::move(item)});
    setSelectedItemID(id);
    setSelectedImageItemIDs({id});
    setSelectedAnnotationID(std::nullopt);
    setSelectedAnnotationIDs({});
    setSelectedAnnotationPart(AnnotationSelectionPart::Shape);
    setDraftAnnotation(std::nullopt);
    setSelectionRect(std::nullopt);
    setCropRect(std::nullopt);
    setColorSamplePreview(std::nullopt);
    setColorSampleLocked(false);
    setEditingTextAnnotationID(std::nullopt);
    setPendingTextFocusID(std::nullopt);
    m_undoSnapshotsByItemID.clear();
    m_redoSnapshotsByItemID.clear();
    setStatusMessage(QStringLiteral("已取帧：") + snapshot.timecode);
    return true;
}

std::optional<QString> MarkupViewModel::saveAnnotatedVideoFrame(const QString &timecode)
{
    const std::optional<VideoFrameSave::Job> job = VideoFrameSave::prepare(*this, timecode);
    if (!job)
        return std::nullopt;
    return VideoFrameSave::finish(*this, *job, VideoFrameSave::write(*job));
}

QString MarkupViewModel::videoFrameExportFileName(const ImageMarkupItem &item, const QString &timecode,
                                                  const QString &timestamp)
{
    QString base = ExportFileNames::safePathComponent(
        ExportFileNames::deletingPathExtension(item.fileName).trimmed());
    if (base.isEmpty())
        base = QStringLiteral("视频取帧");
    const QString dashed = QString(timecode).replace(u':', u'-');
    const QString end = QStringLiteral("-") + timestamp + QStringLiteral(".png");
    const QString named = ExportFileNames::fittedFileName(base, QStringLiteral("-标注") + end);
    // A long base loses its end to the byte limit; the timecode it held then goes after "-标注".
    if (base.contains(dashed) && named.contains(dashed))
        return named;
    return ExportFileNames::fittedFileName(base, QStringLiteral("-标注-") + dashed + end);
}

QString MarkupViewModel::videoFrameExportFileName(const ImageMarkupItem &item, const QString &timecode)
{
    return videoFrameExportFileName(item, timecode, FileSupport::exportTimestamp());
}

std::vector<MarkupTool> MarkupViewModel::videoFrameToolOrder() const
{
    std::vector<MarkupTool> tools;
    for (MarkupTool tool : m_toolOrder)
        if (isVideoTool(tool) && std::find(tools.begin(), tools.end(), tool) == tools.end())
            tools.push_back(tool);
    for (MarkupTool tool : videoTools)
        if (std::find(tools.begin(), tools.end(), tool) == tools.end())
            tools.push_back(tool);
    return tools;
}

bool MarkupViewModel::handleVideoFrameShortcut(const QString &command)
{
    return handleShortcut(command, ShortcutScope{videoFrameToolOrder(), false});
}
