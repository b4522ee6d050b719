#include "compression/ImageCompressionModel.h"

#include "platform/NewFile.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace ImageCompressionMaxDimensions {

std::optional<ImageCompressionMaxDimension> fromRawValue(int value)
{
    for (const auto dimension : allCases)
        if (rawValue(dimension) == value)
            return dimension;
    return std::nullopt;
}

int rawValue(ImageCompressionMaxDimension dimension)
{
    return static_cast<int>(dimension);
}

QString title(ImageCompressionMaxDimension dimension)
{
    if (dimension == ImageCompressionMaxDimension::original)
        return QStringLiteral("原尺寸");
    return QString::number(rawValue(dimension));
}

} // namespace ImageCompressionMaxDimensions

ImageCompressionSettings::ImageCompressionSettings(double quality, ImageCompressionMaxDimension dimension)
    : jpegQuality(std::isnan(quality) ? 0.2 : std::min(std::max(quality, 0.2), 0.95))
    , maxDimension(dimension)
{
}

double ImageCompressionResult::savedRatio() const
{
    if (originalBytes < 1)
        return 0;
    return 1.0 - static_cast<double>(compressedBytes) / static_cast<double>(originalBytes);
}

ImageCompressionServiceError::ImageCompressionServiceError(Kind kind, const QString &path, int frameIndex,
                                                           const QString &reason)
    : m_kind(kind)
    , m_path(path)
    , m_frameIndex(frameIndex)
    , m_reason(reason)
    , m_utf8(description().toStdString())
{
}

QString ImageCompressionServiceError::description() const
{
    const QString fileName = QFileInfo(m_path).fileName();
    const QString frameNumber = QString::number(static_cast<qint64>(m_frameIndex) + 1);
    const QString reasonNote = m_reason.isEmpty() ? QString() : QStringLiteral("（") + m_reason + QStringLiteral("）");
    switch (m_kind) {
    case Kind::noReadableImage:
        return QStringLiteral("无法读取图片：") + fileName;
    case Kind::imageTooLarge:
        return QStringLiteral("图片过大，无法处理：") + fileName;
    case Kind::unsupportedImage:
        return QStringLiteral("暂不支持该图片格式：") + fileName;
    case Kind::cropUnsupported:
        return QStringLiteral("GIF 暂不支持裁剪：") + fileName;
    case Kind::cropTooSmall:
        return QStringLiteral("裁剪区域太小：") + fileName;
    case Kind::cropFailed:
        return QStringLiteral("无法裁剪图片：") + fileName;
    case Kind::cannotCreateDestination:
        return QStringLiteral("无法创建输出文件：") + m_path + reasonNote;
    case Kind::cannotReadFrame:
        return QStringLiteral("无法读取 GIF 第 ") + frameNumber + QStringLiteral(" 帧");
    case Kind::cannotResizeFrame:
        return QStringLiteral("无法处理 GIF 第 ") + frameNumber + QStringLiteral(" 帧");
    case Kind::cannotFinalize:
        return QStringLiteral("无法写入压缩结果：") + m_path + reasonNote;
    case Kind::cannotReadFileSize:
        return QStringLiteral("无法读取文件大小：") + m_path;
    case Kind::cannotWriteOutput:
        return QStringLiteral("无法写入 ") + m_path + QStringLiteral("：") + m_reason;
    }
    return {};
}

QString ImageCompressionServiceError::reasonOf(int errorNumber)
{
    return errorNumber != 0 ? NewFiles::failureReason(errorNumber) : QString();
}

QString ImageCompressionServiceError::sharedReason() const
{
    const QString reasonNote = m_reason.isEmpty() ? QString() : QStringLiteral("（") + m_reason + QStringLiteral("）");
    switch (m_kind) {
    case Kind::noReadableImage:
        return QStringLiteral("无法读取图片");
    case Kind::imageTooLarge:
        return QStringLiteral("图片过大，无法处理");
    case Kind::unsupportedImage:
        return QStringLiteral("暂不支持该图片格式");
    case Kind::cropUnsupported:
        return QStringLiteral("GIF 暂不支持裁剪");
    case Kind::cropTooSmall:
        return QStringLiteral("裁剪区域太小");
    case Kind::cropFailed:
        return QStringLiteral("无法裁剪图片");
    case Kind::cannotCreateDestination:
        return QStringLiteral("无法创建输出文件") + reasonNote;
    case Kind::cannotReadFrame:
        return QStringLiteral("无法读取 GIF 的帧");
    case Kind::cannotResizeFrame:
        return QStringLiteral("无法处理 GIF 的帧");
    case Kind::cannotFinalize:
        return QStringLiteral("无法写入压缩结果") + reasonNote;
    case Kind::cannotReadFileSize:
        return QStringLiteral("无法读取文件大小");
    case Kind::cannotWriteOutput:
        return description();
    }
    return {};
}
