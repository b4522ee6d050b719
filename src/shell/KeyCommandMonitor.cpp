#include "shell/KeyCommandMonitor.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>
#include <QWindow>

namespace KeyCommands {

namespace {

constexpr Qt::KeyboardModifiers commandModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

bool holdsCommandKeys(Qt::KeyboardModifiers modifiers)
{
    return modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

} // namespace

std::optional<QString> shortcutName(int key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    const Qt::KeyboardModifiers m = modifiers & commandModifiers;
    const bool exactlyCommand = m == Qt::ControlModifier;
    const bool exactlyControl = m == Qt::MetaModifier;
    const bool shiftAndCommandOrControl =
        m == (Qt::ShiftModifier | Qt::ControlModifier) || m == (Qt::ShiftModifier | Qt::MetaModifier);

    switch (key) {
    case Qt::Key_Z:
        if (exactlyCommand || exactlyControl)
            return QStringLiteral("undo");
        if (shiftAndCommandOrControl)
            return QStringLiteral("redo");
        break;
    case Qt::Key_O:
        if (exactlyCommand)
            return QStringLiteral("openProject");
        break;
    case Qt::Key_S:
        if (exactlyCommand)
            return QStringLiteral("saveProject");
        break;
    case Qt::Key_C:
        if (exactlyCommand || exactlyControl)
            return QStringLiteral("copy");
        break;
    case Qt::Key_V:
        if (exactlyCommand || exactlyControl)
            return QStringLiteral("paste");
        break;
    case Qt::Key_A:
        if (exactlyCommand || exactlyControl)
            return QStringLiteral("selectAll");
        break;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return QStringLiteral("delete");
    case Qt::Key_Escape:
        return QStringLiteral("escape");
    default:
        break;
    }
    // Qt's text already has Shift applied; with Ctrl it may hold a control character, which is
    // no name of anything, so only printable text counts.
    if (text.isEmpty() || !text.at(0).isPrint())
        return std::nullopt;
    return text;
}

bool shouldHandle(const QString &name, Qt::KeyboardModifiers modifiers, bool textFocused, bool sameWindow)
{
    if (!sameWindow || name.isEmpty())
        return false;
    if (name == QLatin1String("escape"))
        return !holdsCommandKeys(modifiers);
    if (name == QLatin1String("openProject") || name == QLatin1String("saveProject"))
        return true;
    if (textFocused)
        return false;
    if (name == QLatin1String("undo") || name == QLatin1String("redo") || name == QLatin1String("copy")
        || name == QLatin1String("paste") || name == QLatin1String("selectAll"))
        return true;
    if (holdsCommandKeys(modifiers))
        return false;
    static const QStringList accepted = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                         QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"),
                                         QStringLiteral("7"), QStringLiteral("delete"), QStringLiteral("z")};
    return accepted.contains(name.toLower());
}

bool isTextInputWidget(const QWidget *widget)
{
    if (!widget)
        return false;
    if (qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QTextEdit *>(widget)
        || qobject_cast<const QPlainTextEdit *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget))
        return true;
    if (const auto *combo = qobject_cast<const QComboBox *>(widget))
        return combo->isEditable();
    // The viewport of a text view can hold the focus after a click inside it.
    if (const QWidget *parent = widget->parentWidget())
        return (qobject_cast<const QTextEdit *>(parent) || qobject_cast<const QPlainTextEdit *>(parent))
               && widget == static_cast<const QAbstractScrollArea *>(parent)->viewport();
    return false;
}

} // namespace KeyCommands

KeyCommandMonitor::KeyCommandMonitor(Handler handler, QObject *parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{
}

void KeyCommandMonitor::attach(QWindow *window)
{
    if (!window || window == m_window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    m_window->installEventFilter(this);
}

bool KeyCommandMonitor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched == m_window)
        return handleKeyPress(static_cast<QKeyEvent *>(event));
    return QObject::eventFilter(watched, event);
}

bool KeyCommandMonitor::handleKeyPress(QKeyEvent *event)
{
    const std::optional<QString> name = KeyCommands::shortcutName(event->key(), event->modifiers(), event->text());
    if (!name || !m_handler)
        return false;
    // The focus widget of this window; a focused widget of another window does not count.
    QWidget *focus = QApplication::focusWidget();
    if (focus && focus->window()->windowHandle() != m_window)
        focus = nullptr;
    // The filter sits on this window alone, so every press it sees belongs to it.
    const bool sameWindow = true;
    if (!KeyCommands::shouldHandle(*name, event->modifiers(), KeyCommands::isTextInputWidget(focus), sameWindow))
        return false;
    return m_handler(*name);
}
