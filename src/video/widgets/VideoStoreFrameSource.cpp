#include "video/widgets/VideoStoreFrameSource.h"

#include "video/VideoFrameAnnotationStore.h"

VideoStoreFrameSource::VideoStoreFrameSource(VideoFrameAnnotationStore *store, QObject *parent)
    : CanvasFrameSource(parent), m_store(store)
{
    if (!store)
        return;
    connect(store, &VideoFrameAnnotationStore::currentFrameImageChanged, this, [this](const QImage &frame) {
        m_frame = frame;
        // The player has just shown this frame, so its scaled copy is this frame's.
        const VideoPlayer *player = m_store ? m_store->player() : nullptr;
        m_preview = player ? player->currentPreview() : QImage();
        Q_EMIT frameChanged();
    });
}

void VideoStoreFrameSource::setDisplaySize(QSize size)
{
    if (m_store)
        m_store->setPreviewSize(size);
}
