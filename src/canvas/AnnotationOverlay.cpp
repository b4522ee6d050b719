#include "canvas/AnnotationOverlay.h"

#include "markup/LabelFont.h"
#include "markup/MarkupGeometry.h"
#include "model/HexColor.h"
#include "model/TextRules.h"
#include "platform/ParallelWork.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Annotations that are drawn live while the rest comes from the cached layers; more than this
// and the layers are not worth their upkeep.
constexpr int maximumLiveAnnotations = 64;

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

} // namespace

AnnotationOverlay::AnnotationOverlay() = default;

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
    if (entry.label && !(std::isfinite(entry.label->fontSize) && entry.label->bubbleRect.isFinite()))
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
    entry.paintBounds = bounds.isFinite() ? bounds : Rect::null();
    return entry;
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

    // Damage of the annotations themselves (the picture must draw it again), as against that of
    // the decorations drawn above them.
    Rect changedArea = Rect::null();
    std::vector<QUuid> order;
    order.reserve(annotations.size());
    std::vector<int> changed;
    QSet<QUuid> present;
    present.reserve(qsizetype(annotations.size()));
    for (size_t i = 0; i < annotations.size(); ++i) {
        const MarkupAnnotation &annotation = annotations[i];
        order.push_back(annotation.id);
        present.insert(annotation.id);
        const auto it = m_entries.constFind(annotation.id);
        if (it != m_entries.constEnd() && it->selected == decorations.isSelected(annotation.id)
            && it->editing == (decorations.editingTextID == annotation.id) && it->source == annotation)
            continue;
        if (it != m_entries.constEnd())
            changedArea = changedArea.united(it->paintBounds);
        changed.push_back(int(i));
    }
    // Building an entry measures its label and simplifies its strokes; after a zoom every entry
    // is built again, so many are built on several threads.
    std::vector<Entry> built(changed.size());
    auto build = [&](int k) {
        const MarkupAnnotation &annotation = annotations[size_t(changed[size_t(k)])];
        built[size_t(k)] = makeEntry(annotation, decorations.isSelected(annotation.id),
                                     decorations.editingTextID == annotation.id, false, canvasSize);
    };
    if (changed.size() >= 8) {
        ParallelWork::forEach(int(changed.size()), build);
    } else {
        for (size_t k = 0; k < changed.size(); ++k)
            build(int(k));
    }
    for (size_t k = 0; k < changed.size(); ++k) {
        changedArea = changedArea.united(built[k].paintBounds);
        m_entries.insert(annotations[size_t(changed[k])].id, std::move(built[k]));
    }
    const bool orderChanged = order != m_order;
    if (orderChanged) {
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if (present.contains(it.key())) {
                ++it;
                continue;
            }
            changedArea = changedArea.united(it->paintBounds);
            it = m_entries.erase(it);
        }
        // A reorder changes what covers what wherever the moved annotations are.
        for (size_t i = 0; i < order.size() && i < m_order.size(); ++i) {
            if (order[i] != m_order[i])
                changedArea = changedArea.united(m_entries.value(order[i]).paintBounds);
        }
        m_order = std::move(order);
    }
    damage.area = damage.area.united(changedArea);
    m_pictureDamage = m_pictureDamage.united(changedArea);

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

