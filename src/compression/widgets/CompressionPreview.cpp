#include "compression/widgets/CompressionPreview.h"

#include "compression/CompressionCropGeometry.h"
#include "model/AppTheme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

CompressionPreview::CompressionPreview(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("compressionPreview"));
    setCursor(Qt::CrossCursor);
}

void CompressionPreview::setImage(const QImage &thumbnail, QSizeF previewSize)
{
    m_thumbnail = thumbnail;
    m_previewSize = previewSize;
    m_scaled = QPixmap();
    setFixedSize(int(std::ceil(previewSize.width())), int(std::ceil(previewSize.height())));
    update();
}

void CompressionPreview::setCropRect(const std::optional<Rect> &rect)
{
    if (m_cropRect == rect)
        return;
    m_cropRect = rect;
    update();
}

QSize CompressionPreview::sizeHint() const
{
    return QSize(int(std::ceil(m_previewSize.width())), int(std::ceil(m_previewSize.height())));
}

void CompressionPreview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF bounds(QPointF(0, 0), m_previewSize);
    if (!m_thumbnail.isNull()) {
        // The fitted thumbnail is scaled once per size, so a drag repaints only the overlay.
        const QSizeF fitted = QSizeF(m_thumbnail.size()).scaled(m_previewSize, Qt::KeepAspectRatio);
        const qreal ratio = devicePixelRatioF();
        const QSize pixels(std::max(1, int(std::lround(fitted.width() * ratio))),
                           std::max(1, int(std::lround(fitted.height() * ratio))));
        if (m_scaled.isNull() || m_scaled.size() != pixels) {
            m_scaled = QPixmap::fromImage(m_thumbnail.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            m_scaled.setDevicePixelRatio(ratio);
        }
        painter.drawPixmap(
            QPointF((m_previewSize.width() - fitted.width()) / 2, (m_previewSize.height() - fitted.height()) / 2),
            m_scaled);
    }
    if (!m_cropRect || m_cropRect->isNull())
        return;

    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF crop = m_cropRect->toQRectF();
    // Dimming: the bounds and the rectangle filled even-odd leave the rectangle clear.
    QPainterPath mask;
    mask.setFillRule(Qt::OddEvenFill);
    mask.addRect(bounds);
    mask.addRect(crop);
    painter.fillPath(mask, QColor(0, 0, 0, int(std::lround(0.24 * 255))));
    // Frame.
    painter.fillRect(crop, QColor(255, 255, 255, int(std::lround(0.05 * 255))));
    painter.setPen(QPen(QColor(255, 255, 255, int(std::lround(0.96 * 255))), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(crop);
    // Handles, in list order.
    for (const auto &[point, corner] : CompressionCropGeometry::handlePoints(*m_cropRect)) {
        (void)corner;
        painter.setBrush(Qt::white);
        painter.setPen(QPen(AppTheme::navy(), 2));
        painter.drawEllipse(point, 6, 6);
    }
}

void CompressionPreview::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragStart = event->position();
    if (m_handlers.update)
        m_handlers.update(*m_dragStart, event->position());
}

void CompressionPreview::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragStart && m_handlers.update)
        m_handlers.update(*m_dragStart, event->position());
}

void CompressionPreview::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_dragStart)
        return;
    const QPointF start = *std::exchange(m_dragStart, std::nullopt);
    if (m_handlers.end)
        m_handlers.end(start, event->position());
}
