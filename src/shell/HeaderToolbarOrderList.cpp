#include "shell/HeaderToolbarOrderList.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "ui/ControlPainting.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <cstdio>

HeaderToolbarOrderList::HeaderToolbarOrderList(MarkupViewModel &viewModel, HeaderToolbarMode mode, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_mode(mode)
{
    setMouseTracking(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Other applications' drags are never taken: the list reorders by its own mouse tracking.
    setAcceptDrops(false);
    connect(&m_viewModel, &MarkupViewModel::headerToolbarOrdersChanged, this, [this] {
        updateGeometry();
        update();
    });
}

std::vector<HeaderToolbarItem> HeaderToolbarOrderList::order() const { return m_viewModel.headerToolbarOrder(m_mode); }

QString HeaderToolbarOrderList::rowToolTip(HeaderToolbarItem item)
{
    return HeaderToolbarItems::title(item) + QStringLiteral("：") + HeaderToolbarItems::helpText(item);
}

QSize HeaderToolbarOrderList::sizeHint() const
{
    const int count = int(order().size());
    return QSize(258, count > 0 ? count * rowHeight + (count - 1) * rowSpacing : 0);
}

QRect HeaderToolbarOrderList::rowRect(int index) const
{
    return QRect(0, index * (rowHeight + rowSpacing), width(), rowHeight);
}

int HeaderToolbarOrderList::rowAt(const QPoint &point) const
{
    const int count = int(order().size());
    for (int index = 0; index < count; ++index) {
        if (rowRect(index).contains(point))
            return index;
    }
    return -1;
}

void HeaderToolbarOrderList::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const std::vector<HeaderToolbarItem> items = order();
    for (int index = 0; index < int(items.size()); ++index)
        paintRow(painter, index, items[size_t(index)]);
}

void HeaderToolbarOrderList::paintRow(QPainter &painter, int index, HeaderToolbarItem item)
{
    painter.save();
    if (m_draggingItem == item)
        painter.setOpacity(0.52);
    const QRectF row = rowRect(index);
    ControlPainting::roundedPanel(painter, row, 8, AppTheme::paleGray(), AppTheme::lightSlate());

    qreal x = row.left() + 8;
    const qreal centerY = row.center().y();
    // Drag handle.
    QColor handleFill(Qt::white);
    handleFill.setAlphaF(0.9f);
    const QRectF handle(x, centerY - 15, 30, 30);
    ControlPainting::roundedPanel(painter, handle, 7, handleFill, AppTheme::lightSlate());
    ControlPainting::symbol(painter, QStringLiteral("line.3.horizontal"), AppTheme::navy(), handle, 16);
    x += 30 + 8;
    // Position number.
    const QRectF badge(x, centerY - 11, 22, 22);
    painter.setPen(Qt::NoPen);
    painter.setBrush(AppTheme::paleGreen());
    painter.drawEllipse(badge);
    char number[24];
    std::snprintf(number, sizeof number, "%lld", (long long)(index + 1));
    QFont numberFont = AppFont::font(TypeScale::caption, QFont::Bold);
    numberFont.setStyleHint(QFont::Monospace);
    painter.setFont(numberFont);
    painter.setPen(AppTheme::navy());
    painter.drawText(badge, Qt::AlignCenter, QString::fromLatin1(number));
    x += 22 + 8;
    // Symbol and title.
    ControlPainting::symbol(painter, HeaderToolbarItems::systemImage(item), AppTheme::darkSlate(),
                          QRectF(x, centerY - 10, 20, 20), 16);
    x += 20 + 8;
    painter.setFont(AppFont::font(TypeScale::body, QFont::DemiBold));
    painter.setPen(AppTheme::primaryText());
    painter.drawText(QRectF(x, row.top(), row.right() - 8 - x, row.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     HeaderToolbarItems::title(item));
    painter.restore();
}

void HeaderToolbarOrderList::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int index = rowAt(event->position().toPoint());
    if (index < 0)
        return;
    m_draggingItem = order()[size_t(index)];
    m_lastEnteredItem = m_draggingItem;
    update();
}

void HeaderToolbarOrderList::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_draggingItem)
        return;
    const int index = rowAt(event->position().toPoint());
    if (index < 0)
        return;
    const HeaderToolbarItem target = order()[size_t(index)];
    // Entering a row counts once; staying over it (or over the dragged row) changes nothing.
    if (target == m_lastEnteredItem)
        return;
    m_lastEnteredItem = target;
    if (target != *m_draggingItem)
        m_viewModel.moveHeaderToolbarItem(*m_draggingItem, target, m_mode);
}

void HeaderToolbarOrderList::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // Wherever the release happens the drag is over, so no row stays dimmed.
    m_draggingItem.reset();
    m_lastEnteredItem.reset();
    update();
}

bool HeaderToolbarOrderList::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int index = rowAt(help->pos());
        if (index >= 0)
            QToolTip::showText(help->globalPos(), rowToolTip(order()[size_t(index)]), this, rowRect(index));
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
