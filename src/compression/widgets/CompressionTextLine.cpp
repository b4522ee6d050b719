#include "compression/widgets/CompressionTextLine.h"

#include "model/AppFont.h"

#include <QPainter>

CompressionTextLine::CompressionTextLine(double pixels, QFont::Weight weight, const QColor &color,
                                         Qt::TextElideMode mode, QWidget *parent)
    : QWidget(parent)
    , m_color(color)
    , m_mode(mode)
{
    setFont(AppFont::font(pixels, weight));
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void CompressionTextLine::setText(const QString &text)
{
    if (m_text == text)
        return;
    m_text = text;
    update();
}

QString CompressionTextLine::shownText() const { return fontMetrics().elidedText(m_text, m_mode, width()); }

QSize CompressionTextLine::sizeHint() const
{
    return { fontMetrics().horizontalAdvance(m_text), fontMetrics().height() };
}

QSize CompressionTextLine::minimumSizeHint() const { return { 0, fontMetrics().height() }; }

void CompressionTextLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(m_color);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}
