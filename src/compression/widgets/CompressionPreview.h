#pragma once

#include "platform/Rect.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <functional>
#include <optional>

// The selected image drawn large: its thumbnail fitted into the preview size (enlarged as needed,
// so it may look soft) and, while it is being cropped, the dimmed surround, the frame and the four
// corner handles. Presses, moves and releases go to the crop editor in preview points, whether or
// not a crop is in progress.
class CompressionPreview : public QWidget {
    Q_OBJECT

public:
    struct DragHandlers {
        std::function<void(QPointF start, QPointF current)> update;
        std::function<void(QPointF start, QPointF current)> end;
    };

    explicit CompressionPreview(QWidget *parent = nullptr);
    void setImage(const QImage &thumbnail, QSizeF previewSize);
    void setCropRect(const std::optional<Rect> &rect);
    void setDragHandlers(DragHandlers handlers) { m_handlers = std::move(handlers); }
    QSizeF previewSize() const { return m_previewSize; }
    const std::optional<Rect> &cropRect() const { return m_cropRect; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage m_thumbnail;
    QPixmap m_scaled;
    QSizeF m_previewSize { 320, 240 };
    std::optional<Rect> m_cropRect;
    std::optional<QPointF> m_dragStart;
    DragHandlers m_handlers;
};
