#include "canvas/CanvasFrameSource.h"

CanvasFrameSource::~CanvasFrameSource() = default;

void StaticFrameSource::setFrame(const QImage &frame)
{
    m_frame = frame;
    Q_EMIT frameChanged();
}
