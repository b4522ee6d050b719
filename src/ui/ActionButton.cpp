#include "ui/ActionButton.h"

#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/ControlPainting.h"

#include <QPainter>

#include <algorithm>

namespace {
constexpr int actionSymbolSize = 14;
constexpr int actionPadding = 8;
constexpr int actionGap = 5;

ButtonStyle actionStyle()
{
    ButtonStyle style;
    style.foreground = AppTheme::darkSlate();
    style.background = AppTheme::paleGray();
    style.border = AppTheme::lightSlate();
    style.fontPixels = TypeScale::button;
    style.fontWeight = QFont::DemiBold;
    style.symbolPixels = actionSymbolSize;
    return style;
}
} // namespace

ActionButton::ActionButton(const QString &title, const QString &symbolName, QWidget *parent)
    : StyledButton(title, symbolName, actionStyle(), parent)
{
    unsetCursor();
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(title);
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
    ControlPainting::roundedPanel(painter, rect, cornerRadius(), buttonStyle().background, buttonStyle().border);
    const QFontMetrics metrics(font());
    const int room = int(rect.width()) - 2 * actionPadding - actionSymbolSize - actionGap;
    const QString title = !isCompact() && room >= metrics.horizontalAdvance(QStringLiteral("…")) * 2
                              ? metrics.elidedText(text(), Qt::ElideRight, room)
                              : QString();
    const qreal titleWidth = title.isEmpty() ? 0 : metrics.horizontalAdvance(title) + actionGap;
    const qreal left = rect.center().x() - (actionSymbolSize + titleWidth) / 2;
    ControlPainting::symbol(painter, symbolName(), buttonStyle().foreground,
                          QRectF(left, rect.top(), actionSymbolSize, rect.height()), actionSymbolSize);
    if (!title.isEmpty()) {
        painter.setFont(font());
        painter.setPen(buttonStyle().foreground);
        painter.drawText(QRectF(left + actionSymbolSize + actionGap, rect.top(), titleWidth, rect.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, title);
    }
}
