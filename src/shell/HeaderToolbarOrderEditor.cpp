#include "shell/HeaderToolbarOrderEditor.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "shell/AppHandlers.h"
#include "ui/ActionButton.h"
#include "ui/ShellPainting.h"
#include "ui/StyledButton.h"
#include "ui/SymbolButton.h"

#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <QVBoxLayout>

#include <cstdio>

namespace {

QString modeTitle(HeaderToolbarMode mode)
{
    switch (mode) {
    case HeaderToolbarMode::ImageMarkup: return QStringLiteral("图片标注");
    case HeaderToolbarMode::ImageComparison: return QStringLiteral("图片对比");
    case HeaderToolbarMode::TextComparison: return QStringLiteral("文案对比");
    }
    return {};
}

// The done button: white text on navy.
ButtonStyle doneStyle()
{
    ButtonStyle style;
    style.foreground = Qt::white;
    style.background = AppTheme::navy();
    style.minimumSize = QSize(58, 32);
    return style;
}

} // namespace

// ---- List -------------------------------------------------------------------------------------

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
    ShellPainting::roundedPanel(painter, row, 8, AppTheme::paleGray(), AppTheme::lightSlate());

    qreal x = row.left() + 8;
    const qreal centerY = row.center().y();
    // Drag handle.
    QColor handleFill(Qt::white);
    handleFill.setAlphaF(0.9f);
    const QRectF handle(x, centerY - 15, 30, 30);
    ShellPainting::roundedPanel(painter, handle, 7, handleFill, AppTheme::lightSlate());
    ShellPainting::symbol(painter, QStringLiteral("line.3.horizontal"), AppTheme::navy(), handle, 16);
    x += 30 + 8;
    // Position number.
    const QRectF badge(x, centerY - 11, 22, 22);
    painter.setPen(Qt::NoPen);
    painter.setBrush(AppTheme::paleGreen());
    painter.drawEllipse(badge);
    char number[24];
    std::snprintf(number, sizeof number, "%lld", (long long)(index + 1));
    QFont numberFont = AppFont::font(11, QFont::Bold);
    numberFont.setStyleHint(QFont::Monospace);
    painter.setFont(numberFont);
    painter.setPen(AppTheme::navy());
    painter.drawText(badge, Qt::AlignCenter, QString::fromLatin1(number));
    x += 22 + 8;
    // Symbol and title.
    ShellPainting::symbol(painter, HeaderToolbarItems::systemImage(item), AppTheme::darkSlate(),
                          QRectF(x, centerY - 10, 20, 20), 16);
    x += 20 + 8;
    painter.setFont(AppFont::font(12, QFont::DemiBold));
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

// ---- Editor -----------------------------------------------------------------------------------

HeaderToolbarOrderEditor::HeaderToolbarOrderEditor(MarkupViewModel &viewModel, HeaderToolbarMode mode,
                                                   std::function<void()> close, QWidget *anchor, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
    , m_mode(mode)
{
    setObjectName(QStringLiteral("headerToolbarOrderEditor"));
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    setFixedWidth(286);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(12);

    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(2);
    auto *title = new QLabel(QStringLiteral("顶部按钮排序"), this);
    title->setFont(AppFont::font(14, QFont::Bold));
    title->setStyleSheet(QStringLiteral("color: #0F172A;"));
    auto *subtitle = new QLabel(modeTitle(mode), this);
    subtitle->setObjectName(QStringLiteral("modeTitle"));
    subtitle->setFont(AppFont::font(11, QFont::DemiBold));
    subtitle->setStyleSheet(QStringLiteral("color: #64748B;"));
    titles->addWidget(title);
    titles->addWidget(subtitle);
    titleRow->addLayout(titles);
    titleRow->addStretch(1);
    auto *closeButton = new SymbolButton(QStringLiteral("xmark"), 28, 13, AppTheme::darkSlate(), 14, this);
    closeButton->setAccessibleName(QStringLiteral("关闭"));
    m_closeButton = closeButton;
    titleRow->addWidget(closeButton);
    column->addLayout(titleRow);

    m_list = new HeaderToolbarOrderList(viewModel, mode, this);
    column->addWidget(m_list);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(8);
    auto *reset = new ActionButton(QStringLiteral("恢复默认"), QStringLiteral("arrow.counterclockwise"), this);
    reset->setFont(AppFont::font(12, QFont::Bold));
    reset->setColors(AppTheme::darkSlate(), QColor(), QColor());
    reset->setToolTip(QStringLiteral("恢复默认顶部按钮顺序"));
    reset->setFixedHeight(32);
    reset->setMinimumWidth(reset->sizeHint().width());
    m_resetButton = reset;
    auto *done = new StyledButton(QStringLiteral("完成"), QString(), doneStyle(), this);
    done->unsetCursor();
    done->setFixedSize(58, 32);
    done->setToolTip(QStringLiteral("关闭顶部按钮排序"));
    m_doneButton = done;
    buttonRow->addWidget(reset);
    buttonRow->addStretch(1);
    buttonRow->addWidget(done);
    column->addLayout(buttonRow);

    connect(closeButton, &QAbstractButton::clicked, this, [close] { close(); });
    connect(done, &QAbstractButton::clicked, this, [close] { close(); });
    connect(reset, &QAbstractButton::clicked, this, [&viewModel, mode] { viewModel.resetHeaderToolbarOrder(mode); });
    connect(&viewModel, &MarkupViewModel::headerToolbarOrdersChanged, this, [this] { adjustSize(); });

    new PopoverDismisser(this, anchor, close);
}

void HeaderToolbarOrderEditor::showBelow(QWidget *anchor)
{
    adjustSize();
    QPoint topLeft = anchor->mapToGlobal(QPoint(anchor->width() - width(), anchor->height() + 6));
    if (QScreen *screen = anchor->screen()) {
        const QRect available = screen->availableGeometry();
        topLeft.setX(std::clamp(topLeft.x(), available.left(), std::max(available.left(), available.right() - width())));
        topLeft.setY(std::clamp(topLeft.y(), available.top(), std::max(available.top(), available.bottom() - height())));
    }
    move(topLeft);
    show();
    raise();
}

void HeaderToolbarOrderEditor::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QPen(AppTheme::lightSlate(), 1));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}
