#include "ui/ShellWidgets.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "platform/SymbolIcons.h"
#include "shell/AppUpdateManager.h"
#include "shell/ShellRules.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ShellPainting {

void roundedPanel(QPainter &painter, const QRectF &rect, qreal radius, const QColor &fill, const QColor &border)
{
    const QRectF inner = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(inner, radius, radius);
    if (fill.isValid() && fill.alpha() > 0)
        painter.fillPath(path, fill);
    if (border.isValid() && border.alpha() > 0) {
        painter.setPen(QPen(border, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
}

void symbol(QPainter &painter, const QString &name, const QColor &tint, const QRectF &rect, int size)
{
    const QRect target(int(std::lround(rect.center().x() - size / 2.0)), int(std::lround(rect.center().y() - size / 2.0)),
                       size, size);
    SymbolIcons::icon(name, tint).paint(&painter, target);
}

} // namespace ShellPainting

// ---- ElidedLabel ----------------------------------------------------------------------------------

ElidedLabel::ElidedLabel(QWidget *parent)
    : QWidget(parent)
    , m_color(AppTheme::secondaryText())
{
    setFont(AppFont::font(12));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void ElidedLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setToolTip(text);
    update();
}

void ElidedLabel::setColor(const QColor &color)
{
    m_color = color;
    update();
}

// No width of its own: the label takes the width its row gives it.
QSize ElidedLabel::sizeHint() const { return QSize(0, fontMetrics().height()); }
QSize ElidedLabel::minimumSizeHint() const { return QSize(0, fontMetrics().height()); }

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(m_color);
    const QString shown = fontMetrics().elidedText(m_text, Qt::ElideMiddle, width());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shown);
}

// ---- ActionButton ---------------------------------------------------------------------------------

namespace {
constexpr int actionSymbolSize = 14;
constexpr int actionPadding = 8;
constexpr int actionGap = 5;
} // namespace

ActionButton::ActionButton(const QString &title, const QString &symbolName, QWidget *parent)
    : FeedbackButton(title, 8, parent)
    , m_symbolName(symbolName)
    , m_foreground(AppTheme::darkSlate())
    , m_background(AppTheme::paleGray())
    , m_border(AppTheme::lightSlate())
{
    setFont(AppFont::font(12.5, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(title);
}

void ActionButton::setColors(const QColor &foreground, const QColor &background, const QColor &border)
{
    m_foreground = foreground;
    m_background = background;
    m_border = border;
    update();
}

QSize ActionButton::sizeHint() const
{
    if (isCompact())
        return QSize(38, 38);
    const int content = actionSymbolSize + actionGap + fontMetrics().horizontalAdvance(text()) + 2 * actionPadding;
    return QSize(std::max(86, content), 38);
}

QSize ActionButton::minimumSizeHint() const { return QSize(actionSymbolSize + 2 * actionPadding + 4, 38); }

void ActionButton::paintContent(QPainter &painter, const QRectF &rect)
{
    ShellPainting::roundedPanel(painter, rect, cornerRadius(), m_background, m_border);
    const QFontMetrics metrics(font());
    const int room = int(rect.width()) - 2 * actionPadding - actionSymbolSize - actionGap;
    const QString title = !isCompact() && room >= metrics.horizontalAdvance(QStringLiteral("…")) * 2
                              ? metrics.elidedText(text(), Qt::ElideRight, room)
                              : QString();
    const qreal titleWidth = title.isEmpty() ? 0 : metrics.horizontalAdvance(title) + actionGap;
    const qreal left = rect.center().x() - (actionSymbolSize + titleWidth) / 2;
    ShellPainting::symbol(painter, m_symbolName, m_foreground,
                          QRectF(left, rect.top(), actionSymbolSize, rect.height()), actionSymbolSize);
    if (!title.isEmpty()) {
        painter.setFont(font());
        painter.setPen(m_foreground);
        painter.drawText(QRectF(left + actionSymbolSize + actionGap, rect.top(), titleWidth, rect.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, title);
    }
}

// ---- SymbolButton ---------------------------------------------------------------------------------

SymbolButton::SymbolButton(const QString &symbolName, int side, int symbolSize, const QColor &tint,
                           qreal cornerRadius, QWidget *parent)
    : FeedbackButton(QString(), cornerRadius, parent)
    , m_symbolName(symbolName)
    , m_symbolSize(symbolSize)
    , m_tint(tint)
{
    setFixedSize(side, side);
}

void SymbolButton::setSurface(const QColor &background, const QColor &border)
{
    m_background = background;
    m_border = border;
    update();
}

void SymbolButton::paintContent(QPainter &painter, const QRectF &rect)
{
    ShellPainting::roundedPanel(painter, rect, cornerRadius(), m_background, m_border);
    ShellPainting::symbol(painter, m_symbolName, m_tint, rect, m_symbolSize);
}

// ---- SwitcherButton -------------------------------------------------------------------------------

namespace {
constexpr int switcherSymbolSize = 14;
} // namespace

SwitcherButton::SwitcherButton(const QString &title, const QString &symbolName, int minimumWidth, QWidget *parent)
    : FeedbackButton(title, 7, parent)
    , m_symbolName(symbolName)
    , m_minimumWidth(minimumWidth)
{
    setFont(AppFont::font(12, QFont::Bold));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(title);
}

void SwitcherButton::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

QSize SwitcherButton::sizeHint() const
{
    if (isCompact())
        return QSize(switcherSymbolSize + 20, 32);
    const int content = switcherSymbolSize + 4 + fontMetrics().horizontalAdvance(text()) + 12;
    return QSize(std::max(m_minimumWidth, content), 32);
}

QSize SwitcherButton::minimumSizeHint() const { return sizeHint(); }

void SwitcherButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const QColor foreground = m_selected ? QColor(Qt::white) : AppTheme::darkSlate();
    if (m_selected)
        ShellPainting::roundedPanel(painter, rect, cornerRadius(), AppTheme::navy(), QColor());
    const qreal titleWidth = isCompact() ? 0 : fontMetrics().horizontalAdvance(text());
    const qreal left = rect.center().x() - (switcherSymbolSize + (isCompact() ? 0 : 4) + titleWidth) / 2;
    ShellPainting::symbol(painter, m_symbolName, foreground, QRectF(left, rect.top(), switcherSymbolSize, rect.height()),
                          switcherSymbolSize);
    if (isCompact())
        return;
    painter.setFont(font());
    painter.setPen(foreground);
    painter.drawText(QRectF(left + switcherSymbolSize + 4, rect.top(), titleWidth + 1, rect.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text());
}

// ---- LauncherCard ---------------------------------------------------------------------------------

LauncherCard::LauncherCard(const QString &title, const QString &symbolName, QWidget *parent)
    : FeedbackButton(title, 8, parent)
    , m_symbolName(symbolName)
{
    setFont(AppFont::font(17, QFont::ExtraBold));
    setFixedSize(158, 128);
    setAccessibleName(title);
}

void LauncherCard::paintContent(QPainter &painter, const QRectF &rect)
{
    ShellPainting::roundedPanel(painter, rect, 8, Qt::white, AppTheme::lightSlate());
    const qreal titleHeight = fontMetrics().height();
    const qreal top = rect.center().y() - (48 + 12 + titleHeight) / 2;
    ShellPainting::symbol(painter, m_symbolName, AppTheme::primaryText(),
                          QRectF(rect.center().x() - 24, top, 48, 48), 38);
    painter.setFont(font());
    painter.setPen(AppTheme::primaryText());
    painter.drawText(QRectF(rect.left(), top + 48 + 12, rect.width(), titleHeight), Qt::AlignCenter, text());
}

// ---- ZoomControls ---------------------------------------------------------------------------------

ZoomControls::ZoomControls(MarkupViewModel &viewModel, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
{
    setFixedHeight(44);
    // Exactly as wide as its parts: the header narrows it through the slider alone.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 0, 10, 0);
    layout->setSpacing(8);

    auto *zoomOut = new SymbolButton(QStringLiteral("minus.magnifyingglass"), 32, 17, AppTheme::darkSlate(), 8, this);
    zoomOut->setToolTip(QStringLiteral("缩小画布视图，不改变图片实际大小"));
    zoomOut->setAccessibleName(QStringLiteral("缩小"));
    m_zoomOut = zoomOut;

    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(int(MarkupViewModel::minimumZoom * sliderScale), int(MarkupViewModel::maximumZoom * sliderScale));
    // 132 wide when there is room; the header squeezes it (setSliderWidth) before any title.
    m_slider->setFixedWidth(preferredSliderWidth);
    m_slider->setToolTip(QStringLiteral("拖动调整画布缩放比例"));
    m_slider->setAccessibleName(QStringLiteral("缩放"));
    m_slider->setFocusPolicy(Qt::NoFocus);

    m_percent = new QLabel(this);
    QFont mono = AppFont::font(12, QFont::DemiBold);
    mono.setStyleHint(QFont::Monospace);
    m_percent->setFont(mono);
    m_percent->setStyleSheet(QStringLiteral("color: #334155;"));
    m_percent->setFixedWidth(56);
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto *zoomIn = new SymbolButton(QStringLiteral("plus.magnifyingglass"), 32, 17, AppTheme::darkSlate(), 8, this);
    zoomIn->setToolTip(QStringLiteral("放大画布视图，方便查看细节"));
    zoomIn->setAccessibleName(QStringLiteral("放大"));
    m_zoomIn = zoomIn;

    layout->addWidget(m_zoomOut);
    layout->addWidget(m_slider);
    layout->addWidget(m_percent);
    layout->addWidget(m_zoomIn);

    connect(m_zoomOut, &QAbstractButton::clicked, this,
            [this] { m_viewModel.setZoom(ShellRules::steppedZoom(m_viewModel.zoom(), -0.1)); });
    connect(m_zoomIn, &QAbstractButton::clicked, this,
            [this] { m_viewModel.setZoom(ShellRules::steppedZoom(m_viewModel.zoom(), 0.1)); });
    // Only moves made by the user reach the model; syncFromModel() blocks the slider's signals.
    connect(m_slider, &QSlider::valueChanged, this,
            [this](int value) { m_viewModel.setZoom(double(value) / sliderScale); });
    connect(&m_viewModel, &MarkupViewModel::zoomChanged, this, &ZoomControls::syncFromModel);
    syncFromModel();
}

QString ZoomControls::percentText() const { return m_percent->text(); }

void ZoomControls::setSliderWidth(int width)
{
    width = std::clamp(width, minimumSliderWidth, preferredSliderWidth);
    if (m_slider->minimumWidth() == width)
        return;
    m_slider->setFixedWidth(width);
    // The cluster's own width changes with it; tell the header's layout at once.
    layout()->invalidate();
    updateGeometry();
}

void ZoomControls::syncFromModel()
{
    const QSignalBlocker blocker(m_slider);
    const double zoom = m_viewModel.zoom();
    m_slider->setValue(std::isfinite(zoom) ? int(std::lround(zoom * sliderScale)) : m_slider->minimum());
    m_percent->setText(ShellRules::zoomPercentText(zoom));
}

void ZoomControls::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    ShellPainting::roundedPanel(painter, rect(), 8, AppTheme::paleGray(), QColor());
}

// ---- UpdateCheckButton ----------------------------------------------------------------------------

UpdateCheckButton::UpdateCheckButton(AppUpdateManager &manager, QWidget *parent)
    : FeedbackButton(QString(), 8, parent)
    , m_manager(manager)
    , m_spinner(new QTimer(this))
{
    QFont mono = AppFont::font(10.5, QFont::Bold);
    mono.setStyleHint(QFont::Monospace);
    setFont(mono);
    setFixedHeight(18);
    m_spinner->setInterval(80);
    connect(m_spinner, &QTimer::timeout, this, [this] {
        m_spinnerAngle = (m_spinnerAngle + 30) % 360;
        update();
    });
    connect(&m_manager, &AppUpdateManager::isCheckingChanged, this, &UpdateCheckButton::refresh);
    connect(&m_manager, &AppUpdateManager::availableUpdateChanged, this, &UpdateCheckButton::refresh);
    connect(&m_manager, &AppUpdateManager::statusMessageChanged, this, &UpdateCheckButton::refresh);
    connect(this, &QAbstractButton::clicked, &m_manager, [this] { m_manager.checkForUpdates(false); });
    refresh();
}

void UpdateCheckButton::refresh()
{
    setText(m_manager.buttonTitle());
    setToolTip(m_manager.buttonToolTip());
    setAccessibleName(m_manager.buttonTitle());
    if (m_manager.isChecking() && !m_spinner->isActive())
        m_spinner->start();
    else if (!m_manager.isChecking())
        m_spinner->stop();
    updateGeometry();
    update();
}

QSize UpdateCheckButton::sizeHint() const
{
    return QSize(13 + 5 + fontMetrics().horizontalAdvance(text()) + 4, 18);
}

void UpdateCheckButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const QColor tint(m_manager.buttonColorHex());
    const QRectF symbolRect(rect.left() + 2, rect.center().y() - 6.5, 13, 13);
    const QString symbolName = m_manager.buttonSymbolName();
    if (symbolName.isEmpty()) {
        // The spinner: a three-quarter ring turning while the check runs.
        painter.setPen(QPen(tint, 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(symbolRect.adjusted(2, 2, -2, -2), -m_spinnerAngle * 16, 270 * 16);
    } else {
        ShellPainting::symbol(painter, symbolName, tint, symbolRect, 12);
    }
    painter.setFont(font());
    painter.setPen(tint);
    const QRectF textRect(symbolRect.right() + 5, rect.top(), rect.right() - symbolRect.right() - 5, rect.height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideRight, int(textRect.width())));
}

// ---- DropHighlight --------------------------------------------------------------------------------

DropHighlight::DropHighlight(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void DropHighlight::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(AppTheme::accent(), 2, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    pen.setDashPattern({8.0 / 2, 6.0 / 2}); // in units of the pen width
    painter.setPen(pen);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(24, 24, -24, -24), 8, 8);
    painter.drawPath(path);
}

// ---- Empty states -----------------------------------------------------------------------------------

QVBoxLayout *emptyStateColumn(QWidget *empty, const QString &objectName, const QString &symbolName, int symbolSize,
                              int spacing)
{
    empty->setObjectName(objectName);
    auto *column = new QVBoxLayout(empty);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(spacing);
    column->addStretch(1);
    auto *symbol = new QLabel(empty);
    symbol->setPixmap(SymbolIcons::icon(symbolName, AppTheme::navy())
                          .pixmap(QSize(symbolSize, symbolSize), empty->devicePixelRatioF()));
    symbol->setAlignment(Qt::AlignCenter);
    column->addWidget(symbol, 0, Qt::AlignHCenter);
    return column;
}
