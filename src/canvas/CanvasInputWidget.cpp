#include "canvas/CanvasInputWidget.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace CanvasKeys {

bool isCanvasKey(int key)
{
    return key == Qt::Key_Escape || key == Qt::Key_Backspace || key == Qt::Key_Delete;
}

} // namespace CanvasKeys

CanvasInputWidget::CanvasInputWidget(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_NoSystemBackground);
    setAccessibleName(QStringLiteral("图片标注画布"));
}

QPointF CanvasInputWidget::canvasPoint(QPointF local) const
{
    const QPointF p = local + m_canvasOrigin;
    return QPointF(std::min(std::max(p.x(), 0.0), m_canvasSize.width()),
                   std::min(std::max(p.y(), 0.0), m_canvasSize.height()));
}

bool CanvasInputWidget::event(QEvent *event)
{
    // The window's shortcuts must not take the keys the canvas always handles.
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (CanvasKeys::isCanvasKey(key->key())) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void CanvasInputWidget::leftDown(QMouseEvent *event, int clickCount)
{
    setFocus(Qt::MouseFocusReason);
    const QPointF point = canvasPoint(event->position());
    m_leftStart = point;
    if (onLeftDown)
        onLeftDown(point, clickCount, event->modifiers());
    event->accept();
}

void CanvasInputWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    leftDown(event, 1);
}

void CanvasInputWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Qt delivers the second press of a double click as this event instead of a press; it must
    // start a press like any other, or the release that follows would be dropped.
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    leftDown(event, 2);
}

void CanvasInputWidget::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF point = canvasPoint(event->position());
    if (onHoverChanged)
        onHoverChanged(point);
    if (m_leftStart && (event->buttons() & Qt::LeftButton) && onLeftDragChanged)
        onLeftDragChanged(point, event->modifiers());
    event->accept();
}

void CanvasInputWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_leftStart) {
        event->ignore();
        return;
    }
    const QPointF point = canvasPoint(event->position());
    m_leftStart.reset();
    if (onLeftDragEnded)
        onLeftDragEnded(point);
    event->accept();
}

void CanvasInputWidget::leaveEvent(QEvent *event)
{
    if (onHoverChanged)
        onHoverChanged(std::nullopt);
    QWidget::leaveEvent(event);
}

void CanvasInputWidget::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        if (onEscape)
            onEscape();
        event->accept();
        return;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        if (onDelete)
            onDelete();
        event->accept();
        return;
    default:
        event->ignore();
    }
}
