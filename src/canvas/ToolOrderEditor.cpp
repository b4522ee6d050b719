#include "canvas/ToolOrderEditor.h"

#include "ui/PanelButton.h"
#include "ui/PanelChrome.h"
#include "canvas/PointerSettingsEditor.h"
#include "canvas/ToolPresentation.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/RawValue.h"
#include "platform/SymbolIcons.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

constexpr int rowHeight = 40;
constexpr int maximumScrollHeight = 520;

PanelButton::Look moveButtonLook()
{
    PanelButton::Look look;
    look.foreground = AppTheme::darkSlate();
    look.circle = true;
    look.font = AppFont::font(12, QFont::Bold);
    look.iconSize = 12;
    return look;
}

} // namespace

using PanelChrome::label;

// ---- ToolOrderRow ------------------------------------------------------------------------------------

ToolOrderRow::ToolOrderRow(ToolOrderEditor &editor, MarkupTool tool, QWidget *parent)
    : QWidget(parent)
    , m_editor(editor)
    , m_tool(tool)
    , m_handleIcon(SymbolIcons::icon(QStringLiteral("line.3.horizontal"), AppTheme::navy()))
    , m_toolIcon(SymbolIcons::icon(ToolPresentation::symbolName(tool), AppTheme::darkSlate()))
{
    setFixedHeight(rowHeight);
    setAcceptDrops(true);
    setToolTip(ToolPresentation::rowToolTip(tool));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 0, 8, 0);
    layout->setSpacing(8);
    layout->addStretch(1);
    m_up = new PanelButton(QStringLiteral("chevron.up"), QString(), moveButtonLook(), this);
    m_down = new PanelButton(QStringLiteral("chevron.down"), QString(), moveButtonLook(), this);
    for (PanelButton *button : {m_up, m_down}) {
        button->setFixedSize(28, 28);
        button->setCornerRadius(14);
        button->setDisabledForeground(PanelChrome::withAlpha(AppTheme::secondaryText(), 0.45));
        layout->addWidget(button);
    }
    m_up->setToolTip(QStringLiteral("上移一位"));
    m_up->setAccessibleName(QStringLiteral("上移一位"));
    m_down->setToolTip(QStringLiteral("下移一位"));
    m_down->setAccessibleName(QStringLiteral("下移一位"));
    MarkupViewModel *model = &editor.viewModel();
    connect(m_up, &QAbstractButton::clicked, this, [model, tool] { model->moveTool(tool, -1); });
    connect(m_down, &QAbstractButton::clicked, this, [model, tool] { model->moveTool(tool, 1); });
}

void ToolOrderRow::setBadgeText(const QString &text)
{
    if (text == m_badge)
        return;
    m_badge = text;
    update();
}

void ToolOrderRow::setMovable(bool canMoveUp, bool canMoveDown)
{
    m_up->setEnabled(canMoveUp);
    m_down->setEnabled(canMoveDown);
}

void ToolOrderRow::setDimmed(bool dimmed)
{
    if (dimmed == m_dimmed)
        return;
    m_dimmed = dimmed;
    if (dimmed) {
        auto *effect = new QGraphicsOpacityEffect(this);
        effect->setOpacity(0.52);
        setGraphicsEffect(effect);
    } else {
        setGraphicsEffect(nullptr);
    }
}

void ToolOrderRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    PanelChrome::paintRoundedBox(painter, QRectF(rect()), 8, AppTheme::paleGray(), AppTheme::lightSlate(), 1);

    const double midY = height() / 2.0;
    const QRectF handle(8, midY - 15, 30, 30);
    PanelChrome::paintRoundedBox(painter, handle, 7, PanelChrome::withAlpha(Qt::white, 0.9), AppTheme::lightSlate(), 1);
    m_handleIcon.paint(&painter, QRectF(handle.center().x() - 8, handle.center().y() - 8, 16, 16).toRect());

    const QRectF badge(handle.right() + 8, midY - 11, 22, 22);
    painter.setPen(Qt::NoPen);
    painter.setBrush(AppTheme::paleGreen());
    painter.drawEllipse(badge);
    painter.setFont(PanelChrome::monospaceFont(11, QFont::Bold));
    painter.setPen(AppTheme::navy());
    painter.drawText(badge, Qt::AlignCenter, m_badge);

    const QRectF icon(badge.right() + 8, midY - 10, 20, 20);
    m_toolIcon.paint(&painter, icon.toRect());

    painter.setFont(AppFont::font(12, QFont::DemiBold));
    painter.setPen(AppTheme::primaryText());
    painter.drawText(QRectF(icon.right() + 8, 0, width() - icon.right() - 90, height()), Qt::AlignLeft | Qt::AlignVCenter,
                     ToolPresentation::title(m_tool));
}

void ToolOrderRow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressPosition = event->position().toPoint();
    event->accept();
}

void ToolOrderRow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressPosition || !(event->buttons() & Qt::LeftButton))
        return;
    if ((event->position().toPoint() - *m_pressPosition).manhattanLength() < QApplication::startDragDistance())
        return;
    m_pressPosition.reset();
    m_editor.startDrag(m_tool);
}

void ToolOrderRow::mouseReleaseEvent(QMouseEvent *event)
{
    m_pressPosition.reset();
    event->accept();
}

void ToolOrderRow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!m_editor.acceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    m_editor.rowEntered(m_tool);
}

void ToolOrderRow::dragMoveEvent(QDragMoveEvent *event)
{
    if (!m_editor.acceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void ToolOrderRow::dropEvent(QDropEvent *event)
{
    if (!m_editor.acceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    m_editor.dropped();
}

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
    titles->addWidget(label(QStringLiteral("工具设置"), AppFont::font(14, QFont::Bold), AppTheme::primaryText(), this));
    titles->addWidget(label(QStringLiteral("图片标注"), AppFont::font(11, QFont::DemiBold), AppTheme::secondaryText(), this));
    header->addLayout(titles);
    header->addStretch(1);
    PanelButton::Look closeLook = moveButtonLook();
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
    toolSection->addWidget(label(QStringLiteral("工具顺序"), AppFont::font(11, QFont::Bold), AppTheme::secondaryText(), content));
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
    resetLook.font = AppFont::font(12, QFont::Bold);
    resetLook.iconSize = 12;
    m_resetButton = new PanelButton(QStringLiteral("arrow.counterclockwise"), QStringLiteral("恢复默认"), resetLook, this);
    m_resetButton->setFixedHeight(32);
    m_resetButton->setToolTip(QStringLiteral("恢复默认工具顺序和鼠标/触控板设置"));
    PanelButton::Look doneLook;
    doneLook.foreground = Qt::white;
    doneLook.background = AppTheme::navy();
    doneLook.font = AppFont::font(12, QFont::Bold);
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
