#include "shell/LauncherCard.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/ControlPainting.h"

#include <QPainter>

LauncherCard::LauncherCard(const QString &title, const QString &symbolName, QWidget *parent)
    : FeedbackButton(title, 8, parent)
    , m_symbolName(symbolName)
{
    setFont(AppFont::font(TypeScale::launcherCard, QFont::ExtraBold));
    setFixedSize(158, 128);
    setAccessibleName(title);
}

void LauncherCard::paintContent(QPainter &painter, const QRectF &rect)
{
    ControlPainting::roundedPanel(painter, rect, 8, Qt::white, AppTheme::lightSlate());
    const qreal titleHeight = fontMetrics().height();
    const qreal top = rect.center().y() - (48 + 12 + titleHeight) / 2;
    ControlPainting::symbol(painter, m_symbolName, AppTheme::primaryText(),
                          QRectF(rect.center().x() - 24, top, 48, 48), 38);
    painter.setFont(font());
    painter.setPen(AppTheme::primaryText());
    painter.drawText(QRectF(rect.left(), top + 48 + 12, rect.width(), titleHeight), Qt::AlignCenter, text());
}
