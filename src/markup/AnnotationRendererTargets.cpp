#include "markup/AnnotationRendererTargets.h"

#include "markup/LabelFont.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

using AnnotationRaster::Segment;
using AnnotationRaster::Shape;

namespace {

// Stroke centre lines are cut into lines no further than this from the curve (device pixels),
// well below what antialiasing can show.
constexpr double strokeFlatness = 0.04;
// Filled outlines (label glyphs, bubbles) are cut the way the painter cuts them before filling
// (halving until both control points lie within a quarter pixel of the chord, summed and
// measured against the chord's length), so their curved edges antialias as before.
constexpr double fillFlatness = 0.25;

// The painter fills glyphs up to this size from its glyph cache (rasterised by the font engine,
// snapped to its pixel grid) and larger ones as outlines; only the outlines are drawn here, the
// cached sizes stay with the painter so small labels look exactly as before.
int rendererMaxCachedGlyphSize()
{
    static const int size = [] {
        const int fromEnvironment = qEnvironmentVariableIntValue("QT_MAX_CACHED_GLYPH_SIZE");
        return fromEnvironment > 0 ? fromEnvironment : 64;
    }();
    return size;
}

// The painter's own maximum number of halvings of one curve.
constexpr int maxHalvings = 31;

QPointF lerp(QPointF a, QPointF b)
{
    return 0.5 * (a + b);
}

void appendCubicBySplitting(std::vector<Segment> &out, QPointF p0, QPointF c1, QPointF c2, QPointF p3, int depth)
{
    const QPointF chord = p3 - p0;
    double length = std::fabs(chord.x()) + std::fabs(chord.y());
    double deviation;
    if (length > 1) {
        auto cross = [&](QPointF v) { return std::fabs(chord.x() * v.y() - chord.y() * v.x()); };
        deviation = cross(p0 - c1) + cross(p0 - c2);
    } else {
        deviation = std::fabs(p0.x() - c1.x()) + std::fabs(p0.y() - c1.y()) + std::fabs(p0.x() - c2.x())
                  + std::fabs(p0.y() - c2.y());
        length = 1;
    }
    if (deviation < fillFlatness * length || depth >= maxHalvings || !std::isfinite(deviation)) {
        out.push_back({p0, p3});
        return;
    }
    const QPointF a = lerp(p0, c1), b = lerp(c1, c2), c = lerp(c2, p3);
    const QPointF ab = lerp(a, b), bc = lerp(b, c), middle = lerp(ab, bc);
    appendCubicBySplitting(out, p0, a, ab, middle, depth + 1);
    appendCubicBySplitting(out, middle, bc, c, p3, depth + 1);
}

void appendCubic(std::vector<Segment> &out, QPointF p0, QPointF c1, QPointF c2, QPointF p3, bool forFill)
{
    if (forFill) {
        appendCubicBySplitting(out, p0, c1, c2, p3, 0);
        return;
    }
    // Enough uniform steps for the flatness (the bound on a cubic's deviation from its chords by
    // the largest second difference of its control points).
    const QPointF d1 = p0 - 2 * c1 + c2, d2 = c1 - 2 * c2 + p3;
    const double m = std::sqrt(std::max(QPointF::dotProduct(d1, d1), QPointF::dotProduct(d2, d2)));
    // Clamped while still a double: far-out controls (an annotation at 1e26) give counts no int holds.
    const double wanted = std::ceil(std::sqrt(0.75 * m / strokeFlatness));
    const int steps = wanted >= 1 ? int(std::min(wanted, 256.0)) : 1;
    QPointF previous = p0;
    for (int i = 1; i <= steps; ++i) {
        const double t = double(i) / steps, u = 1 - t;
        const QPointF p = i == steps ? p3 : u * u * u * p0 + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * p3;
        out.push_back({previous, p});
        previous = p;
    }
}

// Appends the path's lines in device space; fills close every subpath, strokes leave them as
// drawn. The transform only scales and translates (the raster target accepts no other).
void appendFlattened(std::vector<Segment> &out, const QPainterPath &path, const QTransform &transform,
                     bool closeSubpaths)
{
    const double sx = transform.m11(), sy = transform.m22(), dx = transform.dx(), dy = transform.dy();
    auto map = [&](const QPainterPath::Element &e) { return QPointF(sx * e.x + dx, sy * e.y + dy); };
    out.reserve(out.size() + size_t(path.elementCount()));
    QPointF start, current;
    bool open = false;
    auto close = [&] {
        if (closeSubpaths && open && current != start)
            out.push_back({current, start});
    };
    const int count = path.elementCount();
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element &e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            close();
            start = current = map(e);
            open = true;
            break;
        case QPainterPath::LineToElement: {
            const QPointF p = map(e);
            out.push_back({current, p});
            current = p;
            break;
        }
        case QPainterPath::CurveToElement: {
            if (i + 2 >= count) {
                i = count;
                break;
            }
            const QPointF c1 = map(e);
            const QPointF c2 = map(path.elementAt(i + 1));
            const QPointF p = map(path.elementAt(i + 2));
            appendCubic(out, current, c1, c2, p, closeSubpaths);
            current = p;
            i += 2;
            break;
        }
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    close();
}

// Whether every subpath ends where it starts (so a pen's caps never show).
bool isClosed(const QPainterPath &path)
{
    QPointF start;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element &e = path.elementAt(i);
        if (e.isMoveTo()) {
            if (i > 0 && QPointF(path.elementAt(i - 1)) != start)
                return false;
            start = QPointF(e);
        }
    }
    return path.elementCount() == 0 || QPointF(path.elementAt(path.elementCount() - 1)) == start;
}

QRectF segmentBounds(const std::vector<Segment> &segments, double grow)
{
    double left = INFINITY, top = INFINITY, right = -INFINITY, bottom = -INFINITY;
    for (const Segment &s : segments) {
        left = std::min({left, s.a.x(), s.b.x()});
        right = std::max({right, s.a.x(), s.b.x()});
        top = std::min({top, s.a.y(), s.b.y()});
        bottom = std::max({bottom, s.a.y(), s.b.y()});
    }
    return QRectF(QPointF(left - grow, top - grow), QPointF(right + grow, bottom + grow));
}

// Device coordinates this far out are off any bitmap; refusing them keeps int conversions sane.
bool isReasonable(const QRectF &bounds)
{
    constexpr double limit = 1e7;
    return std::isfinite(bounds.left()) && std::isfinite(bounds.right()) && std::isfinite(bounds.top())
        && std::isfinite(bounds.bottom()) && bounds.left() > -limit && bounds.right() < limit && bounds.top() > -limit
        && bounds.bottom() < limit;
}

} // namespace

void PainterDrawTarget::strokePath(const QPainterPath &path, const QPen &pen)
{
    m_painter.strokePath(path, pen);
}

void PainterDrawTarget::fillPath(const QPainterPath &path, const QColor &color)
{
    m_painter.fillPath(path, color);
}

void PainterDrawTarget::drawTextLine(const QRectF &rect, const QString &line, double fontSize, const QColor &color)
{
    m_painter.save();
    m_painter.setPen(color);
    LabelFont::drawLine(m_painter, rect, line, fontSize);
    m_painter.restore();
}

std::unique_ptr<RasterDrawTarget> RasterDrawTarget::create(QPainter &painter)
{
    if (!painter.isActive() || !painter.paintEngine() || painter.paintEngine()->type() != QPaintEngine::Raster)
        return nullptr;
    QPaintDevice *device = painter.device();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    QImage &image = *static_cast<QImage *>(device);
    if (!AnnotationRaster::supportsFormat(image.format()) || painter.hasClipping()
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver
        || !painter.testRenderHint(QPainter::Antialiasing) || !painter.testRenderHint(QPainter::TextAntialiasing))
        return nullptr;
    const QTransform transform = painter.deviceTransform();
    if (transform.type() > QTransform::TxScale)
        return nullptr;
    const double sx = std::fabs(transform.m11()), sy = std::fabs(transform.m22());
    if (!(sx > 0) || !std::isfinite(sx) || std::fabs(sx - sy) > 1e-9 * sx)
        return nullptr;
    std::unique_ptr<RasterDrawTarget> target(new RasterDrawTarget(painter, image));
    target->m_transform = transform;
    target->m_scale = sx;
    target->m_opacity = std::clamp(painter.opacity(), 0.0, 1.0);
    return target;
}

RasterDrawTarget::RasterDrawTarget(QPainter &painter, QImage &image) : m_painter(painter), m_image(image) {}

RasterDrawTarget::~RasterDrawTarget()
{
    finish();
}

QRgb RasterDrawTarget::deviceColour(const QColor &color) const
{
    QColor c = color.toRgb();
    c.setAlphaF(float(c.alphaF() * m_opacity));
    return qPremultiply(c.rgba());
}

void RasterDrawTarget::strokePath(const QPainterPath &path, const QPen &pen)
{
    const double halfWidth = 0.5 * pen.widthF() * m_scale;
    if (pen.style() == Qt::NoPen || !(halfWidth > 0) || !std::isfinite(halfWidth))
        return;
    const bool round = pen.capStyle() == Qt::RoundCap && pen.joinStyle() == Qt::RoundJoin;
    if (halfWidth <= 0.5 || pen.style() != Qt::SolidLine || (!round && !isClosed(path))) {
        // The painter draws pens up to one device pixel wide as one-pixel hairlines, not as thin
        // outlines; it is fast at that, and only it draws them the same way. Dashes, and the caps
        // and corners of other pens, are its own too.
        finish();
        m_painter.strokePath(path, pen);
        return;
    }
    Shape shape;
    shape.kind = Shape::Kind::Stroke;
    appendFlattened(shape.segments, path, m_transform, false);
    if (shape.segments.empty())
        return;
    shape.halfWidth = halfWidth;
    shape.colour = deviceColour(pen.color());
    shape.clip = m_image.rect();
    shape.bounds = segmentBounds(shape.segments, halfWidth);
    if (isReasonable(shape.bounds))
        m_shapes.push_back(std::move(shape));
}

void RasterDrawTarget::fillPath(const QPainterPath &path, const QColor &color)
{
    addFill(path, m_transform, color, m_image.rect());
}

void RasterDrawTarget::addFill(const QPainterPath &path, const QTransform &transform, const QColor &color,
                               const QRect &clip)
{
    Shape shape;
    shape.kind = Shape::Kind::Fill;
    appendFlattened(shape.segments, path, transform, true);
    if (shape.segments.empty())
        return;
    shape.colour = deviceColour(color);
    shape.clip = clip & m_image.rect();
    shape.bounds = segmentBounds(shape.segments, 0);
    if (isReasonable(shape.bounds))
        m_shapes.push_back(std::move(shape));
}

void RasterDrawTarget::drawTextLine(const QRectF &rect, const QString &line, double fontSize, const QColor &color)
{
    const double deviceFontSize = fontSize * m_scale;
    std::optional<LabelFont::LineOutline> outline;
    if (deviceFontSize > rendererMaxCachedGlyphSize())
        outline = LabelFont::lineOutline(rect, line, fontSize);
    if (!outline) {
        // Drawn by the painter, after everything collected so far.
        finish();
        m_painter.save();
        m_painter.setPen(color);
        LabelFont::drawLine(m_painter, rect, line, fontSize);
        m_painter.restore();
        return;
    }
    QRect clip = m_image.rect();
    if (outline->clipped) {
        // The painter clips to the rectangle mapped to device pixels with its edges rounded.
        const QRectF device = m_transform.mapRect(rect);
        const auto round = [](double v) { return int(std::floor(v + 0.5)); };
        if (!isReasonable(device))
            return;
        clip &= QRect(QPoint(round(device.left()), round(device.top())),
                      QPoint(round(device.right()) - 1, round(device.bottom()) - 1));
    }
    // All glyphs of the line are one fill, as the painter fills them.
    Shape shape;
    shape.kind = Shape::Kind::Fill;
    const QTransform toCanvas(outline->scale, 0, 0, outline->scale, outline->origin.x(), outline->origin.y());
    // Cutting curves depends on the size only, not on where the glyph is.
    const QTransform size = QTransform::fromScale(outline->scale * m_transform.m11(), outline->scale * m_transform.m22());
    for (const LabelFont::LineOutline::Glyph &glyph : outline->glyphs) {
        auto [lines, added] = m_glyphLines.try_emplace({glyph.id, size.m11(), size.m22()});
        if (added)
            appendFlattened(lines->second, glyph.outline, size, true);
        const QPointF at = m_transform.map(toCanvas.map(glyph.position));
        for (const Segment &line : lines->second)
            shape.segments.push_back({line.a + at, line.b + at});
    }
    if (shape.segments.empty())
        return;
    shape.colour = deviceColour(color);
    shape.clip = clip & m_image.rect();
    shape.bounds = segmentBounds(shape.segments, 0);
    if (isReasonable(shape.bounds))
        m_shapes.push_back(std::move(shape));
}

void drawLabelText(AnnotationDrawTarget &target, const MarkupLabelLayout &layout, const QColor &color)
{
    const Rect textRect = layout.textRect;
    for (qsizetype i = 0; i < layout.lines.size(); ++i) {
        const QRectF lineRect(textRect.minX(), textRect.minY() + double(i) * layout.lineHeight, textRect.width,
                              layout.lineHeight);
        target.drawTextLine(lineRect, layout.lines.at(i), layout.fontSize, color);
    }
}

void RasterDrawTarget::finish()
{
    if (m_shapes.empty())
        return;
    AnnotationRaster::paint(m_image, m_shapes);
    m_shapes.clear();
}
