#include "ui/CardShadow.h"
#include "ui/PanelChrome.h"

#include <QPainter>
#include <qdrawutil.h>

#include <algorithm>

namespace CardShadow {

namespace {
constexpr int shadowCore = 16;
} // namespace

// A blurred rounded rectangle drawn once and stretched around a card by its nine slices: black at
// 0.12, blurred by box passes of a third of the blur.
QImage image(int blur, double cornerRadius)
{
    return PanelChrome::blurredRoundedRect(QSize(2 * shadowCore, 2 * shadowCore), cornerRadius, QColor(0, 0, 0, 31),
                                           std::max(blur / 3, 1), 2 * blur);
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
