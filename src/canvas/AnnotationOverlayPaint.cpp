#include "canvas/AnnotationOverlay.h"

#include "markup/AnnotationRendererTargets.h"
#include "markup/LabelFont.h"
#include "model/HexColor.h"
#include "platform/PaintBands.h"
#include "platform/ParallelWork.h"

#include <QPainter>
#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>

// Drawing of the overlay: one annotation as shown on screen, the decorations above them, and the
// bitmaps (picture and drag layers) the annotations are kept in between paints.

namespace {

// Areas smaller than this many device pixels, with fewer annotations than this in them, are
// drawn on the calling thread in one piece.
constexpr int parallelPixels = 160'000;
constexpr size_t parallelEntries = 24;
// An area drawn on several threads is cut into this many bands, of at least so many rows: several
// bands per thread even out their work (annotations crowd in some parts of a canvas).
constexpr int bandsPerArea = 32;
constexpr int minimumBandRows = 24;

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

// A private copy of a path: entries are drawn on several threads at once, and the painter keeps
// lazily built data inside a path it is handed.
QPainterPath ownCopy(const QPainterPath &path)
{
    QPainterPath copy;
    copy.setFillRule(path.fillRule());
    copy.addPath(path);
    return copy;
}

} // namespace

void AnnotationOverlay::drawEntry(QPainter &painter, const Entry &entry, RasterDrawTarget *raster) const
{
    const MarkupAnnotation &a = entry.drawn;
    const double sw = entry.strokeWidth;
    if (!std::isfinite(sw))
        return;
    const double opacity = entry.draft ? 0.62 : 1.0;
    const QColor base = HexColor::drawingColor(a.colorHex);
    const QColor color = withAlpha(base, opacity);
    auto stroke = [&](const QPainterPath &path, const QPen &pen) {
        if (raster)
            raster->strokePath(ownCopy(path), pen);
        else
            painter.strokePath(path, pen);
    };
    // What follows goes straight to the painter: what the raster target holds is painted first.
    auto painterNext = [&] {
        if (raster)
            raster->finish();
    };

    switch (a.kind) {
    case AnnotationKind::Arrow:
        // The shaft is one smooth curve: its joins are those between the short lines it is cut
        // into, where round and mitred joins do not differ, and round ones let the raster path
        // draw it.
        stroke(entry.shape, pen(color, sw, Qt::RoundCap, Qt::RoundJoin));
        stroke(entry.head, pen(color, sw, Qt::RoundCap, Qt::RoundJoin));
        break;
    case AnnotationKind::Rectangle:
        stroke(entry.shape, pen(color, sw, Qt::RoundCap, Qt::RoundJoin));
        break;
    case AnnotationKind::Brush:
        if (!entry.shape.isEmpty())
            stroke(entry.shape, pen(color, std::max(sw, 2.0), Qt::RoundCap, Qt::RoundJoin));
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
        const QColor border = withAlpha(color, 0.22);
        if (raster) {
            raster->fillPath(bubble, fill);
            // The painter draws a one-point pen as a hairline; painting from several threads at
            // once it contends for the application's thread pool on every span it blends. A hair
            // wider, the border is the raster path's (it covers the same pixels).
            raster->strokePath(bubble, pen(border, std::nextafter(1.0, 2.0), Qt::FlatCap, Qt::MiterJoin));
        } else {
            painter.fillPath(bubble, fill);
            painter.strokePath(bubble, pen(border, 1, Qt::FlatCap, Qt::MiterJoin));
        }

        // The text as the export draws it: the raster path fills large glyphs as outlines and
        // hands small ones to the painter, between its own shapes.
        if (raster) {
            drawLabelText(*raster, layout, color);
        } else {
            PainterDrawTarget direct(painter);
            drawLabelText(direct, layout, color);
        }
    }

    if (!entry.selected && !entry.draft)
        return;
    painterNext();
    Rect outline = entry.shapeBounds;
    if (entry.label) {
        const Rect label = entry.label->bubbleRect.grownBy(8);
        outline = outline.isNull() ? label : outline.united(label);
    }
    if (!outline.isNull() && outline.isFinite()) {
        const QRectF o = outline.grownBy(6).toQRectF();
        QPainterPath path;
        path.addRoundedRect(o, 6, 6);
        // Dashed by the path stroker, whole: the painter dashes only inside its device (skipping
        // the rest approximately), so a bitmap drawn in bands would get the dashes out of step.
        const QPen dashed = dashedPen(outlineBlue(), 2, 7, 4);
        QPainterPathStroker stroker(dashed);
        painter.fillPath(stroker.createStroke(path), dashed.color());
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

void AnnotationOverlay::drawDecorationsAbove(QPainter &painter, const QRectF &canvasClip) const
{
    if (m_draft && (m_draft->paintBounds.isNull() || m_draft->paintBounds.intersects(Rect::fromQRectF(canvasClip))))
        drawEntry(painter, *m_draft, nullptr);
    if (m_decorations.selectionRect)
        drawSelectionRect(painter, *m_decorations.selectionRect);
    if (m_decorations.cropRect)
        drawCropOverlay(painter, *m_decorations.cropRect, m_size);
}

void AnnotationOverlay::renderEntries(QImage &image, const Placement &placement, const QRect &pixels, int from,
                                      int to) const
{
    const QRect area = pixels.intersected(image.rect());
    if (area.isEmpty())
        return;
    const double dpr = placement.dpr;
    // Canvas point → bitmap point (logical).
    const QPointF offset = placement.canvasOrigin - QPointF(placement.visible.topLeft());
    // The entries to draw, found once: the bands only test these.
    std::vector<const Entry *> entries;
    const Rect areaInCanvas = Rect::fromQRectF(
        QRectF(area.x() / dpr, area.y() / dpr, area.width() / dpr, area.height() / dpr).translated(-offset));
    for (int i = from; i < to; ++i) {
        const auto it = m_entries.constFind(m_order[size_t(i)]);
        if (it == m_entries.constEnd() || it->paintBounds.isNull() || !it->paintBounds.intersects(areaInCanvas))
            continue;
        entries.push_back(&*it);
        // Lines are laid out once for every size and kept; laid out here, on the calling thread,
        // the bands find them ready instead of all waiting on the font engine at once.
        if (it->label) {
            const MarkupLabelLayout &layout = *it->label;
            for (const QString &line : layout.lines)
                LabelFont::lineOutline(QRectF(0, 0, layout.textRect.width, layout.lineHeight), line, layout.fontSize);
        }
    }

    const qsizetype bytesPerLine = image.bytesPerLine();
    uchar *bits = image.bits();
    const int depth = image.depth() / 8;
    const bool parallel = (qint64(area.width()) * area.height() >= parallelPixels || entries.size() >= parallelEntries)
                       && entries.size() > 1;
    const int rows = parallel ? std::max(minimumBandRows, area.height() / bandsPerArea + 1) : area.height();
    const int bands = (area.height() + rows - 1) / rows;
    auto drawBand = [&](int index) {
        const int top = area.y() + index * rows;
        const int height = std::min(rows, area.bottom() + 1 - top);
        // The band as a bitmap of its own over the same memory: the raster path paints whole
        // bitmaps, unclipped.
        QImage band(bits + top * bytesPerLine + area.x() * depth, area.width(), height, bytesPerLine, image.format());
        band.setDevicePixelRatio(dpr);
        band.fill(Qt::transparent);
        const QPointF bandOrigin(area.x() / dpr, top / dpr);
        const Rect clip = Rect::fromQRectF(QRectF(bandOrigin, QSizeF(area.width() / dpr, height / dpr)).translated(-offset));
        QPainter painter(&band);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.translate(offset - bandOrigin);
        std::unique_ptr<RasterDrawTarget> raster = RasterDrawTarget::create(painter);
        for (const Entry *entry : entries) {
            if (entry->paintBounds.intersects(clip))
                drawEntry(painter, *entry, raster.get());
        }
        if (raster)
            raster->finish();
    };
    if (bands == 1)
        drawBand(0);
    else
        ParallelWork::forEach(bands, drawBand);
}

namespace {

QImage &sized(QImage &image, const QRect &visible, double dpr)
{
    const QSize pixels(int(std::ceil(visible.width() * dpr)), int(std::ceil(visible.height() * dpr)));
    if (image.size() != pixels || image.format() != QImage::Format_ARGB32_Premultiplied)
        image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    return image;
}

} // namespace

void AnnotationOverlay::ensureLayers(const Placement &placement)
{
    if (m_layers.valid && m_layers.placement == placement)
        return;
    const QRect whole(QPoint(0, 0), sized(m_layers.below, placement.visible, placement.dpr).size());
    sized(m_layers.above, placement.visible, placement.dpr);
    renderEntries(m_layers.below, placement, whole, 0, m_liveRange->first);
    renderEntries(m_layers.above, placement, whole, m_liveRange->second + 1, int(m_order.size()));
    m_layers.placement = placement;
    m_layers.valid = true;
    ++m_layerBuildCount;
}

void AnnotationOverlay::ensurePicture(const Placement &placement)
{
    if (m_picture.valid && m_picture.placement == placement) {
        if (m_pictureDamage.isNull())
            return;
        // Only what changed: the damaged canvas area in device pixels, a pixel more all round.
        const double dpr = placement.dpr;
        const QRectF area = m_pictureDamage.toQRectF().translated(placement.canvasOrigin - QPointF(placement.visible.topLeft()));
        const QRect pixels = QRectF(area.x() * dpr, area.y() * dpr, area.width() * dpr, area.height() * dpr)
                                 .toAlignedRect()
                                 .adjusted(-1, -1, 1, 1);
        renderEntries(m_picture.image, placement, pixels, 0, int(m_order.size()));
        m_pictureDamage = Rect::null();
        ++m_pictureRepairCount;
        return;
    }
    sized(m_picture.image, placement.visible, placement.dpr);
    renderEntries(m_picture.image, placement, m_picture.image.rect(), 0, int(m_order.size()));
    m_picture.placement = placement;
    m_picture.valid = true;
    m_pictureDamage = Rect::null();
    ++m_pictureBuildCount;
}

void AnnotationOverlay::paint(QPainter &painter, QPointF canvasOrigin, const QRect &visible, const QRect &clip,
                              int bandRows)
{
    const QRect area = visible.intersected(clip);
    m_lastPaintUsedLayers = false;
    if (area.isEmpty())
        return;
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const Placement placement{visible, canvasOrigin, m_size, dpr};
    // The part of a bitmap placed at `visible` that lands on `area`.
    const QRectF source((area.x() - visible.x()) * dpr, (area.y() - visible.y()) * dpr, area.width() * dpr,
                        area.height() * dpr);
    painter.save();
    const bool useLayers = usesLayers();
    // The bitmaps go in bands when the caller asks, so that the painter does not wait for busy
    // worker threads.
    if (useLayers) {
        ensureLayers(placement);
        // The moving annotations, drawn the same way as the layers into a bitmap of the area.
        const Placement live{area, canvasOrigin, m_size, dpr};
        sized(m_scratch, area, dpr);
        renderEntries(m_scratch, live, m_scratch.rect(), m_liveRange->first, m_liveRange->second + 1);
        PaintBands::draw(painter, QRectF(area), [&] {
            painter.drawImage(QRectF(area), m_layers.below, source);
            painter.drawImage(area.topLeft(), m_scratch);
            painter.drawImage(QRectF(area), m_layers.above, source);
        }, bandRows);
        m_lastPaintUsedLayers = true;
    } else {
        ensurePicture(placement);
        PaintBands::draw(painter, QRectF(area), [&] { painter.drawImage(QRectF(area), m_picture.image, source); },
                         bandRows);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(canvasOrigin);
    drawDecorationsAbove(painter, QRectF(area).translated(-canvasOrigin));
    painter.restore();
}

bool AnnotationOverlay::paintScaled(QPainter &painter, QPointF canvasOrigin, QSizeF canvasSize, const QRect &visible,
                                    const QRect &clip, int bandRows)
{
    const QRect area = visible.intersected(clip);
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const Placement &kept = m_picture.placement;
    if (area.isEmpty() || !m_picture.valid || usesLayers() || kept.dpr != dpr || kept.canvasSize.isEmpty()
        || canvasSize.isEmpty() || m_size.isEmpty())
        return false;
    m_lastPaintUsedLayers = false;
    // Widget point w of the kept picture → origin + (w − keptOrigin) × scale now.
    const double sx = canvasSize.width() / kept.canvasSize.width();
    const double sy = canvasSize.height() / kept.canvasSize.height();
    const QPointF topLeft = canvasOrigin + QPointF((kept.visible.x() - kept.canvasOrigin.x()) * sx,
                                                   (kept.visible.y() - kept.canvasOrigin.y()) * sy);
    const QRectF target(topLeft, QSizeF(kept.visible.width() * sx, kept.visible.height() * sy));
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // In bands when the caller asks: a wheel step's repaint must not wait for busy worker threads.
    PaintBands::draw(
        painter, QRectF(area), [&] { painter.drawImage(target, m_picture.image, QRectF(m_picture.image.rect())); },
        bandRows);
    // The decorations as they stand in the overlay's canvas, scaled the same way.
    const double ux = canvasSize.width() / m_size.width();
    const double uy = canvasSize.height() / m_size.height();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(canvasOrigin);
    painter.scale(ux, uy);
    const QRectF clipInCanvas = QRectF(area).translated(-canvasOrigin);
    drawDecorationsAbove(painter, QRectF(clipInCanvas.x() / ux, clipInCanvas.y() / uy, clipInCanvas.width() / ux,
                                         clipInCanvas.height() / uy));
    painter.restore();
    return true;
}

bool AnnotationOverlay::needsPreparation(QPointF canvasOrigin, const QRect &visible, double dpr) const
{
    if (visible.isEmpty())
        return false;
    const Placement placement{visible, canvasOrigin, m_size, dpr};
    if (usesLayers())
        return !(m_layers.valid && m_layers.placement == placement);
    return !(m_picture.valid && m_picture.placement == placement);
}

void AnnotationOverlay::prepare(QPointF canvasOrigin, const QRect &visible, double dpr)
{
    if (!needsPreparation(canvasOrigin, visible, dpr))
        return;
    const Placement placement{visible, canvasOrigin, m_size, dpr};
    if (usesLayers())
        ensureLayers(placement);
    else
        ensurePicture(placement);
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
