#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;

// The two shapes most painted controls of the kit start from.
namespace ShellPainting {
// A rounded rectangle filled and/or outlined (1 px) half a pixel inside `rect`.
void roundedPanel(QPainter &painter, const QRectF &rect, qreal radius, const QColor &fill, const QColor &border);
// A symbol icon drawn centred in `rect` at `size` pixels.
void symbol(QPainter &painter, const QString &name, const QColor &tint, const QRectF &rect, int size);
} // namespace ShellPainting
