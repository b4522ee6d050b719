#include "ui/StyledButton.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "ui/BusySpinner.h"
#include "ui/ControlPainting.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

StyledButton::StyledButton(const QString &title, const QString &symbolName, const ButtonStyle &style, QWidget *parent)
    : FeedbackButton(title, style.cornerRadius, parent)
    , m_symbolName(symbolName)
{
    setCursor(Qt::PointingHandCursor);
    setButtonStyle(style);
}

void StyledButton::setButtonStyle(const ButtonStyle &style)
{
    m_style = style;
    setCornerRadius(style.cornerRadius);
    setFont(AppFont::font(style.fontPixels, style.fontWeight));
    updateGeometry();
    update();
}

void StyledButton::setColors(const QColor &foreground, const QColor &background, const QColor &border)
{
    m_style.foreground = foreground;
    m_style.background = background;
    m_style.border = border;
    update();
}

void StyledButton::setTitle(const QString &title, const QString &symbolName)
{
    setText(title);
    m_symbolName = symbolName;
    updateGeometry();
    update();
}

void StyledButton::setBusy(bool busy)
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

int StyledButton::spinnerAngle() const { return m_spinner ? m_spinner->angle() : 0; }

QSize StyledButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(text());
    const int symbol = int(std::lround(m_style.symbolPixels));
    QSize natural = m_style.stacked ? QSize(std::max(textWidth, symbol) + 6, symbol + 8 + metrics.height())
                                    : QSize(symbol + 6 + textWidth + 6, metrics.height());
    return natural.expandedTo(m_style.minimumSize);
}

QSize StyledButton::minimumSizeHint() const { return m_style.minimumSize; }

void StyledButton::paintContent(QPainter &painter, const QRectF &rect)
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
        ControlPainting::symbol(painter, m_symbolName, m_style.foreground, symbolRect, symbol);
    }
    painter.setFont(font());
    painter.setPen(m_style.foreground);
    painter.drawText(textRect, (m_style.stacked ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter,
                     metrics.elidedText(text(), Qt::ElideRight, int(textRect.width())));
}
