#include "compression/widgets/CompressionResultBanner.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/ControlPainting.h"

#include <QPainter>

#include <algorithm>

CompressionResultBanner::CompressionResultBanner(QWidget *parent)
    : QWidget(parent)
{
    setFont(AppFont::font(TypeScale::body, QFont::Bold));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CompressionResultBanner::setText(const QString &text)
{
    if (m_text == text)
        return;
    m_text = text;
    update();
}

QSize CompressionResultBanner::sizeHint() const
{
    return { 11 + 18 + 10 + fontMetrics().horizontalAdvance(m_text) + 11, std::max(18, fontMetrics().height()) + 22 };
}

QSize CompressionResultBanner::minimumSizeHint() const { return { 0, sizeHint().height() }; }

void CompressionResultBanner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    ControlPainting::roundedPanel(painter, rect(), 8, AppTheme::paleGreen(), QColor());
    const QRectF symbolRect(11, (height() - 18) / 2.0, 18, 18);
    ControlPainting::symbol(painter, QStringLiteral("checkmark.circle.fill"), AppTheme::green(), symbolRect, 16);
    painter.setPen(AppTheme::darkSlate());
    const QRectF textRect(symbolRect.right() + 10, 0, width() - symbolRect.right() - 21, height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(m_text, Qt::ElideRight, int(textRect.width())));
}
