#include "canvas/CanvasFramePainting.h"

#include "canvas/CanvasFrameSource.h"

#include <QPainter>

#include <cmath>

namespace CanvasFramePainting {

void paint(QPainter &painter, CanvasFrameSource &source, const QImage &frame, const QRectF &card,
           double devicePixelRatio)
{
    const double dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const QSize box(int(std::lround(card.width() * dpr)), int(std::lround(card.height() * dpr)));
    source.setDisplaySize(box);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    const QSize shown = frame.size().scaled(box, Qt::KeepAspectRatio);
    QImage preview = source.currentPreview();
    if (!preview.isNull() && !shown.isEmpty() && preview.size() == shown) {
        // Centred on the card and placed on whole device pixels, so the copy is drawn unscaled.
        const QPointF centre = card.center() * dpr;
        const QPointF topLeft(std::round(centre.x() - shown.width() / 2.0), std::round(centre.y() - shown.height() / 2.0));
        preview.setDevicePixelRatio(dpr);
        painter.drawImage(topLeft / dpr, preview);
        return;
    }
    const QSizeF fitted = QSizeF(frame.size()).scaled(card.size(), Qt::KeepAspectRatio);
    const QRectF target(card.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
    painter.drawImage(target, frame);
}

} // namespace CanvasFramePainting
