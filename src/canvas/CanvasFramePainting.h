#pragma once

#include <QImage>
#include <QRectF>

class CanvasFrameSource;
class QPainter;

// How the canvas paints the picture of a frame source: the whole frame, letterboxed into the card,
// never cropped or stretched.
namespace CanvasFramePainting {

// Paints `frame` (the source's current one) into `card`. Where the source holds a copy already scaled
// to the size the frame is shown at, that copy is drawn pixel for pixel, which costs a fraction of
// scaling the full picture on every paint; otherwise the frame is scaled smoothly here. Tells the
// source the box the frames are shown in, so that it can scale the next ones ahead.
void paint(QPainter &painter, CanvasFrameSource &source, const QImage &frame, const QRectF &card,
           double devicePixelRatio);

} // namespace CanvasFramePainting
