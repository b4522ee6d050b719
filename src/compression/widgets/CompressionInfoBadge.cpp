#include "compression/widgets/CompressionInfoBadge.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/ControlPainting.h"

#include <QPainter>

CompressionInfoBadge::CompressionInfoBadge(const QString &text, QWidget *parent)
    : QWidget(parent)
    , m_text(text)
{
    setFont(AppFont::font(TypeScale::caption, QFont::Bold));
    setFixedSize(sizeHint());
}

QSize CompressionInfoBadge::sizeHint() const { return { fontMetrics().horizontalAdvance(m_text) + 18, 26 }; }

void CompressionInfoBadge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    ControlPainting::roundedPanel(painter, rect(), 8, AppTheme::paleGray(), AppTheme::lightSlate());
    painter.setPen(AppTheme::darkSlate());
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}
