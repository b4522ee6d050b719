#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

// A rectangle with the edge rules the markup geometry is defined by, which QRectF does not follow:
// - the null rectangle (the result of a failed intersection or an over-inset) is distinct from an
//   empty one; a zero-width or zero-height rectangle is empty but not null and still intersects;
// - `contains` is half-open: [minX, maxX) × [minY, maxY);
// - negative sizes are standardised before any computation;
// - insetting past zero gives the null rectangle;
// - `integral` rounds outwards to whole units.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    Rect() = default;
    Rect(double x, double y, double width, double height)
        : x(x), y(y), width(width), height(height)
    {
    }
    Rect(QPointF origin, QSizeF size) : Rect(origin.x(), origin.y(), size.width(), size.height()) {}

    static Rect null();
    // The smallest rectangle holding both points.
    static Rect spanning(QPointF a, QPointF b);
    static Rect fromQRectF(const QRectF &rect) { return {rect.x(), rect.y(), rect.width(), rect.height()}; }

    bool isNull() const;
    // Null, or without width or height.
    bool isEmpty() const;
    // Every coordinate and size a finite number.
    bool isFinite() const;

    // The same rectangle with a non-negative size.
    Rect standardized() const;

    // Edges of the standardised rectangle (infinite for the null rectangle).
    double minX() const;
    double minY() const;
    double maxX() const;
    double maxY() const;
    double midX() const { return (minX() + maxX()) / 2; }
    double midY() const { return (minY() + maxY()) / 2; }
    QPointF bottomRight() const { return {maxX(), maxY()}; }

    // Half-open containment; the null and empty rectangles contain nothing.
    bool contains(QPointF point) const;
    // Containment including every edge, for tolerance tests where a point at exactly the
    // tolerance counts. A null rectangle contains nothing.
    bool containsInclusive(QPointF point) const;
    // Containment excluding every edge.
    bool containsStrictly(QPointF point) const;

    // Shrinks by dx on the left and right and by dy at the top and bottom (negative values grow);
    // a result with a negative width or height is the null rectangle.
    Rect insetBy(double dx, double dy) const;
    Rect grownBy(double amount) const { return insetBy(-amount, -amount); }
    Rect offsetBy(double dx, double dy) const;

    // The overlap; rectangles that only touch give a zero-sized overlap, disjoint ones the null
    // rectangle.
    Rect intersected(const Rect &other) const;
    // Whether the overlap is not null (so touching rectangles and lines lying inside intersect).
    bool intersects(const Rect &other) const;
    // The smallest rectangle holding both; the null rectangle is the neutral element.
    Rect united(const Rect &other) const;
    // The smallest rectangle with whole-number edges holding this one.
    Rect integral() const;

    QRectF toQRectF() const;

    bool operator==(const Rect &) const = default;
};
