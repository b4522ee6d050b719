#include "texteditor/ComparisonBusyMark.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/BusySpinner.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr qreal busyMarkRing = 10;
constexpr qreal busyMarkGap = 5;

QFont busyMarkFont()
{
    return AppFont::font(TypeScale::caption, QFont::Medium);
}

} // namespace

ComparisonBusyMark::ComparisonBusyMark(QWidget *parent)
    : QWidget(parent)
    , m_spinner(new BusySpinner(this))
{
    setObjectName(QStringLiteral("comparisonBusyMark"));
    setAccessibleName(text());
    setToolTip(QStringLiteral("正在对比原文与修改文案，完成后更新高亮和修改列表"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QString ComparisonBusyMark::text() const { return QStringLiteral("正在对比…"); }

QSize ComparisonBusyMark::sizeHint() const
{
    const QFontMetricsF metrics(busyMarkFont());
    const qreal width = busyMarkRing + busyMarkGap + metrics.horizontalAdvance(text());
    return QSize(int(std::ceil(width)) + 2, int(std::ceil(std::max(metrics.height(), busyMarkRing))) + 2);
}

void ComparisonBusyMark::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal middle = height() / 2.0;
    const QRectF ring(1.5, middle - busyMarkRing / 2 + 0.5, busyMarkRing - 1, busyMarkRing - 1);
    BusySpinner::paintRing(painter, ring, AppTheme::accent(), 1.6, m_spinner->angle());
    painter.setFont(busyMarkFont());
    painter.setPen(AppTheme::secondaryText());
    painter.drawText(QRectF(busyMarkRing + busyMarkGap + 1, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter,
                     text());
}

void ComparisonBusyMark::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_spinner->setRunning(true);
}

void ComparisonBusyMark::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_spinner->setRunning(false);
}
