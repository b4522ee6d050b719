#include "video/widgets/VideoScrubber.h"

#include "model/AppTheme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

VideoScrubber::VideoScrubber(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(controlHeight);
    setMinimumWidth(260);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(QStringLiteral("视频时间轴"));
}

double VideoScrubber::positionAt(double x, double width, double lower, double upper)
{
    const double usable = std::max(width - 2 * inset, 1.0);
    const double t = std::clamp((x - inset) / usable, 0.0, 1.0);
    return double(std::lround(lower + (upper - lower) * t));
}

double VideoScrubber::thumbCentre(double value, double width, double lower, double upper)
{
    const double usable = std::max(width - 2 * inset, 1.0);
    const double clamped = std::min(std::max(value, lower), upper);
    const double span = std::max(upper - lower, 0.0001);
    return usable * (clamped - lower) / span + inset;
}

void VideoScrubber::setValue(double value)
{
    if (value != m_value) {
        m_value = value;
        update();
    }
    writeBackClamped();
}

void VideoScrubber::setRange(double lower, double upper)
{
    if (lower == m_lower && upper == m_upper)
        return;
    m_lower = lower;
    m_upper = upper;
    update();
    writeBackClamped();
}

void VideoScrubber::writeBackClamped()
{
    if (m_dragging || !std::isfinite(m_value))
        return;
    const double clamped = std::min(std::max(m_value, m_lower), m_upper);
    if (clamped == m_value)
        return;
    m_value = clamped;
    update();
    Q_EMIT valueWritten(clamped);
}

void VideoScrubber::dragTo(double x)
{
    m_value = positionAt(x, width(), m_lower, m_upper);
    update();
    Q_EMIT valueWritten(m_value);
    Q_EMIT valueChangedByUser(m_value);
}

void VideoScrubber::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    if (!m_dragging) {
        m_dragging = true;
        Q_EMIT editingChanged(true);
    }
    dragTo(event->position().x());
}

void VideoScrubber::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !isEnabled())
        return;
    dragTo(event->position().x());
}

void VideoScrubber::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_dragging || !isEnabled())
        return;
    dragTo(event->position().x());
    m_dragging = false;
    update();
    Q_EMIT editingChanged(false);
}

void VideoScrubber::changeEvent(QEvent *event)
{
    // Disabled in the middle of a drag (a new video starts loading): the drag ends without a seek.
    if (event->type() == QEvent::EnabledChange && !isEnabled() && m_dragging)
        m_dragging = false;
    QWidget::changeEvent(event);
    update();
}

void VideoScrubber::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = width();
    const double mid = height() / 2.0;
    const double x = thumbCentre(m_value, w, m_lower, m_upper);

    const QRectF track(0.5, mid - 5, std::max(w - 1, 1.0), 10);
    painter.setPen(QPen(AppTheme::lightSlate(), 1));
    painter.setBrush(AppTheme::paleGray());
    painter.drawRoundedRect(track, 5, 5);

    QColor filled = AppTheme::navy();
    filled.setAlphaF(0.22f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(filled);
    painter.drawRoundedRect(QRectF(0, mid - 5, std::max(x, inset), 10), 5, 5);

    const bool enabled = isEnabled();
    QRectF thumb(x - 9, mid - 15 - (m_dragging ? 1 : 0), 18, 30);
    for (int ring = 6; ring > 0; --ring) {
        QColor shadow(0, 0, 0, int(std::lround(0.16 * 255 / 6)));
        painter.setBrush(shadow);
        painter.drawRoundedRect(thumb.translated(0, 2).adjusted(-ring / 2.0, -ring / 2.0, ring / 2.0, ring / 2.0),
                                6 + ring / 2.0, 6 + ring / 2.0);
    }
    painter.setPen(QPen(enabled ? AppTheme::navy() : AppTheme::lightSlate(), 1.4));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(thumb, 6, 6);
    painter.setPen(Qt::NoPen);
    painter.setBrush(enabled ? AppTheme::navy() : AppTheme::secondaryText());
    painter.drawRoundedRect(QRectF(x - 2, thumb.center().y() - 9, 4, 18), 2, 2);
}
