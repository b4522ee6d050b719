#include "ui/ActionButton.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "ui/ShellPainting.h"

#include <QPainter>

#include <algorithm>

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
