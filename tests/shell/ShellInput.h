#pragma once

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

// Synthetic input for the window tests. Keys go to the QWindow, as the platform delivers them, so
// the window-level key monitor sees them before the focused widget does.
namespace ShellInput {

// The text a keyboard would attach to the press.
inline QString keyText(int key, Qt::KeyboardModifiers modifiers)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        if (modifiers & Qt::ControlModifier)
            return QString(QChar(char16_t(key - Qt::Key_A + 1)));
        const QChar letter(char16_t('a' + (key - Qt::Key_A)));
        return QString((modifiers & Qt::ShiftModifier) ? letter.toUpper() : letter);
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return QString(QChar(char16_t(key)));
    switch (key) {
    case Qt::Key_Escape: return QStringLiteral("\x1b");
    case Qt::Key_Backspace: return QStringLiteral("\b");
    case Qt::Key_Delete: return QStringLiteral("\x7f");
    default: return {};
    }
}

inline void keyClick(QObject *target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QString text = keyText(key, modifiers);
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(target, &release);
}

inline void mouse(QWidget *widget, QEvent::Type type, const QPoint &point)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(point), QPointF(widget->mapToGlobal(point)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace ShellInput
