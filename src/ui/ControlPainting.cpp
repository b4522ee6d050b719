#include "ui/ControlPainting.h"

#include "platform/SymbolIcons.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace ControlPainting {

void roundedPanel(QPainter &painter, const QRectF &rect, qreal radius, const QColor &fill, const QColor &border,
                  qreal borderWidth)
{
    const qreal half = borderWidth / 2;
    const QRectF inner = rect.adjusted(half, half, -half, -half);
    QPainterPath path;
    path.addRoundedRect(inner, radius, radius);
    if (fill.isValid() && fill.alpha() > 0)
        painter.fillPath(path, fill);
    if (border.isValid() && border.alpha() > 0) {
        painter.setPen(QPen(border, borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
}

void symbol(QPainter &painter, const QString &name, const QColor &tint, const QRectF &rect, int size)
{
    const QRect target(int(std::lround(rect.center().x() - size / 2.0)), int(std::lround(rect.center().y() - size / 2.0)),
                       size, size);
    SymbolIcons::icon(name, tint).paint(&painter, target);
}

void alignedSymbol(QPainter &painter, const QString &name, const QColor &tint, const QRectF &box, int size)
{
    SymbolIcons::icon(name, tint).paint(&painter, QRectF(box.center() - QPointF(size / 2.0, size / 2.0), QSizeF(size, size)).toAlignedRect());
}

void elidedText(QPainter &painter, const QRectF &rect, const QString &text, const QFont &font, const QColor &color,
                Qt::TextElideMode mode, Qt::Alignment alignment)
{
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(rect, alignment, QFontMetrics(font).elidedText(text, mode, int(rect.width())));
}

} // namespace ControlPainting
