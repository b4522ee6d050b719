#include "compression/widgets/CompressionWidgets.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "ui/BusySpinner.h"
#include "ui/ShellPainting.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

// ---- CompressionButton ------------------------------------------------------------------------

CompressionButton::CompressionButton(const QString &title, const QString &symbolName, const Style &style,
                                     QWidget *parent)
    : FeedbackButton(title, style.cornerRadius, parent)
    , m_symbolName(symbolName)
{
    setCursor(Qt::PointingHandCursor);
    setStyle(style);
}

void CompressionButton::setStyle(const Style &style)
{
    m_style = style;
    setCornerRadius(style.cornerRadius);
    setFont(AppFont::font(style.fontPixels, QFont::Bold));
    updateGeometry();
    update();
}

void CompressionButton::setTitle(const QString &title, const QString &symbolName)
{
    setText(title);
    m_symbolName = symbolName;
    updateGeometry();
    update();
}

void CompressionButton::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    if (busy && !m_spinner)
        m_spinner = new BusySpinner(this);
    if (m_spinner)
        m_spinner->setRunning(busy);
    update();
}

QSize CompressionButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(text());
    const int symbol = int(std::lround(m_style.symbolPixels));
    QSize natural = m_style.stacked ? QSize(std::max(textWidth, symbol) + 6, symbol + 8 + metrics.height())
                                    : QSize(symbol + 6 + textWidth + 6, metrics.height());
    return natural.expandedTo(m_style.minimumSize);
}

QSize CompressionButton::minimumSizeHint() const { return m_style.minimumSize; }

void CompressionButton::paintContent(QPainter &painter, const QRectF &rect)
{
    painter.setRenderHint(QPainter::Antialiasing);
    QColor background = m_style.background;
    if (!isEnabled() && background.isValid()) {
        background = AppTheme::secondaryText();
        background.setAlphaF(0.45);
    }
    const QRectF inner = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(inner, m_style.cornerRadius, m_style.cornerRadius);
    if (background.isValid() && background.alpha() > 0)
        painter.fillPath(shape, background);
    if (m_style.border.isValid()) {
        QPen pen(m_style.border, 1);
        if (m_style.dashedBorder)
            pen.setDashPattern({ 5, 4 });
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
    }

    const QFontMetrics metrics(font());
    // A title without a symbol (and not busy) is centred on its own.
    const bool showsSymbol = m_busy || !m_symbolName.isEmpty();
    const int symbol = showsSymbol ? int(std::lround(m_style.symbolPixels)) : 0;
    const int gap = showsSymbol ? 6 : 0;
    const int textWidth = std::min(metrics.horizontalAdvance(text()), int(rect.width()) - symbol - gap - 4);
    QRectF symbolRect, textRect;
    if (m_style.stacked) {
        const double top = rect.center().y() - (symbol + 8 + metrics.height()) / 2.0;
        symbolRect = QRectF(rect.center().x() - symbol / 2.0, top, symbol, symbol);
        textRect = QRectF(rect.left(), top + symbol + 8, rect.width(), metrics.height());
    } else {
        const double left = rect.center().x() - (symbol + gap + textWidth) / 2.0;
        symbolRect = QRectF(left, rect.center().y() - symbol / 2.0, symbol, symbol);
        textRect = QRectF(left + symbol + gap, rect.top(), textWidth + 1, rect.height());
    }
    if (m_busy) {
        BusySpinner::paintStrokes(painter, symbolRect.center(), symbol * 0.42, m_style.foreground, m_spinner->step());
    } else if (showsSymbol) {
        ShellPainting::symbol(painter, m_symbolName, m_style.foreground, symbolRect, symbol);
    }
    painter.setFont(font());
    painter.setPen(m_style.foreground);
    painter.drawText(textRect, (m_style.stacked ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter,
                     metrics.elidedText(text(), Qt::ElideRight, int(textRect.width())));
}

// ---- CompressionTextLine ----------------------------------------------------------------------

CompressionTextLine::CompressionTextLine(double pixels, QFont::Weight weight, const QColor &color,
                                         Qt::TextElideMode mode, QWidget *parent)
    : QWidget(parent)
    , m_color(color)
    , m_mode(mode)
{
    setFont(AppFont::font(pixels, weight));
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void CompressionTextLine::setText(const QString &text)
{
    if (m_text == text)
        return;
    m_text = text;
    update();
}

QString CompressionTextLine::shownText() const { return fontMetrics().elidedText(m_text, m_mode, width()); }

QSize CompressionTextLine::sizeHint() const
{
    return { fontMetrics().horizontalAdvance(m_text), fontMetrics().height() };
}

QSize CompressionTextLine::minimumSizeHint() const { return { 0, fontMetrics().height() }; }

void CompressionTextLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(m_color);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}

// ---- CompressionInfoBadge ---------------------------------------------------------------------

CompressionInfoBadge::CompressionInfoBadge(const QString &text, QWidget *parent)
    : QWidget(parent)
    , m_text(text)
{
    setFont(AppFont::font(11, QFont::Bold));
    setFixedSize(sizeHint());
}

QSize CompressionInfoBadge::sizeHint() const { return { fontMetrics().horizontalAdvance(m_text) + 18, 26 }; }

void CompressionInfoBadge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    ShellPainting::roundedPanel(painter, rect(), 8, AppTheme::paleGray(), AppTheme::lightSlate());
    painter.setPen(AppTheme::darkSlate());
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}

// ---- CompressionResultBanner ------------------------------------------------------------------

CompressionResultBanner::CompressionResultBanner(QWidget *parent)
    : QWidget(parent)
{
    setFont(AppFont::font(12, QFont::Bold));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CompressionResultBanner::setText(const QString &text)
{
    if (m_text == text)
        return;
    m_text = text;
    update();
}

QSize CompressionResultBanner::sizeHint() const
{
    return { 11 + 18 + 10 + fontMetrics().horizontalAdvance(m_text) + 11, std::max(18, fontMetrics().height()) + 22 };
}

QSize CompressionResultBanner::minimumSizeHint() const { return { 0, sizeHint().height() }; }

void CompressionResultBanner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    ShellPainting::roundedPanel(painter, rect(), 8, AppTheme::paleGreen(), QColor());
    const QRectF symbolRect(11, (height() - 18) / 2.0, 18, 18);
    ShellPainting::symbol(painter, QStringLiteral("checkmark.circle.fill"), AppTheme::green(), symbolRect, 16);
    painter.setPen(AppTheme::darkSlate());
    const QRectF textRect(symbolRect.right() + 10, 0, width() - symbolRect.right() - 21, height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(m_text, Qt::ElideRight, int(textRect.width())));
}

// ---- CompressionSurface -----------------------------------------------------------------------

CompressionSurface::CompressionSurface(const QColor &fill, const QColor &border, qreal radius, QWidget *parent)
    : QWidget(parent)
    , m_fill(fill)
    , m_border(border)
    , m_radius(radius)
{
}

void CompressionSurface::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_radius <= 0 && !m_border.isValid()) {
        painter.fillRect(rect(), m_fill);
        return;
    }
    ShellPainting::roundedPanel(painter, rect(), m_radius, m_fill, m_border);
}
