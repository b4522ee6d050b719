#pragma once

#include <QRectF>

#include <functional>

class QPainter;

// Qt's raster painter hands a smoothly scaled draw (or one clipped to a path) of 96 spans or more
// to the application's thread pool, in pieces of 64, and waits for them; so a paint on the GUI
// thread stalls while the pool's threads are busy with other work or waiting for a core. Cut into
// bands of a few device rows (fewer than 96 spans), the same draw is done whole by the calling
// thread, with the same pixels.
namespace PaintBands {

// Band heights, in device rows: under a clip of rectangles a row is one span or a few; an
// antialiased rounded clip breaks rows into several more.
constexpr int rectClipRows = 32;
constexpr int roundedClipRows = 8;

// Whether Qt's application pool is running work now, so that a draw handed to it would wait
// behind that work. An idle pool takes a draw at once and shares it out over the cores, which is
// faster than doing it in bands on one thread.
bool workersBusy();

// Calls draw() once for every band of `rows` device rows of `area`, each time with the painter's
// clip narrowed to the band; once, unclipped, when `rows` is 0 or less, when `area` is no taller
// than a band or when the painter is scaled or turned (only a translation is followed). Bands meet on whole device rows and reach
// past `area` on the left and right, so an existing clip keeps its edges and no pixel is drawn
// twice.
void draw(QPainter &painter, const QRectF &area, const std::function<void()> &draw, int rows = rectClipRows);

} // namespace PaintBands
