#include "texteditor/ChangeChip.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "texteditor/SurfaceColor.h"
#include "ui/ControlPainting.h"

#include <QPainter>

#include <cmath>

ChangeChip::ChangeChip(qint64 number, const QString &text, QWidget *parent)
    : QWidget(parent)
    , m_number(QString::number(number))
    , m_text(text)
{
    setFixedSize(sizeHint());
}

void ChangeChip::setContent(qint64 number, const QString &text)
{
    const QString shown = QString::number(number);
    if (shown == m_number && text == m_text)
        return;
    m_number = shown;
    m_text = text;
    setFixedSize(sizeHint());
    update();
}

QSize ChangeChip::sizeHint() const
{
    const int textWidth = int(std::ceil(QFontMetricsF(AppFont::font(TypeScale::body, QFont::DemiBold)).horizontalAdvance(m_text)));
    return QSize(9 + 20 + 6 + textWidth + 9, 7 + 20 + 7);
}

void ChangeChip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    ControlPainting::roundedPanel(painter, rect(), 8, surfaceColor("#FDE68A"), QColor());
    const QRectF badge(9, 7, 20, 20);
    painter.setPen(Qt::NoPen);
    painter.setBrush(AppTheme::accent());
    painter.drawEllipse(badge);
    painter.setFont(AppFont::font(TypeScale::fine, QFont::Bold));
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, m_number);
    painter.setFont(AppFont::font(TypeScale::body, QFont::DemiBold));
    painter.setPen(AppTheme::darkSlate());
    painter.drawText(QRectF(35, 0, width() - 35 - 9, height()), Qt::AlignVCenter | Qt::AlignLeft, m_text);
}
