#include "canvas/CanvasFrameSource.h"

#include "video/VideoFrameAnnotationStore.h"

CanvasFrameSource::~CanvasFrameSource() = default;

VideoStoreFrameSource::VideoStoreFrameSource(VideoFrameAnnotationStore *store, QObject *parent)
    : CanvasFrameSource(parent), m_store(store)
{
    if (!store)
        return;
    connect(store, &VideoFrameAnnotationStore::currentFrameImageChanged, this, [this](const QImage &frame) {
        m_frame = frame;
        Q_EMIT frameChanged();
    });
}

void StaticFrameSource::setFrame(const QImage &frame)
{
    m_frame = frame;
    Q_EMIT frameChanged();
}
