#include "canvas/LabelWidthHandle.h"

#include "canvas/PanelPlacement.h"
#include "model/AppTheme.h"
#include "ui/PanelChrome.h"

#include <QPainter>

LabelWidthHandle::LabelWidthHandle(QWidget *parent)
    : FloatingPanel(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setShadow({0.16, 3, QPointF(0, 1)});
    setToolTip(QStringLiteral("拖拽调整文字框宽度"));
    resize(16, 16);
}

bool LabelWidthHandle::sync(const MarkupAnnotation &annotation, QSizeF canvasSize)
{
    const std::optional<QPointF> centre = PanelPlacement::labelWidthHandleCentre(annotation, canvasSize);
    if (!centre)
        return false;
    setCanvasRect(PanelPlacement::rectAround(*centre, PanelPlacement::labelWidthHandleSize()));
    return true;
}

void LabelWidthHandle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(PanelChrome::withAlpha(Qt::white, 0.7));
    painter.setPen(QPen(AppTheme::navy(), 2));
    painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
}
