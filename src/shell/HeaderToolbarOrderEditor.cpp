#include "shell/HeaderToolbarOrderEditor.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "shell/PopoverDismisser.h"
#include "ui/ActionButton.h"
#include "ui/ControlPainting.h"
#include "ui/StyledButton.h"
#include "ui/SymbolButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

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
    title->setFont(AppFont::font(TypeScale::heading, QFont::Bold));
    title->setStyleSheet(QStringLiteral("color: #0F172A;"));
    auto *subtitle = new QLabel(modeTitle(mode), this);
    subtitle->setObjectName(QStringLiteral("modeTitle"));
    subtitle->setFont(AppFont::font(TypeScale::caption, QFont::DemiBold));
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
    reset->setFont(AppFont::font(TypeScale::body, QFont::Bold));
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
