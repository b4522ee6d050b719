#pragma once

#include <QImage>
#include <QPixmap>
#include <QRectF>

class QPainter;

// The soft shadow under a canvas card (black at 0.12): a small blurred rounded rectangle made
// once and stretched around the card by its nine slices, so a card of any size costs one cheap
// border-pixmap draw.
namespace CardShadow {

// The blurred rounded rectangle for a blur radius and corner radius.
QImage image(int blur, double cornerRadius);

// Paints `shadow` (made by image() with the same blur) around `card`, moved down by offsetY.
void paint(QPainter &painter, const QRectF &card, const QPixmap &shadow, int blur, double offsetY);

} // namespace CardShadow
