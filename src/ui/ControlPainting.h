#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;

// The two shapes most painted controls of the kit start from.
namespace ControlPainting {
// A rounded rectangle filled and/or outlined, its outline (1 px unless told) drawn inside `rect`.
void roundedPanel(QPainter &painter, const QRectF &rect, qreal radius, const QColor &fill, const QColor &border,
                  qreal borderWidth = 1);
// A symbol icon drawn centred in `rect` at `size` pixels.
void symbol(QPainter &painter, const QString &name, const QColor &tint, const QRectF &rect, int size);
// A symbol icon drawn into the pixel-aligned square of `size` about the centre of `box`, grown by a
// pixel where that centre falls between pixels.
void alignedSymbol(QPainter &painter, const QString &name, const QColor &tint, const QRectF &box, int size);
// One line of text in the font and colour, elided to the width of `rect`.
void elidedText(QPainter &painter, const QRectF &rect, const QString &text, const QFont &font, const QColor &color,
                Qt::TextElideMode mode, Qt::Alignment alignment);
} // namespace ControlPainting
