#include "ui/BusyMark.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/BusySpinner.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr qreal busyMarkRingSize = 10;
constexpr int busyMarkSpokesSize = 28;
constexpr qreal busyMarkTextGap = 5;

QFont busyMarkTextFont()
{
    return AppFont::font(TypeScale::caption, QFont::Medium);
}

} // namespace

BusyMark::BusyMark(Face face, const QString &text, QWidget *parent)
    : QWidget(parent)
    , m_face(face)
    , m_text(text)
    , m_spinner(new BusySpinner(this))
{
    if (!text.isEmpty())
        setAccessibleName(text);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (face == Face::Spokes && text.isEmpty())
        setFixedSize(busyMarkSpokesSize, busyMarkSpokesSize);
}

void BusyMark::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

int BusyMark::angle() const { return m_spinner->angle(); }

bool BusyMark::isTurning() const { return m_spinner->isRunning(); }

QSize BusyMark::sizeHint() const
{
    const qreal faceSize = m_face == Face::Ring ? busyMarkRingSize : busyMarkSpokesSize;
    if (m_text.isEmpty())
        return m_face == Face::Ring ? QSize(int(faceSize) + 2, int(faceSize) + 2) : QSize(int(faceSize), int(faceSize));
    const QFontMetricsF metrics(busyMarkTextFont());
    const qreal width = faceSize + busyMarkTextGap + metrics.horizontalAdvance(m_text);
    return QSize(int(std::ceil(width)) + 2, int(std::ceil(std::max(metrics.height(), faceSize))) + 2);
}

void BusyMark::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal middle = height() / 2.0;
    qreal textLeft = 0;
    if (m_face == Face::Ring) {
        const QRectF ring(1.5, middle - busyMarkRingSize / 2 + 0.5, busyMarkRingSize - 1, busyMarkRingSize - 1);
        BusySpinner::paintRing(painter, ring, AppTheme::accent(), 1.6, m_spinner->angle());
        textLeft = busyMarkRingSize + busyMarkTextGap + 1;
    } else {
        // Twelve spokes fading behind the leading one, the small wheel scaled by 0.72.
        const QPointF centre = m_text.isEmpty() ? QPointF(width() / 2.0, middle) : QPointF(busyMarkSpokesSize / 2.0, middle);
        BusySpinner::paintSpokes(painter, centre, 0.72, AppTheme::secondaryText(), m_spinner->angle());
        textLeft = busyMarkSpokesSize + busyMarkTextGap;
    }
    if (m_text.isEmpty())
        return;
    painter.setFont(busyMarkTextFont());
    painter.setPen(AppTheme::secondaryText());
    painter.drawText(QRectF(textLeft, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter, m_text);
}

void BusyMark::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_spinner->setRunning(true);
}

void BusyMark::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_spinner->setRunning(false);
}
