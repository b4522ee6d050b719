#include "platform/PaintBands.h"

#include <QPaintDevice>
#include <QPainter>
#include <QThreadPool>

#include <algorithm>
#include <cmath>

namespace PaintBands {

bool workersBusy()
{
    return QThreadPool::globalInstance()->activeThreadCount() > 0;
}

void draw(QPainter &painter, const QRectF &area, const std::function<void()> &draw, int rows)
{
    const QTransform &transform = painter.transform();
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const double dy = transform.dy();
    const double top = std::floor((area.top() + dy) * dpr);
    const double bottom = std::ceil((area.bottom() + dy) * dpr);
    if (rows <= 0 || transform.type() > QTransform::TxTranslate || !(bottom - top > rows)) {
        draw();
        return;
    }
    for (double row = top; row < bottom; row += rows) {
        const double end = std::min(row + rows, bottom);
        painter.save();
        painter.setClipRect(QRectF(area.left() - 1, row / dpr - dy, area.width() + 2, (end - row) / dpr), Qt::IntersectClip);
        draw();
        painter.restore();
    }
}

} // namespace PaintBands
