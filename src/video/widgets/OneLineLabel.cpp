#include "video/widgets/OneLineLabel.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"

#include <QPainter>

OneLineLabel::OneLineLabel(Qt::Alignment alignment, QWidget *parent) : QWidget(parent), m_alignment(alignment)
{
    setFont(AppFont::font(TypeScale::caption, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void OneLineLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setToolTip(text);
    updateGeometry();
    update();
}

QSize OneLineLabel::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(m_text) + 2, fontMetrics().height());
}

QSize OneLineLabel::minimumSizeHint() const
{
    return QSize(0, fontMetrics().height());
}

void OneLineLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(AppTheme::secondaryText());
    const QString shown = fontMetrics().elidedText(m_text, Qt::ElideRight, width());
    painter.drawText(rect(), m_alignment | Qt::AlignVCenter, shown);
}
