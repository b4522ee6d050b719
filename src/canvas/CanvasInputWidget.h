#pragma once

#include <QPointF>
#include <QSizeF>
#include <QWidget>

#include <functional>
#include <optional>

// The transparent widget over the visible part of the canvas that takes the left button, hover,
// Escape and the delete keys, turns its positions into canvas points and hands them on. It covers
// only the visible rectangle; `canvasOrigin` (that rectangle's origin in canvas points) turns its
// own coordinates into canvas points, which are then clamped into the canvas, also while a drag
// runs outside the widget.
class CanvasInputWidget final : public QWidget {
    Q_OBJECT

public:
    explicit CanvasInputWidget(QWidget *parent = nullptr);

    void setCanvasSize(QSizeF size) { m_canvasSize = size; }
    QSizeF canvasSize() const { return m_canvasSize; }
    void setCanvasOrigin(QPointF origin) { m_canvasOrigin = origin; }
    QPointF canvasOrigin() const { return m_canvasOrigin; }

    // The canvas point of a position in this widget.
    QPointF canvasPoint(QPointF local) const;

    std::function<void(QPointF, int clickCount, Qt::KeyboardModifiers)> onLeftDown;
    std::function<void(QPointF, Qt::KeyboardModifiers)> onLeftDragChanged;
    std::function<void(QPointF)> onLeftDragEnded;
    std::function<void(std::optional<QPointF>)> onHoverChanged;
    std::function<void()> onEscape;
    std::function<void()> onDelete;

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void leftDown(QMouseEvent *event, int clickCount);

    QSizeF m_canvasSize{0, 0};
    QPointF m_canvasOrigin;
    std::optional<QPointF> m_leftStart;
};

namespace CanvasKeys {
// Escape, Backspace and Delete, with only Shift, Ctrl, Alt or Meta looked at (the keypad and group
// switch flags are ignored): the keys the canvas always takes.
bool isCanvasKey(int key);
} // namespace CanvasKeys
