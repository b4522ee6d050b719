#include "ui/ElidedLabel.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"

#include <QPainter>

ElidedLabel::ElidedLabel(QWidget *parent)
    : QWidget(parent)
    , m_color(AppTheme::secondaryText())
{
    setFont(AppFont::font(TypeScale::body));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void ElidedLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setToolTip(text);
    update();
}

void ElidedLabel::setColor(const QColor &color)
{
    m_color = color;
    update();
}

// No width of its own: the label takes the width its row gives it.
QSize ElidedLabel::sizeHint() const { return QSize(0, fontMetrics().height()); }
QSize ElidedLabel::minimumSizeHint() const { return QSize(0, fontMetrics().height()); }

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(m_color);
    const QString shown = fontMetrics().elidedText(m_text, Qt::ElideMiddle, width());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shown);
}
