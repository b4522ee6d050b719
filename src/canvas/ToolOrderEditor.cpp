#include "canvas/ToolOrderEditor.h"

#include "canvas/PointerSettingsEditor.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/RawValue.h"
#include "model/TypeScale.h"
#include "ui/PanelButton.h"
#include "ui/PanelChrome.h"

#include <QDrag>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

constexpr int maximumScrollHeight = 520;

} // namespace

using PanelChrome::label;

// ---- ToolOrderEditor ---------------------------------------------------------------------------------

ToolOrderEditor::ToolOrderEditor(MarkupViewModel &viewModel, std::function<void()> close, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_close(std::move(close))
{
    setFixedWidth(292);
    setAutoFillBackground(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(12);

    // Header.
    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(label(QStringLiteral("工具设置"), AppFont::font(TypeScale::heading, QFont::Bold), AppTheme::primaryText(), this));
    titles->addWidget(label(QStringLiteral("图片标注"), AppFont::font(TypeScale::caption, QFont::DemiBold), AppTheme::secondaryText(), this));
    header->addLayout(titles);
    header->addStretch(1);
    PanelButton::Look closeLook = ToolOrderRow::moveButtonLook();
    m_closeButton = new PanelButton(QStringLiteral("xmark"), QString(), closeLook, this);
    m_closeButton->setFixedSize(28, 28);
    m_closeButton->setCornerRadius(14);
    m_closeButton->setAccessibleName(QStringLiteral("关闭"));
    m_closeButton->setToolTip(QStringLiteral("关闭"));
    header->addWidget(m_closeButton);
    layout->addLayout(header);

    // Scroll area: the tool rows, a divider and the pointer settings.
    auto *content = new QWidget;
    auto *contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(12);
    auto *toolSection = new QVBoxLayout;
    toolSection->setSpacing(8);
    toolSection->addWidget(label(QStringLiteral("工具顺序"), AppFont::font(TypeScale::caption, QFont::Bold), AppTheme::secondaryText(), content));
    m_rowsLayout = new QVBoxLayout;
    m_rowsLayout->setSpacing(6);
    for (MarkupTool tool : RawValue::allCases<MarkupTool>())
        m_rows[tool] = new ToolOrderRow(*this, tool, content);
    toolSection->addLayout(m_rowsLayout);
    contentLayout->addLayout(toolSection);
    auto *divider = new QFrame(content);
    divider->setFixedHeight(1);
    divider->setStyleSheet(QStringLiteral("background: #DDE3EA; border: none;"));
    contentLayout->addWidget(divider);
    m_pointerSettings = new PointerSettingsEditor(viewModel, content);
    contentLayout->addWidget(m_pointerSettings);
    contentLayout->addStretch(1);

    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setWidget(content);
    m_scrollArea->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    layout->addWidget(m_scrollArea);

    // Footer.
    auto *footer = new QHBoxLayout;
    footer->setSpacing(8);
    PanelButton::Look resetLook;
    resetLook.foreground = AppTheme::primaryText();
    resetLook.font = AppFont::font(TypeScale::body, QFont::Bold);
    resetLook.iconSize = 12;
    m_resetButton = new PanelButton(QStringLiteral("arrow.counterclockwise"), QStringLiteral("恢复默认"), resetLook, this);
    m_resetButton->setFixedHeight(32);
    m_resetButton->setToolTip(QStringLiteral("恢复默认工具顺序和鼠标/触控板设置"));
    PanelButton::Look doneLook;
    doneLook.foreground = Qt::white;
    doneLook.background = AppTheme::navy();
    doneLook.font = AppFont::font(TypeScale::body, QFont::Bold);
    m_doneButton = new PanelButton(QString(), QStringLiteral("完成"), doneLook, this);
    m_doneButton->setFixedSize(58, 32);
    m_doneButton->setToolTip(QStringLiteral("关闭工具顺序设置"));
    footer->addWidget(m_resetButton);
    footer->addStretch(1);
    footer->addWidget(m_doneButton);
    layout->addLayout(footer);

    connect(m_closeButton, &QAbstractButton::clicked, this, [this] {
        if (m_close)
            m_close();
    });
    connect(m_doneButton, &QAbstractButton::clicked, this, [this] {
        if (m_close)
            m_close();
    });
    connect(m_resetButton, &QAbstractButton::clicked, this, &ToolOrderEditor::reset);
    connect(&viewModel, &MarkupViewModel::toolOrderChanged, this, &ToolOrderEditor::refresh);
    refresh();

    content->adjustSize();
    m_scrollArea->setFixedHeight(std::min(content->sizeHint().height(), maximumScrollHeight));
}

std::vector<ToolOrderRow *> ToolOrderEditor::rowsInOrder() const
{
    std::vector<ToolOrderRow *> rows;
    for (int i = 0; i < m_rowsLayout->count(); ++i)
        if (auto *row = qobject_cast<ToolOrderRow *>(m_rowsLayout->itemAt(i)->widget()))
            rows.push_back(row);
    return rows;
}

void ToolOrderEditor::refresh()
{
    // Rows are kept per tool and only moved, so a drag in progress keeps its source row.
    const std::vector<MarkupTool> &order = m_viewModel.toolOrder();
    for (auto &[tool, row] : m_rows) {
        m_rowsLayout->removeWidget(row);
        row->hide();
    }
    for (size_t i = 0; i < order.size(); ++i) {
        ToolOrderRow *row = m_rows.at(order[i]);
        m_rowsLayout->addWidget(row);
        row->show();
        row->setBadgeText(m_viewModel.shortcutKey(order[i]).value_or(QString()));
        row->setMovable(i > 0, i + 1 < order.size());
    }
}

void ToolOrderEditor::setDraggingTool(std::optional<MarkupTool> tool)
{
    if (m_draggingTool)
        m_rows.at(*m_draggingTool)->setDimmed(false);
    m_draggingTool = tool;
    if (tool)
        m_rows.at(*tool)->setDimmed(true);
}

void ToolOrderEditor::startDrag(MarkupTool tool)
{
    setDraggingTool(tool);
    auto *drag = new QDrag(m_rows.at(tool));
    auto *mimeData = new QMimeData;
    mimeData->setText(RawValue::of(tool));
    drag->setMimeData(mimeData);
    drag->setPixmap(m_rows.at(tool)->grab());
    drag->exec(Qt::MoveAction);
    // However the drag ended (a drop, a release elsewhere, Escape), it is over now.
    setDraggingTool(std::nullopt);
}

bool ToolOrderEditor::acceptsDrop(const QMimeData *mimeData) const
{
    return m_draggingTool && mimeData && mimeData->hasText() && mimeData->text() == RawValue::of(*m_draggingTool);
}

void ToolOrderEditor::rowEntered(MarkupTool target)
{
    if (m_draggingTool && *m_draggingTool != target)
        m_viewModel.moveTool(*m_draggingTool, target);
}

void ToolOrderEditor::dropped()
{
    setDraggingTool(std::nullopt);
}

void ToolOrderEditor::reset()
{
    m_viewModel.resetToolOrder();
    m_viewModel.resetPointerInteractionSettings();
}

void ToolOrderEditor::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
}
