#pragma once

#include "canvas/CanvasFrameSource.h"

#include <QImage>
#include <QPointer>

class VideoFrameAnnotationStore;

// The frames of the video store's player, as the store publishes them (on the GUI thread).
class VideoStoreFrameSource final : public CanvasFrameSource {
    Q_OBJECT

public:
    explicit VideoStoreFrameSource(VideoFrameAnnotationStore *store, QObject *parent = nullptr);

    QImage currentFrame() const override { return m_frame; }
    QImage currentPreview() const override { return m_preview; }
    void setDisplaySize(QSize size) override;

private:
    QPointer<VideoFrameAnnotationStore> m_store;
    QImage m_frame;
    QImage m_preview;
};
