#pragma once

#include <QString>

// Why a video could not be loaded, in the program's own words.
enum class VideoFrameAnnotationError {
    videoTrackMissing,
    invalidDuration,
};

QString localizedDescription(VideoFrameAnnotationError error);

// Texts of the video store that are not errors of their own type.
namespace VideoFrameAnnotationText {
// Every failure of the media library to read the file (its own messages are English).
inline QString videoUnreadable() { return QStringLiteral("视频文件无法打开"); }
inline QString frameUnreadable() { return QStringLiteral("当前帧无法读取"); }
inline QString importVideoFirst() { return QStringLiteral("请先导入视频"); }
inline QString pleaseImport() { return QStringLiteral("请导入视频"); }
} // namespace VideoFrameAnnotationText
