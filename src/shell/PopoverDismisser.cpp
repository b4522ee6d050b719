#include "shell/PopoverDismisser.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

PopoverDismisser::PopoverDismisser(QWidget *popover, QWidget *anchor, std::function<void()> close)
    : QObject(popover)
    , m_popover(popover)
    , m_anchor(anchor)
    , m_close(std::move(close))
{
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive && m_close)
            m_close();
    });
}

PopoverDismisser::~PopoverDismisser()
{
    qApp->removeEventFilter(this);
}

bool PopoverDismisser::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_popover || !m_popover->isVisible())
        return false;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        if (m_close)
            m_close();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        const bool inside = widget == m_popover || m_popover->isAncestorOf(widget);
        // A press on the anchor closes through the anchor's own toggle.
        const bool onAnchor = m_anchor && (widget == m_anchor || m_anchor->isAncestorOf(widget));
        if (!inside && !onAnchor && m_close)
            m_close();
    }
    return false;
}
