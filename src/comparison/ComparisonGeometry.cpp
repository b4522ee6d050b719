#include "comparison/ComparisonGeometry.h"

#include <algorithm>
#include <cmath>

namespace ComparisonGeometry {

namespace {
constexpr double fitMargin = 56;
constexpr double minimumFitBox = 240;
} // namespace

QSizeF referenceSize(QSizeF beforePixels, QSizeF afterPixels)
{
    return QSizeF(std::max(beforePixels.width(), afterPixels.width()),
                  std::max(beforePixels.height(), afterPixels.height()));
}

QSizeF fitSize(QSizeF reference, QSizeF area)
{
    const double availableWidth = std::max(area.width() - fitMargin, minimumFitBox);
    const double availableHeight = std::max(area.height() - fitMargin, minimumFitBox);
    if (!(reference.width() > 0) || !(reference.height() > 0) || !(availableWidth > 0) || !(availableHeight > 0))
        return QSizeF(0, 0);
    const double scale = std::min(availableWidth / reference.width(), availableHeight / reference.height());
    return reference * scale;
}

QSizeF canvasSize(QSizeF fit, double zoom)
{
    return QSizeF(std::max(fit.width() * zoom, 1.0), std::max(fit.height() * zoom, 1.0));
}

QSizeF layerSize(QSizeF pixelSize, QSizeF reference, QSizeF canvas)
{
    if (!(reference.width() > 0) || !(reference.height() > 0) || !(pixelSize.width() > 0) || !(pixelSize.height() > 0))
        return canvas;
    if (!(canvas.width() > 0) || !(canvas.height() > 0))
        return QSizeF(0, 0);
    const double scale = std::min(canvas.width() / reference.width(), canvas.height() / reference.height());
    return pixelSize * scale;
}

double maskWidth(double fraction, double width, bool trailing)
{
    const double visible = std::min(width * (trailing ? 1 - fraction : fraction), width);
    return std::isnan(visible) || visible < 0 ? 0.0 : visible;
}

QRectF centred(QSizeF size, const QRectF &bounds)
{
    return QRectF(bounds.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

double dividerX(double fraction, double width)
{
    const double clamped = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
    return clamped * width;
}

std::optional<double> dragFraction(double x, double width)
{
    if (!(width > 0))
        return std::nullopt;
    return std::min(std::max(x / width, minimumDragFraction), maximumDragFraction);
}

} // namespace ComparisonGeometry
