#include "ui/ImagePyramid.h"

#include "platform/PaintBands.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

QImage fastFormat(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    return image.format() == QImage::Format_ARGB32_Premultiplied
        ? image
        : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

ImagePyramid::ImagePyramid(const QImage &image)
{
    if (image.isNull())
        return;
    m_size = image.size();
    m_sourceKey = image.cacheKey();
    m_levels.push_back(fastFormat(image));
    // Halve down to a few hundred pixels: below that the smallest level is cheap enough to filter.
    while (std::max(m_levels.back().width(), m_levels.back().height()) > 256) {
        const QImage &last = m_levels.back();
        const int w = std::max(1, last.width() / 2);
        const int h = std::max(1, last.height() / 2);
        QImage next = last.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (next.isNull())
            break;
        m_levels.push_back(fastFormat(next));
    }
    m_pixmaps.resize(m_levels.size());
}

bool ImagePyramid::isBuiltFrom(const QImage &image) const
{
    return !isNull() && image.cacheKey() == m_sourceKey && image.size() == m_size;
}

int ImagePyramid::levelIndexFor(double scale) const
{
    if (isNull())
        return 0;
    int index = 0;
    for (int i = 1; i < levelCount(); ++i) {
        const QImage &candidate = level(i);
        const double sx = double(candidate.width()) / m_size.width();
        const double sy = double(candidate.height()) / m_size.height();
        if (sx + 1e-9 < scale || sy + 1e-9 < scale)
            break;
        index = i;
    }
    return index;
}

void ImagePyramid::draw(QPainter &painter, const QRectF &target, const QRectF &clip, int bandRows) const
{
    if (isNull() || target.isEmpty())
        return;
    const QRectF visible = target.intersected(clip);
    if (visible.isEmpty())
        return;
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const double scale = std::max(target.width() / m_size.width(), target.height() / m_size.height()) * dpr;
    const int index = levelIndexFor(scale);
    const QImage &image = level(index);
    QPixmap &pixmap = m_pixmaps[size_t(index)];
    if (pixmap.isNull())
        pixmap = QPixmap::fromImage(image);

    // Only the visible part is mapped back to level pixels and drawn.
    const double kx = image.width() / target.width();
    const double ky = image.height() / target.height();
    const QRectF source((visible.x() - target.x()) * kx, (visible.y() - target.y()) * ky, visible.width() * kx,
                        visible.height() * ky);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, scale < 4);
    PaintBands::draw(painter, visible, [&] { painter.drawPixmap(visible, pixmap, source); }, bandRows);
    painter.restore();
}
