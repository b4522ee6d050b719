#pragma once

#include "markup/MarkupLabelLayout.h"
#include "model/MarkupAnnotation.h"
#include "platform/Rect.h"

#include <QHash>
#include <QImage>
#include <QPainterPath>
#include <QRect>
#include <QRectF>
#include <QSet>
#include <QSizeF>
#include <QUuid>

#include <memory>
#include <optional>
#include <vector>

class QPainter;
class RasterDrawTarget;

// What the overlay shows besides the annotations themselves.
struct AnnotationOverlayDecorations {
    std::optional<MarkupAnnotation> draft;
    std::optional<QUuid> selectedID;
    QSet<QUuid> selectedIDs;
    std::optional<QRectF> selectionRect;
    std::optional<QRectF> cropRect;
    std::optional<QUuid> editingTextID;

    bool operator==(const AnnotationOverlayDecorations &) const = default;
    bool isSelected(const QUuid &id) const { return selectedID == id || selectedIDs.contains(id); }
};

// Draws, live over the canvas picture, the annotations of the current image, the one being drawn,
// the selection outlines and handles, the marquee and the crop frame. Annotation sizes scale with
// the displayed canvas (per mille of its long side); decorations keep their size in screen points.
//
// It is not a widget: the canvas surface owns one and calls it from its paint pass. Between
// paints it keeps, per annotation, the built paths, the label layout and the area it covers, so
// that a change repaints only the area it damaged. The annotations of the visible part are kept
// drawn in a picture (a bitmap at device pixels): a repaint that changes no annotation (a panel
// moving over the canvas, the eyedropper's hover) only copies from it, and a change draws again
// only the area it damaged. While a drag changes the same few annotations step after step, the
// others are drawn once into two cached layers, those below the moving ones and those above
// them, which keeps the stacking order. Pictures and layers are drawn in horizontal bands on
// several threads, straight into the bitmap by the renderer's raster path.
class AnnotationOverlay {
public:
    AnnotationOverlay();
    ~AnnotationOverlay();

    // The annotations as the overlay draws them: while a label is edited in place, that
    // annotation without its text and number, so its shape shows but the editor stands where the
    // label would be. The view model is not changed.
    static std::vector<MarkupAnnotation> overlayAnnotations(const std::vector<MarkupAnnotation> &annotations,
                                                            const std::optional<QUuid> &editingTextID);
    static MarkupAnnotation overlayAnnotation(const MarkupAnnotation &annotation,
                                              const std::optional<QUuid> &editingTextID);

    // What changed since the last update, in canvas coordinates.
    struct Damage {
        bool everything = false;
        Rect area = Rect::null();
        bool isEmpty() const { return !everything && area.isNull(); }
    };

    // Takes the state to draw (the view model's annotations of the current image, in stacking
    // order) and tells what must be repainted.
    Damage update(const std::vector<MarkupAnnotation> &annotations, const AnnotationOverlayDecorations &decorations,
                  QSizeF canvasSize);

    // Paints in the painter's (widget) coordinates with the canvas's top-left corner at
    // `canvasOrigin`. `visible` is the widget rectangle the canvas occupies on screen (whole
    // pixels), `clip` the part to repaint. Bitmaps are drawn in bands of `bandRows` device rows
    // (see PaintBands), or whole for 0.
    void paint(QPainter &painter, QPointF canvasOrigin, const QRect &visible, const QRect &clip,
               int bandRows = 0);

    // Whether the next paint with these arguments draws a kept bitmap whole (after a zoom, a pan
    // or a change of the annotation list), the slow part of a paint.
    bool needsPreparation(QPointF canvasOrigin, const QRect &visible, double dpr) const;
    // Does that drawing now, so that the paint only shows the bitmap. It reads and writes only the
    // overlay's own state, so the caller may run it on another thread while it paints the rest
    // (the image below), as long as nothing else uses the overlay until it is done.
    void prepare(QPointF canvasOrigin, const QRect &visible, double dpr);

    // While the zoom changes step after step (the wheel turning): shows the kept picture, drawn at
    // an earlier zoom, scaled to the current canvas (parts of the canvas it does not cover, after
    // zooming out, stay without annotations for the moment); the decorations are drawn exactly.
    // Nothing kept is drawn again, so a step costs little; the next paint() draws exactly again.
    // False (nothing painted) when there is no picture to scale or the drag layers are in use:
    // the caller paints as usual. `bandRows` as for paint().
    // `canvasSize` is the canvas's size now; the overlay's state may still be that of an earlier one.
    bool paintScaled(QPainter &painter, QPointF canvasOrigin, QSizeF canvasSize, const QRect &visible,
                     const QRect &clip, int bandRows = 0);

    // One-shot drawing of a whole state into a painter whose origin is the canvas's top-left
    // corner (tests and snapshots).
    static void drawAll(QPainter &painter, const std::vector<MarkupAnnotation> &annotations,
                        const AnnotationOverlayDecorations &decorations, QSizeF canvasSize);

    // How the last paint went, for tests and the benchmark.
    bool lastPaintUsedLayers() const { return m_lastPaintUsedLayers; }
    int layerBuildCount() const { return m_layerBuildCount; }
    // How often the picture was drawn whole, and how often in part (the damaged areas only).
    int pictureBuildCount() const { return m_pictureBuildCount; }
    int pictureRepairCount() const { return m_pictureRepairCount; }

    // One annotation as drawn: its paths, label layout and the area it covers, built once per
    // value and canvas size.
    struct Entry {
        MarkupAnnotation source;
        MarkupAnnotation drawn;
        bool selected = false;
        bool editing = false;
        bool draft = false;
        double strokeWidth = 1.1;
        QPainterPath shape;
        QPainterPath head;
        std::optional<MarkupLabelLayout> label;
        Rect shapeBounds = Rect::null();
        Rect paintBounds = Rect::null();
    };

private:
    // Where a bitmap of annotations stands: the widget rectangle it covers, the canvas origin and
    // size it was drawn for, and its device pixel ratio.
    struct Placement {
        QRect visible;
        QPointF canvasOrigin;
        QSizeF canvasSize{0, 0};
        double dpr = 1;
        bool operator==(const Placement &) const = default;
    };
    struct Layers {
        QImage below;
        QImage above;
        Placement placement;
        bool valid = false;
    };
    struct Picture {
        QImage image;
        Placement placement;
        bool valid = false;
    };

    static Entry makeEntry(const MarkupAnnotation &source, bool selected, bool editing, bool draft, QSizeF size);
    // With a raster target, strokes and fills go through it; the rest (and everything without
    // one) through the painter.
    void drawEntry(QPainter &painter, const Entry &entry, RasterDrawTarget *raster) const;
    void drawDecorationsAbove(QPainter &painter, const QRectF &canvasClip) const;
    // Draws the annotations from…to−1 into the device pixels `pixels` of a bitmap placed as given,
    // after clearing them, in bands on several threads when the area is large.
    void renderEntries(QImage &image, const Placement &placement, const QRect &pixels, int from, int to) const;
    void ensureLayers(const Placement &placement);
    void ensurePicture(const Placement &placement);
    // Whether a paint uses the drag layers (moving annotations drawn live between them).
    bool usesLayers() const { return m_liveRange && m_liveRange->second < int(m_order.size()); }

    QSizeF m_size{0, 0};
    std::vector<QUuid> m_order;
    QHash<QUuid, Entry> m_entries;
    std::optional<Entry> m_draft;
    AnnotationOverlayDecorations m_decorations;
    // The index range of annotations drawn live while the others come from the layers.
    std::optional<std::pair<int, int>> m_liveRange;
    Layers m_layers;
    Picture m_picture;
    // Canvas area whose annotations changed since the picture was last brought up to date.
    Rect m_pictureDamage = Rect::null();
    QImage m_scratch;
    bool m_lastPaintUsedLayers = false;
    int m_layerBuildCount = 0;
    int m_pictureBuildCount = 0;
    int m_pictureRepairCount = 0;
};
