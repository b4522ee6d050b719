#include "canvas/ImageMarkupWorkspace.h"

#include <algorithm>

namespace WorkspaceGeometry {

WorkspaceCanvasGeometry compute(QSizeF area, QSizeF pixelSize, double zoom, QSizeF panOffset)
{
    WorkspaceCanvasGeometry g;
    g.fitSize = QSizeF(0, 0);
    const double availW = std::max(area.width() - 56, 240.0);
    const double availH = std::max(area.height() - 56, 240.0);
    if (pixelSize.width() > 0 && pixelSize.height() > 0) {
        const double scale = std::min(availW / pixelSize.width(), availH / pixelSize.height());
        g.fitSize = QSizeF(pixelSize.width() * scale, pixelSize.height() * scale);
    }
    g.displayedSize = QSizeF(std::max(g.fitSize.width() * zoom, 1.0), std::max(g.fitSize.height() * zoom, 1.0));
    g.centre = QPointF(area.width() / 2 + panOffset.width(), area.height() / 2 + panOffset.height());
    g.canvasRect = QRectF(g.centre - QPointF(g.displayedSize.width() / 2, g.displayedSize.height() / 2),
                          g.displayedSize);
    g.visibleCanvasRect = visibleCanvasPart(g.canvasRect, area);
    return g;
}

Rect visibleCanvasPart(const QRectF &canvasRect, QSizeF area)
{
    const Rect visible = Rect::fromQRectF(canvasRect).intersected(Rect(0, 0, area.width(), area.height()));
    if (visible.isNull() || visible.isEmpty())
        return Rect::null();
    return visible.offsetBy(-canvasRect.x(), -canvasRect.y());
}

} // namespace WorkspaceGeometry
