#include "shell/SwitcherButton.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/ControlPainting.h"

#include <QPainter>

#include <algorithm>

namespace {
constexpr int switcherSymbolSize = 14;
} // namespace

SwitcherButton::SwitcherButton(const QString &title, const QString &symbolName, int minimumWidth, QWidget *parent)
    : FeedbackButton(title, 7, parent)
    , m_symbolName(symbolName)
    , m_minimumWidth(minimumWidth)
{
    setFont(AppFont::font(TypeScale::body, QFont::Bold));
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
        ControlPainting::roundedPanel(painter, rect, cornerRadius(), AppTheme::navy(), QColor());
    const qreal titleWidth = isCompact() ? 0 : fontMetrics().horizontalAdvance(text());
    const qreal left = rect.center().x() - (switcherSymbolSize + (isCompact() ? 0 : 4) + titleWidth) / 2;
    ControlPainting::symbol(painter, m_symbolName, foreground, QRectF(left, rect.top(), switcherSymbolSize, rect.height()),
                          switcherSymbolSize);
    if (isCompact())
        return;
    painter.setFont(font());
    painter.setPen(foreground);
    painter.drawText(QRectF(left + switcherSymbolSize + 4, rect.top(), titleWidth + 1, rect.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text());
}
