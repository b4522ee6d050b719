#pragma once

#include "model/ImageItems.h"
#include "ui/ImagePyramid.h"

#include <QPixmap>
#include <QWidget>

#include <functional>
#include <optional>

// The comparison canvas and its area: one pair drawn on a white rounded card centred in the area
// (plus the pan), the before picture in full and the after picture right of the divider, both at
// the one scale that fits their larger sizes, with the divider line, its round handle and the two
// corner captions. A press or drag on the card moves the divider (never on a caption); it is the
// only value the canvas changes, through `fractionEdited`. Pictures are drawn from a pyramid
// level near their display size, and only inside the repainted region.
class ComparisonSurface final : public QWidget {
    Q_OBJECT

public:
    explicit ComparisonSurface(QWidget *parent = nullptr);

    void setPair(const std::optional<ComparisonPairState> &pair);
    void setZoom(double zoom);
    void setPanOffset(QSizeF offset);
    // The divider position to draw; values outside 0…1 are drawn at the nearest edge.
    void setFraction(double fraction);
    double fraction() const { return m_fraction; }

    // Receives the position a press or drag writes.
    std::function<void(double)> fractionEdited;

    // The pair's reference size fitted into this area, before zoom.
    QSizeF fitSize() const;
    // The card in widget coordinates.
    QRectF canvasRect() const;
    QRectF captionRect(bool trailing) const;
    // The strip that changes when the divider moves between the two positions.
    QRect dividerChangeRect(double from, double to) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    struct Side {
        ImageHandle handle;
        QSizeF pixelSize{0, 0};
        ImagePyramid pyramid;
        bool loaded = false;
    };

    void drawLayer(QPainter &painter, Side &side, const QRectF &canvas, const QRect &clip, double fraction,
                   bool trailing);
    void drawDivider(QPainter &painter, const QRectF &canvas) const;
    void drawCaption(QPainter &painter, const QRectF &rect, const QString &text) const;
    void dragTo(QPointF position);
    QSizeF referenceSize() const;

    Side m_before;
    Side m_after;
    bool m_hasPair = false;
    double m_zoom = 1;
    QSizeF m_panOffset{0, 0};
    double m_fraction = 0.5;
    bool m_dragging = false;
    QPixmap m_cardShadow;
};
