#include "canvas/PanelPlacement.h"

#include "markup/MarkupGeometry.h"

#include <algorithm>
#include <cmath>

namespace PanelPlacement {

double clampLowWins(double value, double low, double high)
{
    return std::min(std::max(high, low), std::max(value, low));
}

QRectF rectAround(QPointF centre, QSizeF size)
{
    return QRectF(centre.x() - size.width() / 2, centre.y() - size.height() / 2, size.width(), size.height());
}

QRectF inlineTextPanelRect(QPointF labelPoint, QSizeF canvas)
{
    const double W = canvas.width();
    const double H = canvas.height();
    const double width = std::max(176.0, std::min(W - 20, std::min(std::max(0.38 * W, 280.0), 380.0)));
    constexpr double height = 142;
    const double x0 = W - width - 10 >= 10 ? std::min(std::max(labelPoint.x(), 10.0), W - width - 10) : 10;
    const double y0 = H - 152 >= 10 ? std::min(std::max(labelPoint.y(), 10.0), H - 152) : 10;
    return QRectF(x0, y0, width, height);
}

QRectF inlineTextPanelRect(const MarkupAnnotation &annotation, QSizeF canvas)
{
    return inlineTextPanelRect(MarkupGeometry::labelPoint(annotation, canvas), canvas);
}

QPointF labelAnchor(const MarkupAnnotation &annotation, QSizeF canvas)
{
    if (const std::optional<MarkupLabelLayout> layout = MarkupGeometry::labelLayout(annotation, canvas)) {
        const Rect grown = layout->bubbleRect.grownBy(8);
        if (!grown.isNull())
            return {grown.minX(), grown.minY()};
    }
    return MarkupGeometry::labelPoint(annotation, canvas);
}

QPointF brushAnchor(const MarkupAnnotation &annotation, QSizeF canvas)
{
    const Rect bounds = MarkupGeometry::shapeBounds(annotation, canvas);
    if (!bounds.isNull())
        return {bounds.minX(), bounds.minY()};
    return labelAnchor(annotation, canvas);
}

QSizeF sizeEditorSize(AnnotationKind kind)
{
    return {238, kind == AnnotationKind::Brush ? 38.0 : 58.0};
}

QPointF sizeEditorCentre(const MarkupAnnotation &annotation, QSizeF canvas)
{
    const bool brush = annotation.kind == AnnotationKind::Brush;
    const QPointF anchor = brush ? brushAnchor(annotation, canvas) : labelAnchor(annotation, canvas);
    const double h = sizeEditorSize(annotation.kind).height();
    const double gap = brush ? 44 : 12;
    return {clampLowWins(anchor.x() + 119, 127, canvas.width() - 127),
            clampLowWins(anchor.y() - h / 2 - gap, h / 2 + 8, canvas.height() - h / 2 - 8)};
}

QSizeF textStyleEditorSize()
{
    return {238, 68};
}

QPointF textStyleEditorCentre(const MarkupAnnotation &annotation, QSizeF canvas)
{
    const QPointF anchor = labelAnchor(annotation, canvas);
    return {clampLowWins(anchor.x() + 119, 127, canvas.width() - 127),
            clampLowWins(anchor.y() - 46, 42, canvas.height() - 42)};
}

QSizeF curveToggleSize()
{
    return {32, 32};
}

QPointF curveToggleCentre(const MarkupAnnotation &annotation, QSizeF canvas)
{
    const QPointF p = MarkupGeometry::labelPoint(annotation, canvas);
    return {clampLowWins(p.x() - 22, 24, canvas.width() - 24), clampLowWins(p.y() - 26, 24, canvas.height() - 24)};
}

QSizeF labelWidthHandleSize()
{
    return {16, 16};
}

std::optional<QPointF> labelWidthHandleCentre(const MarkupAnnotation &annotation, QSizeF canvas)
{
    const std::optional<MarkupLabelLayout> layout = MarkupGeometry::labelLayout(annotation, canvas);
    if (!layout || layout->bubbleRect.isNull())
        return std::nullopt;
    return layout->bubbleRect.bottomRight();
}

QSizeF eyedropperPanelSize(int alpha)
{
    return {228, alpha < 255 ? 164.0 : 146.0};
}

QPointF eyedropperPanelCentre(QPointF pointer, int alpha, QSizeF canvas)
{
    const double h = eyedropperPanelSize(alpha).height();
    return {clampLowWins(pointer.x() + 18 + 114, 122, canvas.width() - 122),
            clampLowWins(pointer.y() + 18 + h / 2, h / 2 + 8, canvas.height() - h / 2 - 8)};
}

QRectF clearOf(const QRectF &panel, const std::vector<QRectF> &taken, QSizeF canvas)
{
    constexpr double gap = 8;
    const auto within = [&](const QRectF &rect, double margin) {
        return std::any_of(taken.begin(), taken.end(), [&](const QRectF &other) {
            return rect.intersects(other.adjusted(-margin, -margin, margin, margin));
        });
    };
    if (!within(panel, 0))
        return panel;
    // A new place keeps the gap, less a hair so that exactly 8 apart counts as clear.
    const auto blocked = [&](const QRectF &rect) { return within(rect, gap - 0.5); };
    const double height = panel.height();
    std::vector<double> tops;
    for (const QRectF &other : taken) {
        tops.push_back(other.top() - gap - height);
        tops.push_back(other.bottom() + gap);
    }
    std::optional<QRectF> best;
    for (const double top : tops) {
        if (top < gap || top + height > canvas.height() - gap)
            continue;
        const QRectF moved(panel.left(), top, panel.width(), height);
        if (blocked(moved))
            continue;
        if (!best || std::abs(top - panel.top()) < std::abs(best->top() - panel.top()))
            best = moved;
    }
    return best ? *best : panel;
}

QPointF cropToolbarCentre(const QRectF &cropRect, QSizeF canvas)
{
    const Rect r = Rect::fromQRectF(cropRect);
    return {std::min(std::max(r.midX(), 206.0), std::max(canvas.width() - 206, 206.0)),
            std::min(std::max(r.minY() - 98, 54.0), std::max(canvas.height() - 54, 54.0))};
}

} // namespace PanelPlacement
