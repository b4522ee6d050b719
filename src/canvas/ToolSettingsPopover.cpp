#include "canvas/ToolSettingsPopover.h"

#include "canvas/ToolOrderEditor.h"
#include "model/AppTheme.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

ToolSettingsPopover::ToolSettingsPopover(MarkupViewModel &viewModel, std::function<void()> close, QWidget *anchor)
    : QWidget(anchor ? anchor->window() : nullptr, Qt::Tool | Qt::FramelessWindowHint)
    , m_close(std::move(close))
    , m_anchor(anchor)
{
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    m_editor = new ToolOrderEditor(viewModel, [this] { requestClose(); }, this);
    layout->addWidget(m_editor);
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            requestClose();
    });
}

ToolSettingsPopover::~ToolSettingsPopover()
{
    qApp->removeEventFilter(this);
}

void ToolSettingsPopover::requestClose()
{
    // The owner deletes the window later; closing from inside one of its own handlers is safe.
    if (m_close)
        m_close();
}

void ToolSettingsPopover::showBeside(QWidget *anchor)
{
    adjustSize();
    QPoint topLeft(0, 0);
    if (anchor) {
        const QPoint anchorTopRight = anchor->mapToGlobal(QPoint(anchor->width() + 6, 0));
        topLeft = QPoint(anchorTopRight.x(), anchorTopRight.y() + anchor->height() - height());
        if (QScreen *screen = anchor->screen()) {
            const QRect available = screen->availableGeometry();
            topLeft.setY(std::max(available.top(), std::min(topLeft.y(), available.bottom() - height())));
            topLeft.setX(std::min(topLeft.x(), available.right() - width()));
        }
    }
    move(topLeft);
    show();
    raise();
    activateWindow();
}

bool ToolSettingsPopover::eventFilter(QObject *watched, QEvent *event)
{
    if (!isVisible())
        return false;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        requestClose();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        const bool inside = widget == this || isAncestorOf(widget) || widget->window() == this;
        // Menus of the pointer settings are windows of their own, but they belong to the editor.
        const bool ownMenu = widget->window()->parentWidget() && isAncestorOf(widget->window()->parentWidget());
        // A press on the anchor toggles through the anchor itself.
        const bool onAnchor = m_anchor && (widget == m_anchor || m_anchor->isAncestorOf(widget));
        if (!inside && !ownMenu && !onAnchor)
            requestClose();
    }
    return false;
}

void ToolSettingsPopover::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(AppTheme::lightSlate());
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}
