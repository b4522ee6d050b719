#include "texteditor/MarkupToolButton.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/HexColor.h"
#include "model/TypeScale.h"
#include "ui/ControlPainting.h"

#include <QPainter>

MarkupToolButton::MarkupToolButton(const QString &title, const QString &symbolName, const QString &shortcutKey,
                                   const QString &badgeColorHex, QWidget *parent)
    : FeedbackButton(parent)
    , m_title(title)
    , m_symbolName(symbolName)
    , m_shortcutKey(shortcutKey)
    , m_badgeColor(HexColor::uiColor(badgeColorHex))
{
    setCornerRadius(7);
    setFixedSize(74, 28);
    setCursor(Qt::PointingHandCursor);
}

void MarkupToolButton::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    update();
}

void MarkupToolButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const QColor foreground = m_highlighted ? QColor(Qt::white) : AppTheme::darkSlate();
    if (m_highlighted)
        ControlPainting::roundedPanel(painter, rect, 7, AppTheme::navy(), QColor());
    const QFont titleFont = AppFont::font(TypeScale::rowTitle, QFont::Bold);
    const qreal titleWidth = QFontMetricsF(titleFont).horizontalAdvance(m_title);
    const qreal total = 15 + 5 + titleWidth + 5 + 15;
    qreal x = rect.center().x() - total / 2;
    ControlPainting::symbol(painter, m_symbolName, foreground, QRectF(x, rect.center().y() - 7.5, 15, 15), 13);
    x += 20;
    painter.setFont(titleFont);
    painter.setPen(foreground);
    painter.drawText(QRectF(x, rect.top(), titleWidth + 1, rect.height()), Qt::AlignVCenter | Qt::AlignLeft, m_title);
    x += titleWidth + 5;
    const QRectF badge(x, rect.center().y() - 7.5, 15, 15);
    QColor badgeFill = m_highlighted ? QColor(255, 255, 255, 240) : m_badgeColor;
    if (!m_highlighted)
        badgeFill.setAlphaF(0.14f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(badgeFill);
    painter.drawEllipse(badge);
    QFont digitFont = AppFont::font(TypeScale::badge, QFont::Bold);
    digitFont.setStyleHint(QFont::Monospace);
    painter.setFont(digitFont);
    painter.setPen(m_highlighted ? m_badgeColor : AppTheme::secondaryText());
    painter.drawText(badge, Qt::AlignCenter, m_shortcutKey);
}
