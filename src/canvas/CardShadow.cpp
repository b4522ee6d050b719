#include "canvas/CardShadow.h"

#include <QPainter>
#include <qdrawutil.h>

#include <algorithm>
#include <vector>

namespace CardShadow {

namespace {
constexpr int shadowCore = 16;
} // namespace

// A blurred rounded rectangle drawn once and stretched around a card by its nine slices.
QImage image(int blur, double cornerRadius)
{
    const int shadowPad = 2 * blur;
    const int side = 2 * shadowPad + 2 * shadowCore;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 31)); // 0.12
        painter.drawRoundedRect(QRectF(shadowPad, shadowPad, 2 * shadowCore, 2 * shadowCore), cornerRadius,
                                cornerRadius);
    }
    // Three box blurs approximate a Gaussian; only the alpha channel matters (the colour is black).
    const int radius = std::max(blur / 3, 1);
    std::vector<int> alpha(size_t(side * side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            alpha[size_t(y * side + x)] = qAlpha(image.pixel(x, y));
    std::vector<int> scratch(alpha.size());
    for (int pass = 0; pass < 3; ++pass) {
        for (int horizontal = 0; horizontal < 2; ++horizontal) {
            for (int line = 0; line < side; ++line) {
                for (int i = 0; i < side; ++i) {
                    int sum = 0;
                    int count = 0;
                    for (int k = -radius; k <= radius; ++k) {
                        const int j = i + k;
                        if (j < 0 || j >= side)
                            continue;
                        sum += horizontal ? alpha[size_t(line * side + j)] : alpha[size_t(j * side + line)];
                        ++count;
                    }
                    const size_t at = horizontal ? size_t(line * side + i) : size_t(i * side + line);
                    scratch[at] = sum / std::max(count, 1);
                }
            }
            alpha.swap(scratch);
        }
    }
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, qPremultiply(qRgba(0, 0, 0, alpha[size_t(y * side + x)])));
    return image;
}

void paint(QPainter &painter, const QRectF &card, const QPixmap &shadow, int blur, double offsetY)
{
    const int pad = 2 * blur;
    const QRect target = card.translated(0, offsetY).toAlignedRect().adjusted(-pad, -pad, pad, pad);
    const int margin = pad + shadowCore / 2;
    if (target.width() < 2 * margin || target.height() < 2 * margin) {
        painter.drawPixmap(target, shadow);
        return;
    }
    const QMargins margins(margin, margin, margin, margin);
    qDrawBorderPixmap(&painter, target, margins, shadow, shadow.rect(), margins, QTileRules(Qt::StretchTile),
                      QDrawBorderPixmap::DrawingHints());
}

} // namespace CardShadow
