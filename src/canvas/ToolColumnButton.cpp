#include "canvas/ToolColumnButton.h"

#include "canvas/ToolPresentation.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "platform/SymbolIcons.h"
#include "ui/PanelChrome.h"

#include <QPainter>

ToolColumnButton::ToolColumnButton(MarkupTool tool, QWidget *parent)
    : FeedbackButton(parent)
    , m_tool(tool)
    , m_icon(SymbolIcons::icon(ToolPresentation::symbolName(tool), AppTheme::darkSlate()))
    , m_currentIcon(SymbolIcons::icon(ToolPresentation::symbolName(tool), Qt::white))
{
    setFixedSize(76, 58);
    setCornerRadius(8);
    setToolTip(ToolPresentation::helpText(tool));
    setAccessibleName(ToolPresentation::title(tool));
    setCursor(Qt::ArrowCursor);
}

void ToolColumnButton::setBadgeText(const QString &text)
{
    if (text == m_badge)
        return;
    m_badge = text;
    update();
}

void ToolColumnButton::setCurrent(bool current)
{
    if (current == m_current)
        return;
    m_current = current;
    update();
}

void ToolColumnButton::paintContent(QPainter &painter, const QRectF &rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    PanelChrome::paintRoundedBox(painter, rect, 8, m_current ? AppTheme::navy() : QColor(Qt::white),
                                 m_current ? AppTheme::navy() : AppTheme::lightSlate(), 1);
    const QColor foreground = m_current ? QColor(Qt::white) : AppTheme::darkSlate();
    const QFont titleFont = AppFont::font(TypeScale::caption, QFont::DemiBold);
    const double titleHeight = QFontMetricsF(titleFont).height();
    const double total = 24 + 5 + titleHeight;
    const double top = rect.center().y() - total / 2;
    const QRectF iconRect(rect.center().x() - 12, top, 24, 24);
    (m_current ? m_currentIcon : m_icon).paint(&painter, iconRect.adjusted(3, 3, -3, -3).toRect());
    painter.setFont(titleFont);
    painter.setPen(foreground);
    painter.drawText(QRectF(rect.left(), top + 29, rect.width(), titleHeight), Qt::AlignHCenter | Qt::AlignTop,
                     ToolPresentation::title(m_tool));

    if (!m_badge.isEmpty()) {
        const QRectF badge(rect.right() - 5 - 16, rect.top() + 5, 16, 16);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_current ? PanelChrome::withAlpha(Qt::white, 0.92) : AppTheme::paleGray());
        painter.drawEllipse(badge);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(m_current ? PanelChrome::withAlpha(Qt::white, 0.2) : AppTheme::lightSlate(), 1));
        painter.drawEllipse(badge.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setFont(AppFont::font(TypeScale::badge, QFont::Bold));
        painter.setPen(m_current ? AppTheme::navy() : AppTheme::secondaryText());
        painter.drawText(badge, Qt::AlignCenter, m_badge);
    }
    painter.restore();
}
