#include "canvas/ToolColumn.h"

#include "canvas/ToolOrderEditor.h"
#include "canvas/ToolPresentation.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/RawValue.h"
#include "model/TypeScale.h"
#include "platform/SymbolIcons.h"
#include "ui/PanelButton.h"
#include "ui/PanelChrome.h"

#include <QPainter>
#include <QVBoxLayout>

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
    look.font = AppFont::font(TypeScale::field, QFont::Bold);
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
