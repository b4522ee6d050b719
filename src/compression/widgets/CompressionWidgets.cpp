#include "compression/widgets/CompressionWidgets.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "ui/ShellPainting.h"

#include <QPainter>

#include <algorithm>

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
