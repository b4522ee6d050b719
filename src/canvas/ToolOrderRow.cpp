#include "canvas/ToolOrderRow.h"

#include "canvas/ToolOrderEditor.h"
#include "canvas/ToolPresentation.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "platform/SymbolIcons.h"
#include "ui/PanelChrome.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int toolOrderRowHeight = 40;

} // namespace

PanelButton::Look ToolOrderRow::moveButtonLook()
{
    PanelButton::Look look;
    look.foreground = AppTheme::darkSlate();
    look.circle = true;
    look.font = AppFont::font(TypeScale::body, QFont::Bold);
    look.iconSize = 12;
    return look;
}

ToolOrderRow::ToolOrderRow(ToolOrderEditor &editor, MarkupTool tool, QWidget *parent)
    : QWidget(parent)
    , m_editor(editor)
    , m_tool(tool)
    , m_handleIcon(SymbolIcons::icon(QStringLiteral("line.3.horizontal"), AppTheme::navy()))
    , m_toolIcon(SymbolIcons::icon(ToolPresentation::symbolName(tool), AppTheme::darkSlate()))
{
    setFixedHeight(toolOrderRowHeight);
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

    painter.setFont(AppFont::font(TypeScale::body, QFont::DemiBold));
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
