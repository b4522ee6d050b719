#pragma once

#include "support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include <functional>

// Synthetic input for the widget tests, delivered the way the application delivers it.
namespace PanelsTestInput {

inline void pump(int milliseconds = 0)
{
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } while (timer.elapsed() < milliseconds);
}

using TestSupport::waitUntil;

// Shows a top-level window and makes it the active one (keyboard focus needs that).
inline bool showActive(QWidget &window)
{
    window.show();
    window.activateWindow();
    window.raise();
    return waitUntil([&] { return window.isVisible() && QApplication::activeWindow() == &window; });
}

inline void mouseClick(QWidget *widget, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                       std::optional<QPoint> at = std::nullopt)
{
    const QPointF local = at ? QPointF(*at) : QPointF(widget->rect().center());
    const QPointF global = widget->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, modifiers);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, modifiers);
    QApplication::sendEvent(widget, &release);
}

inline void keyClick(QWidget *widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                     const QString &text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(widget, &release);
}

inline void keyClicks(QWidget *widget, const QString &text)
{
    for (QChar c : text)
        keyClick(widget, c.toUpper().unicode(), Qt::NoModifier, QString(c));
}

} // namespace PanelsTestInput
