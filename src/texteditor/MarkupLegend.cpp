#include "texteditor/MarkupLegend.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/HexColor.h"
#include "model/TypeScale.h"

#include <QPainter>

#include <cmath>

namespace {
const char *const legendColors[] = { "#16A34A", "#DC2626" };
const char *const legendTitles[] = { "绿色 下划线/新增", "红色 划掉" };
} // namespace

MarkupLegend::MarkupLegend(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(sizeHint());
}

QSize MarkupLegend::sizeHint() const
{
    const QFontMetricsF metrics(AppFont::font(TypeScale::caption, QFont::Bold));
    qreal width = 0;
    for (const char *title : legendTitles)
        width += 8 + 5 + metrics.horizontalAdvance(QString::fromUtf8(title));
    return QSize(int(std::ceil(width + 8)), 20);
}

void MarkupLegend::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont font = AppFont::font(TypeScale::caption, QFont::Bold);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    qreal x = 0;
    for (int index = 0; index < 2; ++index) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(HexColor::uiColor(QString::fromLatin1(legendColors[index])));
        painter.drawEllipse(QRectF(x, height() / 2.0 - 4, 8, 8));
        x += 13;
        const QString title = QString::fromUtf8(legendTitles[index]);
        painter.setPen(AppTheme::secondaryText());
        painter.drawText(QRectF(x, 0, metrics.horizontalAdvance(title) + 1, height()), Qt::AlignVCenter, title);
        x += metrics.horizontalAdvance(title) + 8;
    }
}
