#pragma once

#include <QImage>
#include <QPixmap>
#include <QRectF>

#include <vector>

class QPainter;

// Successive halvings of a picture, so that a zoomed-out canvas draws from a level near its
// display size instead of filtering a huge image on every paint (which is slow and aliases badly
// when shrinking by more than two). Level 0 is the picture itself in a fast 32-bit format.
class ImagePyramid {
public:
    ImagePyramid() = default;
    explicit ImagePyramid(const QImage &image);

    bool isNull() const { return m_levels.empty(); }
    // The source picture's size in pixels.
    QSize size() const { return m_size; }
    int levelCount() const { return int(m_levels.size()); }
    const QImage &level(int index) const { return m_levels.at(size_t(index)); }
    // Whether this pyramid was built from that picture (same data, same size).
    bool isBuiltFrom(const QImage &image) const;

    // The smallest level that still has at least `scale` pixels per source pixel, in both axes:
    // scale 1 or more takes level 0, 0.5 level 1, 0.3 level 1, 0.25 level 2.
    int levelIndexFor(double scale) const;

    // Draws the part of the picture that falls into `clip` (device coordinates of the painter,
    // untransformed) when the whole picture is stretched over `target`; in bands of `bandRows`
    // device rows (see PaintBands) when that is positive, so that the caller never waits for
    // worker threads, or else in one draw that Qt's painter may share out among them.
    void draw(QPainter &painter, const QRectF &target, const QRectF &clip, int bandRows = 0) const;

private:
    std::vector<QImage> m_levels;
    // QPixmap copies of the levels, made when first drawn.
    mutable std::vector<QPixmap> m_pixmaps;
    QSize m_size{0, 0};
    qint64 m_sourceKey = 0;
};
