#include <gtest/gtest.h>

#include "platform/PaintBands.h"
#include "support/HeldWorkers.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

// Translucent, every pixel different: a seam or a row blended twice shows.
QImage translucentPattern()
{
    QImage image(700, 500, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qPremultiply(qRgba(x % 256, y % 256, 90, 60 + (x + y) % 150)));
    return image;
}

// The pattern stretched smoothly over a card with rounded corners, in bands or whole.
QImage painted(double dpr, bool banded)
{
    static const QImage pattern = translucentPattern();
    QImage canvas(int(900 * dpr), int(700 * dpr), QImage::Format_RGB32);
    canvas.fill(Qt::white);
    canvas.setDevicePixelRatio(dpr);
    const QRectF area(13.3, 7.7, 820.1, 610.4);
    QPainterPath card;
    card.addRoundedRect(area, 6, 6);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipPath(card);
    const auto draw = [&] { painter.drawImage(QRectF(5.5, 3.25, 850.7, 640.3), pattern, QRectF(pattern.rect())); };
    if (banded)
        PaintBands::draw(painter, area, draw, PaintBands::roundedClipRows);
    else
        draw();
    painter.end();
    return canvas;
}

} // namespace

// No seam and no row drawn twice; where the clip's antialiased corner meets a band's edge, the
// coverage may round one level apart.
TEST(PaintBands, BandedDrawsGiveTheSamePixelsAtEveryPixelRatio)
{
    for (const double dpr : {1.0, 1.25, 1.5, 2.0, 3.0})
        EXPECT_LE(TestSupport::maxChannelDifference(painted(dpr, true), painted(dpr, false)), 1) << dpr;
}

// Whole, such a draw is handed to Qt's thread pool; in bands it needs no other thread.
TEST(PaintBands, ABandedDrawNeedsNoWorkerThread)
{
    const QImage expected = painted(1.5, false);
    HeldWorkers held;
    ASSERT_TRUE(held.holding());
    // The canvas asks before it draws: bands only while the threads are busy.
    EXPECT_TRUE(PaintBands::workersBusy());
    const QImage banded = painted(1.5, true);
    EXPECT_TRUE(held.release()) << "the banded draw waited for a worker thread";
    EXPECT_LE(TestSupport::maxChannelDifference(banded, expected), 1);
}
