#include "comparison/widgets/ComparisonPreview.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

QPixmap comparisonPreview(const ComparisonImageState &side, QSize size, double radius, qreal ratio)
{
    QImage picture = side.thumbnail.image();
    if (picture.isNull()) {
        // No small copy kept (pairs opened from a project): one is made at the size drawn here.
        const QSizeF full(side.image.size());
        const double cover = std::max(size.width() / full.width(), size.height() / full.height());
        picture = side.image.thumbnail(std::ceil(std::max(full.width(), full.height()) * cover * ratio));
    }
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    if (picture.isNull())
        return pixmap;
    QPainter painter(&pixmap);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), radius, radius);
    painter.setClipPath(clip);
    const double scale = std::max(double(size.width()) / picture.width(), double(size.height()) / picture.height());
    const QSizeF drawn(picture.width() * scale, picture.height() * scale);
    painter.drawImage(QRectF(QPointF((size.width() - drawn.width()) / 2, (size.height() - drawn.height()) / 2), drawn),
                      picture);
    return pixmap;
}
