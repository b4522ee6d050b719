#include "canvas/AnnotationOverlay.h"

#include "markup/LabelFont.h"
#include "markup/MarkupGeometry.h"
#include "model/HexColor.h"
#include "model/TextRules.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Annotations that are drawn live while the rest comes from the cached layers; more than this
// and the layers are not worth their upkeep.
constexpr int maximumLiveAnnotations = 64;

const QColor &outlineBlue()
{
    static const QColor color = [] {
        QColor c = HexColor::uiColor(QStringLiteral("#2563EB"));
        c.setAlphaF(0.9f);
        return c;
    }();
    return color;
}

const QColor &marqueeBlue()
{
    static const QColor color = HexColor::uiColor(QStringLiteral("#2563EB"));
    return color;
}

const QColor &navy()
{
    static const QColor color = HexColor::uiColor(QStringLiteral("#1E3A5F"));
    return color;
}

const QColor &cropGreen()
{
    static const QColor color = HexColor::uiColor(QStringLiteral("#059669"));
    return color;
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(color.alphaF() * alpha));
    return color;
}

QPen pen(const QColor &color, double width, Qt::PenCapStyle cap, Qt::PenJoinStyle join)
{
    QPen result(color, width, Qt::SolidLine, cap, join);
    result.setMiterLimit(10);
    return result;
}

// Qt measures dash patterns in pen widths.
QPen dashedPen(const QColor &color, double width, double dash, double gap)
{
    QPen result = pen(color, width, Qt::FlatCap, Qt::MiterJoin);
    result.setDashPattern({dash / width, gap / width});
    result.setDashOffset(0);
    return result;
}

bool isFinite(const Rect &rect)
{
    return std::isfinite(rect.x) && std::isfinite(rect.y) && std::isfinite(rect.width) && std::isfinite(rect.height);
}

Rect boundsOf(const QPainterPath &path, double grow)
{
    if (path.isEmpty())
        return Rect::null();
    return Rect::fromQRectF(path.controlPointRect()).grownBy(grow);
}

// Drops the points of a polyline that lie within `tolerance` of the line through the points kept
// around them (Ramer-Douglas-Peucker). Mouse strokes are sampled far more densely than a zoomed-out
// canvas shows, and every point is a round join the stroker builds from trigonometry; with a
// tolerance of a fraction of a point the stroke looks the same at a fraction of the cost.
std::vector<QPointF> simplifiedPolyline(const std::vector<QPointF> &points, double tolerance)
{
    if (points.size() < 3)
        return points;
    std::vector<char> keep(points.size(), 0);
    keep.front() = keep.back() = 1;
    std::vector<std::pair<size_t, size_t>> spans{{0, points.size() - 1}};
    const double limit = tolerance * tolerance;
    while (!spans.empty()) {
        const auto [first, last] = spans.back();
        spans.pop_back();
        const QPointF a = points[first];
        const QPointF d = points[last] - a;
        const double length2 = d.x() * d.x() + d.y() * d.y();
        double farthest = -1;
        size_t index = first;
        for (size_t i = first + 1; i < last; ++i) {
            const QPointF p = points[i] - a;
            double distance2;
            if (length2 == 0) {
                distance2 = p.x() * p.x() + p.y() * p.y();
            } else {
                const double cross = p.x() * d.y() - p.y() * d.x();
                distance2 = cross * cross / length2;
                // Points beyond either end (the stroke doubling back) count by their distance to it.
                const double along = (p.x() * d.x() + p.y() * d.y()) / length2;
                if (along < 0)
                    distance2 = p.x() * p.x() + p.y() * p.y();
                else if (along > 1) {
                    const QPointF q = points[i] - points[last];
                    distance2 = q.x() * q.x() + q.y() * q.y();
                }
            }
            if (distance2 > farthest) {
                farthest = distance2;
                index = i;
            }
        }
        if (farthest > limit) {
            keep[index] = 1;
            spans.push_back({first, index});
            spans.push_back({index, last});
        }
    }
    std::vector<QPointF> result;
    for (size_t i = 0; i < points.size(); ++i) {
        if (keep[i])
            result.push_back(points[i]);
    }
    return result;
}

void drawHandle(QPainter &painter, QPointF centre, double diameter, const QColor &fill, const QColor &stroke,
                double strokeWidth)
{
    const QRectF square(centre.x() - diameter / 2, centre.y() - diameter / 2, diameter, diameter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(square);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(pen(stroke, strokeWidth, Qt::FlatCap, Qt::MiterJoin));
    painter.drawEllipse(square);
}

void drawSelectionRect(QPainter &painter, const QRectF &rect)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(marqueeBlue(), 0.1));
    painter.drawRect(rect);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(dashedPen(marqueeBlue(), 1.6, 6, 4));
    painter.drawRect(rect);
}

void drawCropOverlay(QPainter &painter, const QRectF &crop, QSizeF size)
{
    const Rect visible = Rect::fromQRectF(crop).intersected(Rect(0, 0, size.width(), size.height()));
    if (visible.isNull() || visible.isEmpty())
        return;
    const QRectF v = visible.toQRectF();
    QPainterPath dimming;
    dimming.setFillRule(Qt::OddEvenFill);
    dimming.addRect(QRectF(QPointF(0, 0), size));
    dimming.addRect(v);
    painter.fillPath(dimming, QColor(0, 0, 0, 87)); // black at 0.34

    QPainterPath frame;
    frame.addRoundedRect(v, 4, 4);
    painter.strokePath(frame, pen(cropGreen(), 2.2, Qt::RoundCap, Qt::RoundJoin));

    QColor fill(Qt::white);
    fill.setAlphaF(0.96f);
    for (const QPointF corner : {v.topLeft(), v.topRight(), v.bottomLeft(), v.bottomRight()})
        drawHandle(painter, corner, 12, fill, cropGreen(), 2);
}

} // namespace

AnnotationOverlay::AnnotationOverlay()
{
    m_font = LabelFont::referenceFont();
    m_fontAscent = QFontMetricsF(m_font).ascent();
}

AnnotationOverlay::~AnnotationOverlay() = default;

std::vector<MarkupAnnotation> AnnotationOverlay::overlayAnnotations(const std::vector<MarkupAnnotation> &annotations,
                                                                    const std::optional<QUuid> &editingTextID)
{
    if (!editingTextID)
        return annotations;
    std::vector<MarkupAnnotation> result;
    result.reserve(annotations.size());
    for (const MarkupAnnotation &annotation : annotations)
        result.push_back(overlayAnnotation(annotation, editingTextID));
    return result;
}

MarkupAnnotation AnnotationOverlay::overlayAnnotation(const MarkupAnnotation &annotation,
                                                      const std::optional<QUuid> &editingTextID)
{
    MarkupAnnotation result = annotation;
    if (editingTextID && annotation.id == *editingTextID) {
        result.text.clear();
        result.sequenceNumber.reset();
    }
    return result;
}

AnnotationOverlay::Entry AnnotationOverlay::makeEntry(const MarkupAnnotation &source, bool selected, bool editing,
                                                      bool draft, QSizeF size)
{
    Entry entry;
    entry.source = source;
    entry.drawn = editing ? overlayAnnotation(source, source.id) : source;
    entry.selected = selected;
    entry.editing = editing;
    entry.draft = draft;
    const MarkupAnnotation &a = entry.drawn;
    entry.strokeWidth = MarkupGeometry::strokeWidth(a.lineWidth, size);
    const double sw = entry.strokeWidth;
    if (!std::isfinite(sw))
        return entry; // an unreadable size from a damaged project: nothing to draw

    const QPointF s = a.start.toPoint(size);
    const QPointF e = a.end.toPoint(size);
    switch (a.kind) {
    case AnnotationKind::Arrow: {
        const QPointF c = MarkupGeometry::arcControlPoint(s, e, a.curveDirection);
        entry.shape.moveTo(s);
        entry.shape.quadTo(c, e);
        const double theta = MarkupGeometry::quadraticTangentAngle(s, c, e, 1);
        const double length = std::max(4.2 * sw, 8.0);
        const double spread = std::numbers::pi / 7;
        entry.head.moveTo(e - length * QPointF(std::cos(theta - spread), std::sin(theta - spread)));
        entry.head.lineTo(e);
        entry.head.lineTo(e - length * QPointF(std::cos(theta + spread), std::sin(theta + spread)));
        break;
    }
    case AnnotationKind::Rectangle:
        entry.shape.addRoundedRect(MarkupGeometry::normalizedRect(s, e).toQRectF(), 5, 5);
        break;
    case AnnotationKind::Brush: {
        const std::vector<QPointF> points = simplifiedPolyline(MarkupGeometry::brushPoints(a, size), 0.15);
        if (!points.empty()) {
            entry.shape.moveTo(points.front());
            for (size_t i = 1; i < points.size(); ++i)
                entry.shape.lineTo(points[i]);
        }
        break;
    }
    case AnnotationKind::Text:
        break;
    }
    if (TextRules::hasVisibleText(a.displayText()))
        entry.label = MarkupGeometry::labelLayout(a, size);
    if (entry.label && !(std::isfinite(entry.label->fontSize) && isFinite(entry.label->bubbleRect)))
        entry.label.reset();
    entry.shapeBounds = MarkupGeometry::shapeBounds(a, size);

    // Everything the entry can paint: the stroked shape, the label, and (when selected) the outline
    // with its corner dots and handles. Kept even when not selected, so a selection change
    // repaints the same area.
    const double halfStroke = std::max(sw, 2.0) / 2 + 2;
    Rect bounds = boundsOf(entry.shape, halfStroke).united(boundsOf(entry.head, halfStroke));
    Rect outline = entry.shapeBounds;
    if (entry.label) {
        bounds = bounds.united(entry.label->bubbleRect.grownBy(2));
        outline = outline.isNull() ? entry.label->bubbleRect.grownBy(8)
                                   : outline.united(entry.label->bubbleRect.grownBy(8));
    }
    if (!outline.isNull())
        bounds = bounds.united(outline.grownBy(6 + 8));
    entry.paintBounds = isFinite(bounds) ? bounds : Rect::null();
    return entry;
}

void AnnotationOverlay::drawEntry(QPainter &painter, const Entry &entry) const
{
    const MarkupAnnotation &a = entry.drawn;
    const double sw = entry.strokeWidth;
    if (!std::isfinite(sw))
        return;
    const double opacity = entry.draft ? 0.62 : 1.0;
    const QColor base = HexColor::drawingColor(a.colorHex);
    const QColor color = withAlpha(base, opacity);

    switch (a.kind) {
    case AnnotationKind::Arrow:
        painter.strokePath(entry.shape, pen(color, sw, Qt::RoundCap, Qt::MiterJoin));
        painter.strokePath(entry.head, pen(color, sw, Qt::RoundCap, Qt::RoundJoin));
        break;
    case AnnotationKind::Rectangle:
        painter.strokePath(entry.shape, pen(color, sw, Qt::RoundCap, Qt::RoundJoin));
        break;
    case AnnotationKind::Brush:
        if (!entry.shape.isEmpty())
            painter.strokePath(entry.shape, pen(color, std::max(sw, 2.0), Qt::RoundCap, Qt::RoundJoin));
        break;
    case AnnotationKind::Text:
        break;
    }

    if (entry.label) {
        const MarkupLabelLayout &layout = *entry.label;
        QPainterPath bubble;
        bubble.addRoundedRect(layout.bubbleRect.toQRectF(), 8, 8);
        QColor fill(Qt::white);
        fill.setAlphaF(0.86f);
        painter.fillPath(bubble, fill);
        painter.strokePath(bubble, pen(withAlpha(color, 0.22), 1, Qt::FlatCap, Qt::MiterJoin));

        // The label face is built at a reference size and scaled, as the geometry measured it.
        const double scale = layout.fontSize / LabelFont::referencePixelSize;
        if (scale > 0 && std::isfinite(scale)) {
            painter.save();
            painter.setFont(m_font);
            painter.setPen(color);
            for (qsizetype i = 0; i < layout.lines.size(); ++i) {
                painter.save();
                painter.translate(layout.textRect.minX(), layout.textRect.minY() + double(i) * layout.lineHeight);
                painter.scale(scale, scale);
                painter.drawText(QPointF(0, m_fontAscent), layout.lines.at(i));
                painter.restore();
            }
            painter.restore();
        }
    }

    if (!entry.selected && !entry.draft)
        return;
    Rect outline = entry.shapeBounds;
    if (entry.label) {
        const Rect label = entry.label->bubbleRect.grownBy(8);
        outline = outline.isNull() ? label : outline.united(label);
    }
    if (!outline.isNull() && isFinite(outline)) {
        const QRectF o = outline.grownBy(6).toQRectF();
        QPainterPath path;
        path.addRoundedRect(o, 6, 6);
        painter.strokePath(path, dashedPen(outlineBlue(), 2, 7, 4));
        for (const QPointF corner : {o.topLeft(), o.topRight(), o.bottomLeft(), o.bottomRight()})
            drawHandle(painter, corner, 10, navy(), Qt::white, 1.5);
    }
    QColor handleFill(Qt::white);
    handleFill.setAlphaF(0.9f);
    if (a.kind == AnnotationKind::Arrow) {
        drawHandle(painter, a.start.toPoint(m_size), 12, handleFill, navy(), 2);
        drawHandle(painter, a.end.toPoint(m_size), 12, handleFill, navy(), 2);
    } else if (a.kind == AnnotationKind::Brush) {
        const Rect r = entry.shapeBounds.grownBy(6);
        if (!r.isNull() && !r.isEmpty())
            drawHandle(painter, r.bottomRight(), 12, handleFill, navy(), 2);
    }
}

void AnnotationOverlay::drawEntries(QPainter &painter, int from, int to, const QRectF &canvasClip) const
{
    const Rect clip = Rect::fromQRectF(canvasClip);
    for (int i = from; i < to; ++i) {
        const auto it = m_entries.constFind(m_order[size_t(i)]);
        if (it == m_entries.constEnd() || it->paintBounds.isNull() || !it->paintBounds.intersects(clip))
            continue;
        drawEntry(painter, *it);
    }
}

void AnnotationOverlay::drawDecorationsAbove(QPainter &painter, const QRectF &canvasClip) const
{
    if (m_draft && (m_draft->paintBounds.isNull() || m_draft->paintBounds.intersects(Rect::fromQRectF(canvasClip))))
        drawEntry(painter, *m_draft);
    if (m_decorations.selectionRect)
        drawSelectionRect(painter, *m_decorations.selectionRect);
    if (m_decorations.cropRect)
        drawCropOverlay(painter, *m_decorations.cropRect, m_size);
}

AnnotationOverlay::Damage AnnotationOverlay::update(const std::vector<MarkupAnnotation> &annotations,
                                                    const AnnotationOverlayDecorations &decorations,
                                                    QSizeF canvasSize)
{
    Damage damage;
    const bool sizeChanged = canvasSize != m_size;
    if (sizeChanged) {
        m_entries.clear();
        m_draft.reset();
        m_size = canvasSize;
        damage.everything = true;
    }

    std::vector<QUuid> order;
    order.reserve(annotations.size());
    std::vector<int> changed;
    QSet<QUuid> present;
    present.reserve(qsizetype(annotations.size()));
    for (size_t i = 0; i < annotations.size(); ++i) {
        const MarkupAnnotation &annotation = annotations[i];
        order.push_back(annotation.id);
        present.insert(annotation.id);
        const bool selected = decorations.isSelected(annotation.id);
        const bool editing = decorations.editingTextID == annotation.id;
        auto it = m_entries.find(annotation.id);
        if (it != m_entries.end() && it->selected == selected && it->editing == editing && it->source == annotation)
            continue;
        if (it != m_entries.end())
            damage.area = damage.area.united(it->paintBounds);
        Entry entry = makeEntry(annotation, selected, editing, false, canvasSize);
        damage.area = damage.area.united(entry.paintBounds);
        m_entries.insert(annotation.id, std::move(entry));
        changed.push_back(int(i));
    }
    const bool orderChanged = order != m_order;
    if (orderChanged) {
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if (present.contains(it.key())) {
                ++it;
                continue;
            }
            damage.area = damage.area.united(it->paintBounds);
            it = m_entries.erase(it);
        }
        // A reorder changes what covers what wherever the moved annotations are.
        for (size_t i = 0; i < order.size() && i < m_order.size(); ++i) {
            if (order[i] != m_order[i])
                damage.area = damage.area.united(m_entries.value(order[i]).paintBounds);
        }
        m_order = std::move(order);
    }

    if (decorations.draft != (m_draft ? std::optional<MarkupAnnotation>(m_draft->source) : std::nullopt)) {
        if (m_draft)
            damage.area = damage.area.united(m_draft->paintBounds);
        if (decorations.draft) {
            m_draft = makeEntry(*decorations.draft, true, false, true, canvasSize);
            damage.area = damage.area.united(m_draft->paintBounds);
        } else {
            m_draft.reset();
        }
    }
    if (decorations.selectionRect != m_decorations.selectionRect) {
        for (const std::optional<QRectF> &rect : {decorations.selectionRect, m_decorations.selectionRect}) {
            if (rect)
                damage.area = damage.area.united(Rect::fromQRectF(*rect).standardized().grownBy(3));
        }
    }
    if (decorations.cropRect != m_decorations.cropRect)
        damage.everything = true; // the dimming covers the whole canvas
    m_decorations = decorations;

    // Which annotations move while the others stay: as long as the changes keep falling into the
    // same index range, the layers below and above it stay valid.
    if (sizeChanged || orderChanged) {
        m_liveRange.reset();
        m_layers.valid = false;
    } else if (!changed.empty()) {
        const int lo = *std::min_element(changed.begin(), changed.end());
        const int hi = *std::max_element(changed.begin(), changed.end());
        if (!m_liveRange || lo < m_liveRange->first || hi > m_liveRange->second) {
            m_layers.valid = false;
            if (hi - lo < maximumLiveAnnotations)
                m_liveRange = std::make_pair(lo, hi);
            else
                m_liveRange.reset();
        }
    }
    return damage;
}

void AnnotationOverlay::ensureLayers(QPointF canvasOrigin, const QRect &visible, double dpr)
{
    if (m_layers.valid && m_layers.visible == visible && m_layers.canvasOrigin == canvasOrigin && m_layers.dpr == dpr)
        return;
    const QSize pixels(int(std::ceil(visible.width() * dpr)), int(std::ceil(visible.height() * dpr)));
    const QRectF clip = QRectF(visible).translated(-canvasOrigin);
    auto render = [&](QImage &image, int from, int to) {
        if (image.size() != pixels)
            image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.translate(canvasOrigin - QPointF(visible.topLeft()));
        drawEntries(painter, from, to, clip);
    };
    render(m_layers.below, 0, m_liveRange->first);
    render(m_layers.above, m_liveRange->second + 1, int(m_order.size()));
    m_layers.visible = visible;
    m_layers.canvasOrigin = canvasOrigin;
    m_layers.dpr = dpr;
    m_layers.valid = true;
    ++m_layerBuildCount;
}

void AnnotationOverlay::paint(QPainter &painter, QPointF canvasOrigin, const QRect &visible, const QRect &clip)
{
    const QRect area = visible.intersected(clip);
    m_lastPaintUsedLayers = false;
    if (area.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF canvasClip = QRectF(area).translated(-canvasOrigin);
    const bool useLayers = m_liveRange && m_liveRange->second < int(m_order.size());
    if (useLayers) {
        const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        ensureLayers(canvasOrigin, visible, dpr);
        painter.drawImage(visible.topLeft(), m_layers.below);
        painter.translate(canvasOrigin);
        drawEntries(painter, m_liveRange->first, m_liveRange->second + 1, canvasClip);
        painter.translate(-canvasOrigin);
        painter.drawImage(visible.topLeft(), m_layers.above);
        m_lastPaintUsedLayers = true;
    } else {
        painter.translate(canvasOrigin);
        drawEntries(painter, 0, int(m_order.size()), canvasClip);
        painter.translate(-canvasOrigin);
    }
    painter.translate(canvasOrigin);
    drawDecorationsAbove(painter, canvasClip);
    painter.restore();
}

void AnnotationOverlay::drawAll(QPainter &painter, const std::vector<MarkupAnnotation> &annotations,
                                const AnnotationOverlayDecorations &decorations, QSizeF canvasSize)
{
    AnnotationOverlay overlay;
    overlay.update(annotations, decorations, canvasSize);
    const QRect whole(0, 0, int(std::ceil(canvasSize.width())), int(std::ceil(canvasSize.height())));
    overlay.m_liveRange.reset();
    overlay.paint(painter, QPointF(0, 0), whole, whole);
}
