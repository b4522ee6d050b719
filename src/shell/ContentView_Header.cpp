#include "shell/ContentView.h"

#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "shell/AppUpdateManager.h"
#include "shell/HeaderToolbarOrderEditor.h"
#include "shell/SwitcherButton.h"
#include "shell/UpdateCheckButton.h"
#include "shell/ZoomControls.h"
#include "ui/ActionButton.h"
#include "ui/ControlPainting.h"
#include "ui/ElidedLabel.h"
#include "ui/SymbolButton.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QSlider>
#include <QToolButton>

#include <algorithm>

namespace {

// The workspace switcher's frame: pale fill, rounded and outlined.
class SwitcherFrame : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        ControlPainting::roundedPanel(painter, rect(), 8, AppTheme::paleGray(), AppTheme::lightSlate());
    }
};

// The header's own minimum width never raises the window's: when even the squeezed items do not
// fit, the right end is clipped rather than the window made wider.
class HeaderBar : public QWidget
{
public:
    using QWidget::QWidget;
    QSize minimumSizeHint() const override { return QSize(0, 68); }
    std::function<void()> onResize;

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), AppTheme::background()); }
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        if (onResize)
            onResize();
    }
};

// A header button that gives way shows its symbol alone, with its title as tooltip.
void setHeaderItemCompact(QWidget *widget, bool compact)
{
    if (auto *button = qobject_cast<FeedbackButton *>(widget)) {
        button->setCompact(compact);
        return;
    }
    auto *tool = qobject_cast<QToolButton *>(widget);
    if (!tool || tool->icon().isNull())
        return;
    const char *fullWidth = "kivoraFullMinimumWidth";
    const char *fullTip = "kivoraFullToolTip";
    const bool isCompact = tool->toolButtonStyle() == Qt::ToolButtonIconOnly && tool->property(fullWidth).isValid();
    if (compact == isCompact)
        return;
    if (compact) {
        tool->setProperty(fullWidth, tool->minimumWidth());
        tool->setProperty(fullTip, tool->toolTip());
        tool->setToolTip(tool->toolTip().isEmpty() ? tool->text() : tool->text() + QLatin1Char('\n') + tool->toolTip());
        tool->setToolButtonStyle(Qt::ToolButtonIconOnly);
        tool->setMinimumWidth(tool->minimumHeight());
    } else {
        tool->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        tool->setMinimumWidth(tool->property(fullWidth).toInt());
        tool->setToolTip(tool->property(fullTip).toString());
        tool->setProperty(fullWidth, QVariant());
    }
}

int switcherMinimumWidth(WorkspaceMode mode) { return mode == WorkspaceMode::Compression ? 66 : 78; }

void setDimmed(QWidget *widget, bool disabled)
{
    widget->setEnabled(!disabled);
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(widget->graphicsEffect());
    if (!disabled) {
        if (effect)
            widget->setGraphicsEffect(nullptr);
        return;
    }
    if (!effect) {
        effect = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    effect->setOpacity(ShellRules::disabledOpacity);
}

} // namespace

QWidget *ContentView::makeHeaderBar()
{
    auto *bar = new HeaderBar(this);
    bar->setObjectName(QStringLiteral("headerBar"));
    bar->setFixedHeight(68);
    m_headerLayout = new QHBoxLayout(bar);
    m_headerLayout->setContentsMargins(16, 0, 16, 0);
    m_headerLayout->setSpacing(14);

    auto *updateButton = new UpdateCheckButton(*m_updateManager, bar);
    updateButton->setObjectName(QStringLiteral("updateCheckButton"));
    updateButton->setFixedWidth(122);
    m_headerLayout->addWidget(updateButton);

    auto *switcher = new SwitcherFrame(bar);
    switcher->setObjectName(QStringLiteral("workspaceSwitcher"));
    switcher->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *switcherLayout = new QHBoxLayout(switcher);
    switcherLayout->setContentsMargins(4, 4, 4, 4);
    switcherLayout->setSpacing(4);
    for (WorkspaceMode mode : ShellRules::switchableWorkspaces()) {
        auto *button = new SwitcherButton(ShellRules::workspaceTitle(mode), ShellRules::workspaceSystemImage(mode),
                                          switcherMinimumWidth(mode), switcher);
        button->setToolTip(ShellRules::workspaceHelpText(mode));
        connect(button, &QAbstractButton::clicked, this, [this, mode] {
            // Only the mode and the pan: no panel or other default action of the workspace.
            setWorkspaceMode(mode);
            setPanOffset(QSizeF(0, 0));
        });
        switcherLayout->addWidget(button);
        m_switcherButtons.emplace_back(mode, button);
    }
    m_headerLayout->addWidget(switcher);

    // The flexible gap: the header items stand right of it, next to the order button.
    m_headerLayout->addStretch(1);

    auto *orderButton = new SymbolButton(QStringLiteral("slider.horizontal.3"), 34, 16, AppTheme::secondaryText(), 8, bar);
    orderButton->setObjectName(QStringLiteral("headerToolbarOrderButton"));
    orderButton->setColors(AppTheme::secondaryText(), AppTheme::paleGray(), AppTheme::lightSlate());
    orderButton->setToolTip(QStringLiteral("调整顶部按钮顺序"));
    orderButton->setAccessibleName(QStringLiteral("调整顶部按钮顺序"));
    connect(orderButton, &QAbstractButton::clicked, this,
            [this] { setHeaderToolbarOrderEditorPresented(!m_isHeaderToolbarOrderEditorPresented); });
    m_orderButton = orderButton;
    m_headerLayout->addWidget(orderButton);

    connect(m_viewModel.get(), &MarkupViewModel::headerToolbarOrdersChanged, this, &ContentView::rebuildHeaderItems);
    connect(m_viewModel.get(), &MarkupViewModel::stateChanged, this, &ContentView::refreshHeaderStates);
    m_header = bar;
    bar->onResize = [this] { fitHeaderToWidth(); };
    rebuildHeaderItems();
    return bar;
}

std::vector<HeaderToolbarItem> ContentView::visibleHeaderToolbarItems(HeaderToolbarMode mode) const
{
    return ShellRules::visibleHeaderToolbarItems(m_viewModel->headerToolbarOrder(mode));
}

void ContentView::rebuildHeaderItems()
{
    if (!m_headerLayout)
        return;
    // Deferred: a header item's own signal may have led here.
    for (auto &[item, widget] : m_headerItems) {
        m_headerLayout->removeWidget(widget);
        widget->hide();
        widget->deleteLater();
    }
    m_headerItems.clear();

    for (auto &[mode, button] : m_switcherButtons)
        button->setSelected(mode == m_workspaceMode);

    const std::optional<HeaderToolbarMode> mode = headerToolbarMode();
    m_orderButton->setVisible(mode.has_value());
    if (!mode)
        return;
    // Items go between the flexible gap and the order button.
    int index = m_headerLayout->indexOf(m_orderButton);
    for (HeaderToolbarItem item : visibleHeaderToolbarItems(*mode)) {
        if (!ShellRules::isHeaderItemShown(item, m_workspaceMode))
            continue;
        QWidget *widget = makeHeaderItemView(item);
        if (!widget)
            continue;
        widget->setParent(m_header);
        m_headerLayout->insertWidget(index++, widget);
        widget->show();
        m_headerItems.emplace_back(item, widget);
    }
    refreshHeaderStates();
    fitHeaderToWidth();
}

void ContentView::fitHeaderToWidth()
{
    // When the bar is short of room, parts give way in a fixed order until everything fits: the
    // zoom slider narrows to its minimum; then the header items, from the right end, show their
    // symbol alone; then the workspace switcher's buttons, from the right end. A title is never
    // cut: a button shows it whole or not at all (it is then the button's tooltip).
    std::vector<QWidget *> yielding;
    for (auto it = m_headerItems.rbegin(); it != m_headerItems.rend(); ++it)
        yielding.push_back(it->second);
    for (auto it = m_switcherButtons.rbegin(); it != m_switcherButtons.rend(); ++it)
        yielding.push_back(it->second);
    for (QWidget *widget : yielding)
        setHeaderItemCompact(widget, false);
    ZoomControls *zoom = zoomControls();
    if (zoom)
        zoom->setSliderWidth(ZoomControls::preferredSliderWidth);
    if (!m_switcherButtons.empty() && m_switcherButtons.front().second->parentWidget()->layout())
        m_switcherButtons.front().second->parentWidget()->layout()->invalidate();
    m_headerLayout->invalidate();

    int deficit = m_headerLayout->sizeHint().width() - m_header->width();
    if (zoom && deficit > 0) {
        const int given = std::min(deficit, ZoomControls::preferredSliderWidth - ZoomControls::minimumSliderWidth);
        zoom->setSliderWidth(ZoomControls::preferredSliderWidth - given);
        deficit -= given;
    }
    for (QWidget *widget : yielding) {
        if (deficit <= 0)
            break;
        const int before = widget->sizeHint().width();
        setHeaderItemCompact(widget, true);
        deficit -= before - widget->sizeHint().width();
    }
}

QWidget *ContentView::makeHeaderItemView(HeaderToolbarItem item)
{
    auto actionButton = [this, item](std::function<void()> action) {
        auto *button = new ActionButton(HeaderToolbarItems::title(item), HeaderToolbarItems::systemImage(item));
        button->setToolTip(HeaderToolbarItems::helpText(item));
        connect(button, &QAbstractButton::clicked, this, [action = std::move(action)] {
            if (action)
                action();
        });
        return button;
    };
    switch (item) {
    case HeaderToolbarItem::Zoom:
        return new ZoomControls(*m_viewModel);
    case HeaderToolbarItem::ImportImage:
        return actionButton([this] {
            if (m_hooks.presentImageImportPanel)
                m_hooks.presentImageImportPanel();
        });
    case HeaderToolbarItem::AddToComparison:
        return actionButton([this] {
            if (m_hooks.presentComparisonSetup)
                m_hooks.presentComparisonSetup(true);
        });
    case HeaderToolbarItem::ImageAnnotation:
        return m_hooks.imageAnnotationMenu ? m_hooks.imageAnnotationMenu() : nullptr;
    case HeaderToolbarItem::ImageExport:
        return m_hooks.saveToDesktopButton ? m_hooks.saveToDesktopButton() : nullptr;
    case HeaderToolbarItem::OpenProject:
        return actionButton([this] {
            if (m_hooks.presentOpenProjectPanel)
                m_hooks.presentOpenProjectPanel();
        });
    case HeaderToolbarItem::SaveProject:
        return actionButton([this] { saveProject(); });
    case HeaderToolbarItem::ImageCanvas:
    case HeaderToolbarItem::AddComparison:
    case HeaderToolbarItem::BatchAddComparison:
        return nullptr;
    }
    return nullptr;
}

void ContentView::refreshHeaderStates()
{
    const bool canExport = m_viewModel->canExport();
    const bool hasSelected = !m_viewModel->selectedImageItems().empty();
    const bool isSaving = m_viewModel->isSavingImagesToDesktop();
    for (auto &[item, widget] : m_headerItems) {
        const bool disabled = ShellRules::isHeaderItemDisabled(item, canExport, hasSelected)
            || (item == HeaderToolbarItem::ImageExport && isSaving);
        if (widget->isEnabled() == disabled)
            setDimmed(widget, disabled);
    }
}

QWidget *ContentView::headerItemWidget(HeaderToolbarItem item) const
{
    for (const auto &[candidate, widget] : m_headerItems) {
        if (candidate == item)
            return widget;
    }
    return nullptr;
}

std::vector<HeaderToolbarItem> ContentView::shownHeaderItems() const
{
    std::vector<HeaderToolbarItem> items;
    for (const auto &[item, widget] : m_headerItems)
        items.push_back(item);
    return items;
}

SwitcherButton *ContentView::workspaceSwitcherButton(WorkspaceMode mode) const
{
    for (const auto &[candidate, button] : m_switcherButtons) {
        if (candidate == mode)
            return button;
    }
    return nullptr;
}

ZoomControls *ContentView::zoomControls() const
{
    return qobject_cast<ZoomControls *>(headerItemWidget(HeaderToolbarItem::Zoom));
}

QString ContentView::statusLineText() const { return m_statusLabel->text(); }
QWidget *ContentView::statusLineWidget() const { return m_statusLabel; }

void ContentView::setHeaderToolbarOrderEditorPresented(bool presented)
{
    if (presented == m_isHeaderToolbarOrderEditorPresented)
        return;
    if (presented && !headerToolbarMode())
        return;
    m_isHeaderToolbarOrderEditorPresented = presented;
    if (presented)
        presentHeaderToolbarOrderEditor();
    else
        closeHeaderToolbarOrderEditor();
}

void ContentView::presentHeaderToolbarOrderEditor()
{
    const std::optional<HeaderToolbarMode> mode = headerToolbarMode();
    if (!mode)
        return;
    m_orderEditor = new HeaderToolbarOrderEditor(*m_viewModel, *mode, [this] {
        // Deferred: the close may come from inside one of the editor's own event handlers.
        QMetaObject::invokeMethod(this, [this] { setHeaderToolbarOrderEditorPresented(false); }, Qt::QueuedConnection);
    }, m_orderButton, this);
    m_orderEditor->showBelow(m_orderButton);
}

void ContentView::closeHeaderToolbarOrderEditor()
{
    m_isHeaderToolbarOrderEditorPresented = false;
    if (m_orderEditor) {
        m_orderEditor->hide();
        m_orderEditor->deleteLater();
        m_orderEditor = nullptr;
    }
}
