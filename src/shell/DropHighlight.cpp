#include "shell/DropHighlight.h"

#include "model/AppTheme.h"

#include <QPainter>
#include <QPainterPath>

DropHighlight::DropHighlight(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void DropHighlight::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(AppTheme::accent(), 2, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    pen.setDashPattern({8.0 / 2, 6.0 / 2}); // in units of the pen width
    painter.setPen(pen);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(24, 24, -24, -24), 8, 8);
    painter.drawPath(path);
}
