#include "ui/PanelButton.h"

#include "platform/SymbolIcons.h"
#include "ui/PanelChrome.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

PanelButton::PanelButton(const QString &symbolName, const QString &text, const Look &look, QWidget *parent)
    : FeedbackButton(parent)
    , m_symbolName(symbolName)
    , m_look(look)
{
    setText(text);
    setFont(look.font);
    setCursor(Qt::ArrowCursor);
    rebuildIcon();
}

void PanelButton::setLook(const Look &look)
{
    const bool iconChanged = look.foreground != m_look.foreground;
    m_look = look;
    setFont(look.font);
    if (iconChanged)
        rebuildIcon();
    update();
}

void PanelButton::setSymbol(const QString &symbolName)
{
    if (symbolName == m_symbolName)
        return;
    m_symbolName = symbolName;
    rebuildIcon();
    update();
}

void PanelButton::setDisabledForeground(const QColor &color)
{
    m_disabledForeground = color;
    rebuildIcon();
    update();
}

void PanelButton::rebuildIcon()
{
    if (m_symbolName.isEmpty()) {
        m_icon = {};
        m_disabledIcon = {};
        return;
    }
    m_icon = SymbolIcons::icon(m_symbolName, m_look.foreground);
    m_disabledIcon = m_disabledForeground ? SymbolIcons::icon(m_symbolName, *m_disabledForeground) : QIcon();
}

QSize PanelButton::sizeHint() const
{
    const QFontMetricsF metrics(m_look.font);
    const double textWidth = text().isEmpty() ? 0 : metrics.horizontalAdvance(text());
    const double icon = m_icon.isNull() ? 0 : m_look.iconSize;
    if (m_look.vertical)
        return QSize(int(std::ceil(std::max(textWidth, icon))) + 16, int(std::ceil(icon + metrics.height() + m_look.spacing)) + 12);
    const double gap = (icon > 0 && textWidth > 0) ? m_look.spacing : 0;
    return QSize(int(std::ceil(icon + gap + textWidth)) + 20, int(std::ceil(std::max(icon, metrics.height()))) + 12);
}

void PanelButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const bool disabled = !isEnabled();
    const double fade = disabled && !m_disabledForeground ? 0.45 : 1.0;
    painter.save();
    painter.setOpacity(painter.opacity() * fade);
    if (m_look.circle) {
        painter.setRenderHint(QPainter::Antialiasing);
        const double d = std::min(rect.width(), rect.height());
        const QRectF circle(rect.center().x() - d / 2, rect.center().y() - d / 2, d, d);
        if (m_look.background.isValid() && m_look.background.alpha() > 0) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(m_look.background);
            painter.drawEllipse(circle);
        }
        if (m_look.border.isValid() && m_look.borderWidth > 0) {
            painter.setPen(QPen(m_look.border, m_look.borderWidth));
            painter.setBrush(Qt::NoBrush);
            const double w = m_look.borderWidth / 2;
            painter.drawEllipse(circle.adjusted(w, w, -w, -w));
        }
    } else {
        PanelChrome::paintRoundedBox(painter, rect, cornerRadius(), m_look.background, m_look.border,
                                     m_look.border.isValid() ? m_look.borderWidth : -1, m_look.dashedBorder);
    }

    const QColor foreground = disabled && m_disabledForeground ? *m_disabledForeground : m_look.foreground;
    const QIcon &icon = disabled && m_disabledForeground ? m_disabledIcon : m_icon;
    const QFontMetricsF metrics(m_look.font);
    const double textWidth = text().isEmpty() ? 0 : metrics.horizontalAdvance(text());
    const double iconSide = icon.isNull() ? 0 : m_look.iconSize;
    painter.setFont(m_look.font);
    painter.setPen(foreground);
    if (m_look.vertical) {
        const double textHeight = text().isEmpty() ? 0 : metrics.height();
        const double total = iconSide + (iconSide > 0 && textHeight > 0 ? m_look.spacing : 0) + textHeight;
        double y = rect.center().y() - total / 2;
        if (iconSide > 0) {
            const QRectF iconRect(rect.center().x() - iconSide / 2, y, iconSide, iconSide);
            icon.paint(&painter, iconRect.toAlignedRect());
            y += iconSide + m_look.spacing;
        }
        if (textHeight > 0)
            painter.drawText(QRectF(rect.left(), y, rect.width(), textHeight), Qt::AlignHCenter | Qt::AlignTop, text());
    } else {
        const double gap = (iconSide > 0 && textWidth > 0) ? m_look.spacing : 0;
        double x = rect.center().x() - (iconSide + gap + textWidth) / 2;
        if (iconSide > 0) {
            const QRectF iconRect(x, rect.center().y() - iconSide / 2, iconSide, iconSide);
            icon.paint(&painter, iconRect.toAlignedRect());
            x += iconSide + gap;
        }
        if (textWidth > 0)
            painter.drawText(QRectF(x, rect.top(), textWidth + 1, rect.height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    }
    painter.restore();
}
