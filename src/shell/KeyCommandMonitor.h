#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWindow>

#include <functional>
#include <optional>

class QKeyEvent;
class QWidget;
class QWindow;

// The window's key commands: how a key press is named, whether the window takes it, and the
// monitor that hands it to the root view.
namespace KeyCommands {

// The command name of a key press: "undo", "redo", "openProject", "saveProject", "copy", "paste",
// "selectAll", "delete", "escape", or else the key's text (Shift applied); nothing when the key
// has no text. The window's commands are on Ctrl; Meta (the Super key) gives undo, redo, copy,
// paste and select all as well, while opening and saving take Ctrl alone. The keypad and
// group-switch flags are ignored.
std::optional<QString> shortcutName(int key, Qt::KeyboardModifiers modifiers, const QString &text);

// Whether a named key press is a command of this window, or must pass on to the focused widget.
// textFocused: a text field or text view (read-only ones included) has the keyboard focus.
bool shouldHandle(const QString &name, Qt::KeyboardModifiers modifiers, bool textFocused, bool sameWindow);

// Whether the widget takes typed text: line edits, text views, spin boxes and editable combo boxes
// (the last two are the focus widget themselves, with their line edit as focus proxy).
bool isTextInputWidget(const QWidget *widget);

} // namespace KeyCommands

// Watches the key presses of one window before its focused widget sees them. Installed on the
// window's QWindow, it sees each press once and never those of other windows (dialogs, message
// boxes and popovers are windows of their own). A press that maps to an accepted command name is
// handed to the handler; when the handler answers true the press is consumed, otherwise it goes on
// unchanged.
class KeyCommandMonitor : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<bool(const QString &)>;

    explicit KeyCommandMonitor(Handler handler, QObject *parent = nullptr);

    // Starts watching `window`; a second call for the same window adds nothing.
    void attach(QWindow *window);
    QWindow *window() const { return m_window; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool handleKeyPress(QKeyEvent *event);

    Handler m_handler;
    QPointer<QWindow> m_window;
};
