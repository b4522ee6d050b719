#include "ui/ElidedLabel.h"

#include <QPainter>

ElidedLabel::ElidedLabel(Look look, QWidget *parent)
    : QWidget(parent)
    , m_look(std::move(look))
{
    setFont(m_look.font);
    switch (m_look.sizeRule) {
    case SizeRule::FillsRow:
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        break;
    case SizeRule::FitsText:
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        break;
    case SizeRule::TakesAnyWidth:
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        break;
    }
}

void ElidedLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    if (m_look.fullTextToolTip)
        setToolTip(text);
    if (m_look.sizeRule == SizeRule::FitsText)
        updateGeometry();
    update();
}

QString ElidedLabel::shownText() const { return fontMetrics().elidedText(m_text, m_look.elideMode, width()); }

QSize ElidedLabel::sizeHint() const
{
    switch (m_look.sizeRule) {
    case SizeRule::FillsRow:
        return QSize(0, fontMetrics().height());
    case SizeRule::FitsText:
        return QSize(fontMetrics().horizontalAdvance(m_text) + 2, fontMetrics().height());
    case SizeRule::TakesAnyWidth:
        break;
    }
    return QSize(fontMetrics().horizontalAdvance(m_text), fontMetrics().height());
}

QSize ElidedLabel::minimumSizeHint() const { return QSize(0, fontMetrics().height()); }

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(m_look.color);
    painter.drawText(rect(), m_look.alignment | Qt::AlignVCenter, shownText());
}
