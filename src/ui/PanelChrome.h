#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>

class QLabel;
class QPainter;
class QWidget;

// Painting shared by the floating canvas panels and the sidebar: rounded fills, borders and soft
// shadows painted from a cached blurred image (no graphics effects on the canvas).
namespace PanelChrome {

QColor withAlpha(QColor color, double opacity);

// A plain text label in the font and colour.
QLabel *label(const QString &text, const QFont &font, const QColor &color, QWidget *parent);

// Fills and strokes a rounded rectangle; the border is drawn inside `rect` (butt caps, miter
// joins), a negative border width draws none.
void paintRoundedBox(QPainter &painter, const QRectF &rect, double radius, const QColor &fill,
                     const QColor &border = {}, double borderWidth = -1, bool dashed = false);

// A rounded rectangle of `size` filled with `color` (its alpha included) on a transparent margin
// of `margin` points on every side, its alpha blurred by three rounds of box passes of
// `boxRadius` (close to a Gaussian). Made once per set of arguments and kept; GUI thread only.
QImage blurredRoundedRect(QSize size, double cornerRadius, const QColor &color, int boxRadius, int margin);

// A soft shadow of a rounded rectangle (black at `opacity`, blurred by `radius`, moved by
// `offset`), painted from a blurred image cached per size, corner, blur and opacity.
void paintShadow(QPainter &painter, const QRectF &rect, double cornerRadius, double opacity, double radius,
                 QPointF offset, const QColor &color = Qt::black);

// A monospaced face at a pixel size, for the numbers and colour values of the panels.
QFont monospaceFont(double pixelSize, QFont::Weight weight);
// "%.1f" / "%.0f" as the panels show values (halves rounded as printf does).
QString formatNumber(double value, int decimals);
// A style sheet for a transparent list with a slim 6 px scroll indicator, so that a narrow column
// of cards keeps room for its cards when it scrolls.
QString slimListStyleSheet();

} // namespace PanelChrome
