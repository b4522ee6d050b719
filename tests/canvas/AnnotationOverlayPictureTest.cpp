#include "canvas/AnnotationOverlay.h"
#include "markup/MarkupGeometry.h"
#include "platform/ParallelWork.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

// The overlay keeps its annotations drawn in a picture between paints. These check that the
// picture never shows a stale state: after an annotation changes, moves, goes or comes, after a
// zoom, a pan and a switch to another image, what is painted equals a fresh overlay's drawing.

namespace {

MarkupAnnotation make(AnnotationKind kind, UnitPoint2D start, UnitPoint2D end, const QString &text)
{
    MarkupAnnotation a;
    a.id = QUuid::createUuid();
    a.kind = kind;
    a.start = start;
    a.end = end;
    a.text = text;
    a.colorHex = QStringLiteral("#DC2626");
    a.lineWidth = 4;
    a.fontSize = 26;
    if (kind == AnnotationKind::Brush) {
        for (int i = 0; i <= 60; ++i)
            a.points.push_back(UnitPoint2D(start.x + i * 0.005, start.y + 0.05 * std::sin(i / 6.0)));
    }
    return a;
}

std::vector<MarkupAnnotation> scene(double shift)
{
    std::vector<MarkupAnnotation> list;
    for (int i = 0; i < 40; ++i) {
        const double x = 0.05 + 0.2 * (i % 5) + shift;
        const double y = 0.05 + 0.11 * (i / 5);
        const AnnotationKind kind = i % 3 == 0 ? AnnotationKind::Arrow
                                  : i % 3 == 1 ? AnnotationKind::Rectangle
                                               : AnnotationKind::Brush;
        list.push_back(make(kind, {x, y}, {x + 0.12, y + 0.08},
                            kind == AnnotationKind::Brush ? QString() : QStringLiteral("说明 %1").arg(i)));
    }
    return list;
}

QImage blank(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

// Paints the overlay as the canvas does: the canvas at `origin` in a widget of `widget` size,
// repainting `clip`, over the previous content of `image`.
void paintInto(QImage &image, AnnotationOverlay &overlay, QPointF origin, QSizeF canvas, const QRect &clip)
{
    const QRect visible = QRectF(origin, canvas).toAlignedRect().intersected(image.rect());
    QPainter painter(&image);
    painter.setClipRect(clip);
    painter.fillRect(clip, Qt::white);
    overlay.paint(painter, origin, visible, clip);
}

QImage fresh(const std::vector<MarkupAnnotation> &annotations, const AnnotationOverlayDecorations &decorations,
             QPointF origin, QSizeF canvas, QSize widget)
{
    AnnotationOverlay overlay;
    overlay.update(annotations, decorations, canvas);
    QImage image = blank(widget);
    paintInto(image, overlay, origin, canvas, image.rect());
    return image;
}

// Pixels that differ by more than antialiasing: bitmaps drawn in other bands (or composited
// through more layers) may shade a few edge pixels a little differently.
int differing(const QImage &a, const QImage &b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q))}) > 40)
                ++count;
        }
    }
    return count;
}

} // namespace

TEST(AnnotationOverlayPicture, NeverShowsAStaleState)
{
    const QSize widget(720, 520);
    QSizeF canvas(640, 440);
    QPointF origin(40, 40);
    std::vector<MarkupAnnotation> annotations = scene(0);
    AnnotationOverlayDecorations decorations;

    AnnotationOverlay overlay;
    overlay.update(annotations, decorations, canvas);
    QImage screen = blank(widget);
    auto repaint = [&](const QRect &clip) { paintInto(screen, overlay, origin, canvas, clip); };
    auto expectCurrent = [&](const char *what) {
        EXPECT_EQ(differing(screen, fresh(annotations, decorations, origin, canvas, widget)), 0) << what;
    };
    repaint(screen.rect());
    EXPECT_EQ(overlay.pictureBuildCount(), 1);
    expectCurrent("first paint");

    // Repaints that change no annotation (a panel moving over the canvas) only copy.
    repaint(QRect(100, 100, 200, 150));
    repaint(QRect(300, 200, 200, 150));
    EXPECT_EQ(overlay.pictureBuildCount(), 1);
    EXPECT_EQ(overlay.pictureRepairCount(), 0);
    expectCurrent("copies");

    // A moved annotation: only its areas are drawn again, before and after the move.
    const Rect before = MarkupGeometry::annotationBounds(annotations[7], canvas);
    annotations[7].start = annotations[7].start.translated(0.1, 0.05);
    annotations[7].end = annotations[7].end.translated(0.1, 0.05);
    AnnotationOverlay::Damage damage = overlay.update(annotations, decorations, canvas);
    EXPECT_TRUE(damage.area.contains(QPointF(before.midX(), before.midY())));
    repaint(damage.area.toQRectF().translated(origin).toAlignedRect().adjusted(-1, -1, 1, 1));
    // One annotation changing is drawn live over layers of the others (the start of a drag).
    EXPECT_TRUE(overlay.lastPaintUsedLayers());
    expectCurrent("moved");

    // Removed, selected (its outline) and added annotations; the repaint covers the whole canvas.
    annotations.erase(annotations.begin() + 12);
    decorations.selectedID = annotations[3].id;
    annotations.push_back(make(AnnotationKind::Rectangle, {0.3, 0.3}, {0.7, 0.6}, QStringLiteral("新的")));
    overlay.update(annotations, decorations, canvas);
    repaint(screen.rect());
    EXPECT_FALSE(overlay.lastPaintUsedLayers());
    EXPECT_EQ(overlay.pictureBuildCount(), 1);
    EXPECT_EQ(overlay.pictureRepairCount(), 1);
    expectCurrent("removed, selected and added");

    // Pan: the canvas moves in the widget.
    origin += QPointF(-25.5, 13);
    overlay.update(annotations, decorations, canvas);
    repaint(screen.rect());
    expectCurrent("panned");

    // Zoom: every annotation is drawn at the new size.
    canvas = QSizeF(900, 619);
    origin = QPointF(-90, -50);
    overlay.update(annotations, decorations, canvas);
    repaint(screen.rect());
    expectCurrent("zoomed");

    // Another image: none of the old annotations remain.
    annotations = scene(0.03);
    decorations = {};
    overlay.update(annotations, decorations, canvas);
    repaint(screen.rect());
    expectCurrent("other image");
    annotations.clear();
    overlay.update(annotations, decorations, canvas);
    repaint(screen.rect());
    EXPECT_EQ(differing(screen, blank(widget)), 0);
}

TEST(AnnotationOverlayPicture, DragLayersAndPictureAgreeAndTheDraftStaysAbove)
{
    const QSize widget(700, 480);
    const QSizeF canvas(660, 450);
    const QPointF origin(20, 15);
    std::vector<MarkupAnnotation> annotations = scene(0);
    AnnotationOverlayDecorations decorations;
    decorations.selectedID = annotations[20].id;

    AnnotationOverlay overlay;
    overlay.update(annotations, decorations, canvas);
    QImage screen = blank(widget);
    paintInto(screen, overlay, origin, canvas, screen.rect());
    for (int step = 0; step < 3; ++step) {
        annotations[20].start = annotations[20].start.translated(0.01, 0.02);
        annotations[20].end = annotations[20].end.translated(0.01, 0.02);
        const AnnotationOverlay::Damage damage = overlay.update(annotations, decorations, canvas);
        paintInto(screen, overlay, origin, canvas,
                  damage.area.toQRectF().translated(origin).toAlignedRect().adjusted(-1, -1, 1, 1));
        EXPECT_TRUE(overlay.lastPaintUsedLayers());
    }
    EXPECT_EQ(differing(screen, fresh(annotations, decorations, origin, canvas, widget)), 0);

    // The drawing in progress goes above every annotation, and with it gone nothing of it stays.
    decorations.draft = make(AnnotationKind::Rectangle, {0.1, 0.1}, {0.9, 0.9}, QString());
    overlay.update(annotations, decorations, canvas);
    paintInto(screen, overlay, origin, canvas, screen.rect());
    EXPECT_EQ(differing(screen, fresh(annotations, decorations, origin, canvas, widget)), 0);
    decorations.draft.reset();
    const AnnotationOverlay::Damage damage = overlay.update(annotations, decorations, canvas);
    paintInto(screen, overlay, origin, canvas,
              damage.area.toQRectF().translated(origin).toAlignedRect().adjusted(-1, -1, 1, 1));
    EXPECT_EQ(differing(screen, fresh(annotations, decorations, origin, canvas, widget)), 0);
}

TEST(AnnotationOverlayPicture, PreparedOnAnotherThreadPaintsTheSame)
{
    const QSize widget(720, 520);
    const QSizeF canvas(640, 440);
    const QPointF origin(40, 40);
    const std::vector<MarkupAnnotation> annotations = scene(0);
    const AnnotationOverlayDecorations decorations;
    AnnotationOverlay overlay;
    overlay.update(annotations, decorations, canvas);
    const QRect visible = QRectF(origin, canvas).toAlignedRect().intersected(QRect(QPoint(), widget));

    EXPECT_TRUE(overlay.needsPreparation(origin, visible, 1.0));
    {
        ParallelWork::Background work([&] { overlay.prepare(origin, visible, 1.0); });
    }
    EXPECT_FALSE(overlay.needsPreparation(origin, visible, 1.0));
    QImage screen = blank(widget);
    paintInto(screen, overlay, origin, canvas, screen.rect());
    // The paint showed the prepared picture rather than drawing another.
    EXPECT_EQ(overlay.pictureBuildCount(), 1);
    EXPECT_EQ(differing(screen, fresh(annotations, decorations, origin, canvas, widget)), 0);

    // A pan or another pixel ratio needs a new picture; so do the layers of a drag.
    EXPECT_TRUE(overlay.needsPreparation(origin + QPointF(5, 0), visible, 1.0));
    EXPECT_TRUE(overlay.needsPreparation(origin, visible, 2.0));
    std::vector<MarkupAnnotation> moved = annotations;
    moved[7].start = moved[7].start.translated(0.1, 0.05);
    moved[7].end = moved[7].end.translated(0.1, 0.05);
    overlay.update(moved, decorations, canvas);
    EXPECT_TRUE(overlay.needsPreparation(origin, visible, 1.0));
    overlay.prepare(origin, visible, 1.0);
    EXPECT_EQ(overlay.layerBuildCount(), 1);
    paintInto(screen, overlay, origin, canvas, screen.rect());
    EXPECT_TRUE(overlay.lastPaintUsedLayers());
    EXPECT_EQ(overlay.layerBuildCount(), 1);
    EXPECT_EQ(differing(screen, fresh(moved, decorations, origin, canvas, widget)), 0);
}
