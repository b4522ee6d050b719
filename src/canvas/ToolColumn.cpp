#include "canvas/ToolColumn.h"

#include "ui/PanelButton.h"
#include "ui/PanelChrome.h"
#include "canvas/ToolOrderEditor.h"
#include "canvas/ToolPresentation.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/RawValue.h"
#include "platform/SymbolIcons.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

// ---- ToolColumnButton --------------------------------------------------------------------------------

ToolColumnButton::ToolColumnButton(MarkupTool tool, QWidget *parent)
    : FeedbackButton(parent)
    , m_tool(tool)
    , m_icon(SymbolIcons::icon(ToolPresentation::symbolName(tool), AppTheme::darkSlate()))
    , m_currentIcon(SymbolIcons::icon(ToolPresentation::symbolName(tool), Qt::white))
{
    setFixedSize(76, 58);
    setCornerRadius(8);
    setToolTip(ToolPresentation::helpText(tool));
    setAccessibleName(ToolPresentation::title(tool));
    setCursor(Qt::ArrowCursor);
}

void ToolColumnButton::setBadgeText(const QString &text)
{
    if (text == m_badge)
        return;
    m_badge = text;
    update();
}

void ToolColumnButton::setCurrent(bool current)
{
    if (current == m_current)
        return;
    m_current = current;
    update();
}

void ToolColumnButton::paintContent(QPainter &painter, const QRectF &rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    PanelChrome::paintRoundedBox(painter, rect, 8, m_current ? AppTheme::navy() : QColor(Qt::white),
                                 m_current ? AppTheme::navy() : AppTheme::lightSlate(), 1);
    const QColor foreground = m_current ? QColor(Qt::white) : AppTheme::darkSlate();
    const QFont titleFont = AppFont::font(11, QFont::DemiBold);
    const double titleHeight = QFontMetricsF(titleFont).height();
    const double total = 24 + 5 + titleHeight;
    const double top = rect.center().y() - total / 2;
    const QRectF iconRect(rect.center().x() - 12, top, 24, 24);
    (m_current ? m_currentIcon : m_icon).paint(&painter, iconRect.adjusted(3, 3, -3, -3).toRect());
    painter.setFont(titleFont);
    painter.setPen(foreground);
    painter.drawText(QRectF(rect.left(), top + 29, rect.width(), titleHeight), Qt::AlignHCenter | Qt::AlignTop,
                     ToolPresentation::title(m_tool));

    if (!m_badge.isEmpty()) {
        const QRectF badge(rect.right() - 5 - 16, rect.top() + 5, 16, 16);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_current ? PanelChrome::withAlpha(Qt::white, 0.92) : AppTheme::paleGray());
        painter.drawEllipse(badge);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(m_current ? PanelChrome::withAlpha(Qt::white, 0.2) : AppTheme::lightSlate(), 1));
        painter.drawEllipse(badge.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setFont(AppFont::font(9, QFont::Bold));
        painter.setPen(m_current ? AppTheme::navy() : AppTheme::secondaryText());
        painter.drawText(badge, Qt::AlignCenter, m_badge);
    }
    painter.restore();
}

// ---- ToolSettingsPopover -----------------------------------------------------------------------------

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

// ---- ToolColumn --------------------------------------------------------------------------------------

ToolColumn::ToolColumn(MarkupViewModel &viewModel, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
{
    setFixedWidth(columnWidth);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 14, 0, 14);
    layout->setSpacing(8);
    m_buttonsLayout = new QVBoxLayout;
    m_buttonsLayout->setSpacing(8);
    layout->addLayout(m_buttonsLayout);
    layout->addStretch(1);

    for (MarkupTool tool : RawValue::allCases<MarkupTool>()) {
        auto *button = new ToolColumnButton(tool, this);
        connect(button, &QAbstractButton::clicked, this, [this, tool] { selectTool(tool); });
        m_buttons[tool] = button;
        button->hide();
    }

    PanelButton::Look look;
    look.foreground = AppTheme::secondaryText();
    look.background = Qt::white;
    look.border = AppTheme::lightSlate();
    look.font = AppFont::font(15, QFont::Bold);
    look.iconSize = 17;
    m_settingsButton = new PanelButton(QStringLiteral("slider.horizontal.3"), QString(), look, this);
    m_settingsButton->setFixedSize(76, 32);
    m_settingsButton->setCornerRadius(8);
    m_settingsButton->setToolTip(QStringLiteral("工具设置"));
    m_settingsButton->setAccessibleName(QStringLiteral("工具设置"));
    layout->addWidget(m_settingsButton, 0, Qt::AlignHCenter);
    connect(m_settingsButton, &QAbstractButton::clicked, this, [this] { setToolOrderEditorPresented(true); });

    connect(&viewModel, &MarkupViewModel::toolOrderChanged, this, &ToolColumn::rebuild);
    connect(&viewModel, &MarkupViewModel::selectedToolChanged, this, &ToolColumn::refreshCurrent);
    rebuild();
    refreshCurrent();
}

ToolColumn::~ToolColumn()
{
    delete m_popover;
}

std::vector<ToolColumnButton *> ToolColumn::buttons() const
{
    std::vector<ToolColumnButton *> result;
    for (int i = 0; i < m_buttonsLayout->count(); ++i)
        if (auto *button = qobject_cast<ToolColumnButton *>(m_buttonsLayout->itemAt(i)->widget()))
            result.push_back(button);
    return result;
}

ToolColumnButton *ToolColumn::button(MarkupTool tool) const
{
    ToolColumnButton *button = m_buttons.at(tool);
    return m_buttonsLayout->indexOf(button) >= 0 ? button : nullptr;
}

void ToolColumn::selectTool(MarkupTool tool)
{
    m_viewModel.setSelectedTool(tool);
    m_viewModel.setDraftAnnotation(std::nullopt);
}

void ToolColumn::setToolOrderEditorPresented(bool presented)
{
    if (presented == isToolOrderEditorPresented())
        return;
    if (!presented) {
        // Deleted later: closing usually runs from a handler inside the popover.
        ToolSettingsPopover *popover = m_popover;
        m_popover = nullptr;
        popover->hide();
        popover->deleteLater();
        return;
    }
    // A new editor each time, so no drag state survives from the last opening.
    m_popover = new ToolSettingsPopover(m_viewModel, [this] { setToolOrderEditorPresented(false); }, this);
    m_popover->showBeside(this);
}

void ToolColumn::rebuild()
{
    for (auto &[tool, button] : m_buttons) {
        m_buttonsLayout->removeWidget(button);
        button->hide();
    }
    for (MarkupTool tool : m_viewModel.toolOrder()) {
        ToolColumnButton *button = m_buttons.at(tool);
        m_buttonsLayout->addWidget(button, 0, Qt::AlignHCenter);
        button->setBadgeText(m_viewModel.shortcutKey(tool).value_or(QString()));
        button->show();
    }
}

void ToolColumn::refreshCurrent()
{
    for (auto &[tool, button] : m_buttons)
        button->setCurrent(tool == m_viewModel.selectedTool());
}

void ToolColumn::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), AppTheme::paleGray());
}
