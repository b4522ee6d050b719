#include "shell/ShellRules.h"

#include <QFileInfo>
#include <QMimeDatabase>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace ShellRules {

QString workspaceTitle(WorkspaceMode mode)
{
    switch (mode) {
    case WorkspaceMode::Launcher: return QStringLiteral("功能选择");
    case WorkspaceMode::ImageMarkup: return QStringLiteral("图片标注");
    case WorkspaceMode::ImageComparison: return QStringLiteral("图片对比");
    case WorkspaceMode::TextComparison: return QStringLiteral("文案对比");
    case WorkspaceMode::Compression: return QStringLiteral("压缩");
    case WorkspaceMode::VideoFrameAnnotation: return QStringLiteral("视频取帧");
    }
    return {};
}

QString workspaceSystemImage(WorkspaceMode mode)
{
    switch (mode) {
    case WorkspaceMode::Launcher: return QStringLiteral("square.grid.2x2");
    case WorkspaceMode::ImageMarkup: return QStringLiteral("photo");
    case WorkspaceMode::ImageComparison: return QStringLiteral("rectangle.split.2x1");
    case WorkspaceMode::TextComparison: return QStringLiteral("doc.text");
    case WorkspaceMode::Compression: return QStringLiteral("arrow.down.left.and.arrow.up.right");
    case WorkspaceMode::VideoFrameAnnotation: return QStringLiteral("video.badge.waveform");
    }
    return {};
}

QString workspaceHelpText(WorkspaceMode mode)
{
    switch (mode) {
    case WorkspaceMode::Launcher: return QStringLiteral("选择要使用的功能");
    case WorkspaceMode::ImageMarkup: return QStringLiteral("进入图片标注，可添加箭头、文字、框选、画笔、裁剪和取色");
    case WorkspaceMode::ImageComparison: return QStringLiteral("进入图片对比，上传修改前后两张图并滑动查看差异");
    case WorkspaceMode::TextComparison: return QStringLiteral("进入文案对比，上传原文后修改、批注并导出图片、PDF 或 Word");
    case WorkspaceMode::Compression: return QStringLiteral("批量压缩 JPG、PNG 和轻量 GIF，保存为更小文件");
    case WorkspaceMode::VideoFrameAnnotation: return QStringLiteral("上传视频，拖到指定画面后添加标注，并把当前帧保存为图片");
    }
    return {};
}

std::vector<WorkspaceMode> switchableWorkspaces()
{
    return {WorkspaceMode::ImageMarkup, WorkspaceMode::ImageComparison, WorkspaceMode::TextComparison,
            WorkspaceMode::Compression, WorkspaceMode::VideoFrameAnnotation};
}

std::optional<HeaderToolbarMode> headerToolbarMode(WorkspaceMode mode)
{
    switch (mode) {
    case WorkspaceMode::ImageMarkup: return HeaderToolbarMode::ImageMarkup;
    case WorkspaceMode::ImageComparison: return HeaderToolbarMode::ImageComparison;
    case WorkspaceMode::TextComparison: return HeaderToolbarMode::TextComparison;
    case WorkspaceMode::Launcher:
    case WorkspaceMode::Compression:
    case WorkspaceMode::VideoFrameAnnotation: return std::nullopt;
    }
    return std::nullopt;
}

std::vector<HeaderToolbarItem> visibleHeaderToolbarItems(const std::vector<HeaderToolbarItem> &order)
{
    std::vector<HeaderToolbarItem> visible;
    std::copy_if(order.begin(), order.end(), std::back_inserter(visible),
                 [](HeaderToolbarItem item) { return item != HeaderToolbarItem::ImageCanvas; });
    return visible;
}

bool isHeaderItemShown(HeaderToolbarItem item, WorkspaceMode mode)
{
    switch (item) {
    case HeaderToolbarItem::Zoom:
        return mode == WorkspaceMode::ImageMarkup || mode == WorkspaceMode::ImageComparison;
    case HeaderToolbarItem::ImportImage:
    case HeaderToolbarItem::AddToComparison:
    case HeaderToolbarItem::ImageAnnotation:
    case HeaderToolbarItem::ImageExport:
        return mode == WorkspaceMode::ImageMarkup;
    case HeaderToolbarItem::OpenProject:
    case HeaderToolbarItem::SaveProject:
        return mode == WorkspaceMode::TextComparison;
    case HeaderToolbarItem::ImageCanvas:
    case HeaderToolbarItem::AddComparison:
    case HeaderToolbarItem::BatchAddComparison:
        return false;
    }
    return false;
}

bool isHeaderItemDisabled(HeaderToolbarItem item, bool canExport, bool hasSelectedImageItems)
{
    switch (item) {
    case HeaderToolbarItem::AddToComparison:
    case HeaderToolbarItem::ImageAnnotation:
        return !canExport;
    case HeaderToolbarItem::ImageExport:
        return !hasSelectedImageItems;
    default:
        return false;
    }
}

double steppedZoom(double zoom, double step)
{
    return std::min(std::max(zoom + step, 0.25), 30.0);
}

QString zoomPercentText(double zoom)
{
    const double percent = zoom * 100;
    // Truncation toward zero, as the integer conversion of the product does; 0.25 + 0.1 + 0.1
    // is just below 0.45 in binary and so reads "44%".
    const long long whole = std::isfinite(percent) && std::fabs(percent) < 9e18 ? (long long)percent : 0;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld%%", whole);
    return QString::fromLatin1(buffer);
}

std::optional<int> roundedFrameIndex(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::round(value);
    if (rounded < double(INT_MIN) || rounded > double(INT_MAX))
        return std::nullopt;
    return int(std::lround(rounded));
}

DropRoute routeDrop(DroppedKind kind, bool isVideo, WorkspaceMode mode)
{
    if (kind == DroppedKind::Picture)
        return DropRoute::ImportPicture;
    if (isVideo)
        return DropRoute::ImportVideo;
    if (mode == WorkspaceMode::Compression)
        return DropRoute::AddCompressionSources;
    return DropRoute::ImportImageFiles;
}

bool isVideoFile(const QString &path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("mp4") || extension == QLatin1String("mov") || extension == QLatin1String("m4v"))
        return true;
    if (QFileInfo(path).isDir())
        return false;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    return type.isValid() && type.name().startsWith(QLatin1String("video/"));
}

std::vector<UnsavedWork> unsavedWorkQuestions(bool textComparison, bool images, bool videoFrame)
{
    std::vector<UnsavedWork> questions;
    if (textComparison)
        questions.push_back(UnsavedWork::TextComparison);
    if (images)
        questions.push_back(UnsavedWork::Images);
    if (videoFrame)
        questions.push_back(UnsavedWork::VideoFrame);
    return questions;
}

} // namespace ShellRules
