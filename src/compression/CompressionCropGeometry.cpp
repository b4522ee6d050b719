#include "compression/CompressionCropGeometry.h"

#include <algorithm>
#include <cmath>

namespace CompressionCropGeometry {

namespace {

// Shrinks one side of w × h so that w ÷ h becomes r. The current ratio counts a height below 1
// as 1, so a flat drag does not divide by almost nothing.
void applyRatio(double &width, double &height, double ratio)
{
    const double current = height >= 1 ? width / height : width;
    if (ratio < current)
        width = ratio * height;
    else
        height = width / ratio;
}

Rect previewBounds(QSizeF preview) { return { 0, 0, preview.width(), preview.height() }; }

} // namespace

QSizeF previewSize(QSizeF pixelSize)
{
    const double width = pixelSize.width(), height = pixelSize.height();
    if (width > 0 && height > 0) {
        const double scale = std::min(520 / width, 340 / height);
        return { width * scale, height * scale };
    }
    return { 320, 240 };
}

Rect startRect(QSizeF preview)
{
    const double width = preview.width(), height = preview.height();
    return { width * 0.1, height * 0.1, width - (width * 0.1 + width * 0.1), height - (height * 0.1 + height * 0.1) };
}

Rect fittedRect(const Rect &rect, double ratio, QSizeF preview)
{
    const Rect clipped = rect.intersected(previewBounds(preview));
    if (clipped.isNull() || !(clipped.width > 0) || !(clipped.height > 0))
        return rect;
    const double centreX = clipped.midX(), centreY = clipped.midY();
    double width = clipped.width, height = clipped.height;
    applyRatio(width, height, ratio);
    const double previewWidth = preview.width(), previewHeight = preview.height();
    width = std::min({ width, previewWidth, 2 * centreX, 2 * (previewWidth - centreX) });
    height = std::min({ height, previewHeight, 2 * centreY, 2 * (previewHeight - centreY) });
    applyRatio(width, height, ratio);
    return Rect(centreX - width / 2, centreY - height / 2, width, height).intersected(previewBounds(preview));
}

std::array<std::pair<QPointF, CropCorner>, 4> handlePoints(const Rect &rect)
{
    return { {
        { QPointF(rect.minX(), rect.minY()), CropCorner::TopLeft },
        { QPointF(rect.maxX(), rect.minY()), CropCorner::TopRight },
        { QPointF(rect.minX(), rect.maxY()), CropCorner::BottomLeft },
        { QPointF(rect.maxX(), rect.maxY()), CropCorner::BottomRight },
    } };
}

std::optional<CropCorner> cornerAt(const Rect &rect, QPointF point)
{
    for (const auto &[corner, name] : handlePoints(rect)) {
        if (std::abs(corner.x() - point.x()) <= cornerGrabDistance
            && std::abs(corner.y() - point.y()) <= cornerGrabDistance)
            return name;
    }
    return std::nullopt;
}

QPointF oppositeCorner(const Rect &rect, CropCorner corner)
{
    switch (corner) {
    case CropCorner::TopLeft:
        return { rect.maxX(), rect.maxY() };
    case CropCorner::TopRight:
        return { rect.minX(), rect.maxY() };
    case CropCorner::BottomLeft:
        return { rect.maxX(), rect.minY() };
    case CropCorner::BottomRight:
        return { rect.minX(), rect.minY() };
    }
    return { rect.minX(), rect.minY() };
}

QPointF clampedPoint(QPointF point, QSizeF preview)
{
    return { std::min(preview.width(), std::max(point.x(), 0.0)),
             std::min(preview.height(), std::max(point.y(), 0.0)) };
}

Rect dragRect(QPointF anchor, QPointF point, std::optional<double> ratio, QSizeF preview)
{
    const QPointF p = clampedPoint(point, preview);
    if (!ratio)
        return Rect::spanning(anchor, p).intersected(previewBounds(preview));
    if (p == anchor)
        return { anchor.x(), anchor.y(), 0, 0 };
    double width = std::abs(p.x() - anchor.x()), height = std::abs(p.y() - anchor.y());
    applyRatio(width, height, *ratio);
    const double x = anchor.x() <= p.x() ? anchor.x() : anchor.x() - width;
    const double y = anchor.y() <= p.y() ? anchor.y() : anchor.y() - height;
    return Rect(x, y, width, height).intersected(previewBounds(preview));
}

std::optional<QRectF> unitRect(const Rect &rect, QSizeF preview)
{
    if (rect.isNull() || rect.width < minimumCropSide || rect.height < minimumCropSide)
        return std::nullopt;
    const double width = preview.width(), height = preview.height();
    if (!(width > 0) || !(height > 0))
        return std::nullopt;
    return QRectF(rect.minX() / width, rect.minY() / height, rect.width / width, rect.height / height);
}

} // namespace CompressionCropGeometry
