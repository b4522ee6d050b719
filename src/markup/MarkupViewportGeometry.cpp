#include "markup/MarkupViewportGeometry.h"

#include "model/MarkupViewModel.h"

#include <algorithm>
#include <cmath>

namespace MarkupGeometry {

namespace {

bool hasArea(QSizeF size)
{
    // Written so that a NaN side counts as no area.
    return size.width() > 0 && size.height() > 0;
}

} // namespace

UnitPoint2D normalizedPoint(QPointF point, QSizeF size)
{
    if (!hasArea(size))
        return UnitPoint2D(0, 0);
    return UnitPoint2D(point.x() / size.width(), point.y() / size.height());
}

QPointF canvasPoint(QPointF interactionPoint, QPointF interactionOrigin)
{
    return interactionPoint + interactionOrigin;
}

QSizeF aspectFitSize(QSizeF imageSize, QSizeF containerSize)
{
    if (!hasArea(imageSize) || !hasArea(containerSize))
        return QSizeF(0, 0);
    const double scale = std::min(containerSize.width() / imageSize.width(),
                                  containerSize.height() / imageSize.height());
    return imageSize * scale;
}

Rect visibleCanvasRect(QPointF canvasOrigin, QSizeF canvasSize, QSizeF viewportSize)
{
    const Rect canvas(canvasOrigin, canvasSize);
    const Rect viewport(QPointF(0, 0), viewportSize);
    const Rect visible = canvas.intersected(viewport);
    if (visible.isEmpty())
        return Rect::null();
    return visible.offsetBy(-canvasOrigin.x(), -canvasOrigin.y());
}

QSizeF panOffsetAfterZoom(QSizeF currentPan, QPointF workspacePoint, QSizeF workspaceSize, double scale)
{
    const double keep = 1 - scale;
    return QSizeF(currentPan.width() + (workspacePoint.x() - workspaceSize.width() / 2 - currentPan.width()) * keep,
                  currentPan.height() + (workspacePoint.y() - workspaceSize.height() / 2 - currentPan.height()) * keep);
}

QSizeF proportionalComparisonLayerSize(QSizeF imageSize, QSizeF baseSize, QSizeF canvasSize)
{
    if (!hasArea(imageSize) || !hasArea(baseSize) || !hasArea(canvasSize))
        return QSizeF(0, 0);
    const double scale = std::min(canvasSize.width() / baseSize.width(), canvasSize.height() / baseSize.height());
    return imageSize * scale;
}

double fittedZoom(QSizeF pixelSize, QSizeF box)
{
    QSizeF fitted(0, 0);
    if (hasArea(pixelSize)) {
        const double scale = std::min(box.width() / pixelSize.width(), box.height() / pixelSize.height());
        fitted = QSizeF(pixelSize.width() * scale, pixelSize.height() * scale);
    }
    const double zoom = std::min(fitted.width() > 0 ? box.width() / fitted.width() : HUGE_VAL,
                                 fitted.height() > 0 ? box.height() / fitted.height() : HUGE_VAL);
    return std::clamp(zoom, MarkupViewModel::minimumZoom, MarkupViewModel::maximumZoom);
}

} // namespace MarkupGeometry
