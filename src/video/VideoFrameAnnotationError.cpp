#include "video/VideoFrameAnnotationError.h"

QString localizedDescription(VideoFrameAnnotationError error)
{
    switch (error) {
    case VideoFrameAnnotationError::videoTrackMissing:
        return QStringLiteral("没有找到可读取的视频画面");
    case VideoFrameAnnotationError::invalidDuration:
        return QStringLiteral("视频时长无法读取");
    }
    return {};
}
