#include "platform/ImageReduction.h"
#include "support/TestSupport.h"

#include <QColorSpace>
#include <gtest/gtest.h>

TEST(ImageReduction, LargeReductionsAgreeWithSmoothScaling)
{
    // A one-bit checkerboard averages to grey, not to one of its two colours.
    QImage stripes(1003, 601, QImage::Format_Mono);
    stripes.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 255) });
    for (int y = 0; y < stripes.height(); ++y)
        for (int x = 0; x < stripes.width(); ++x)
            stripes.setPixel(x, y, (x + y) % 2);
    const QImage grey = ImageReduction::scaledSmoothly(stripes, QSize(100, 60));
    ASSERT_EQ(grey.size(), QSize(100, 60));
    for (const QPoint p : { QPoint(0, 0), QPoint(50, 30), QPoint(99, 59) })
        EXPECT_NEAR(qRed(grey.pixel(p)), 128, 12) << p.x() << "," << p.y();

    // A smooth picture with transparency and a profile: close to Qt's own scaling, alpha and
    // profile kept, the odd last block of pixels included.
    QImage picture(2001, 1333, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgba(x * 255 / 2000, y * 255 / 1332, 90, x < 1000 ? 255 : 60));
    picture.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    const QImage ours = ImageReduction::scaledSmoothly(picture, QSize(150, 100));
    const QImage qts = picture.scaled(QSize(150, 100), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ASSERT_EQ(ours.size(), qts.size());
    EXPECT_LE(TestSupport::maxChannelDifference(ours.convertToFormat(QImage::Format_ARGB32),
                                                qts.convertToFormat(QImage::Format_ARGB32)),
              6);
    EXPECT_EQ(ours.colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
    EXPECT_TRUE(ours.hasAlphaChannel());

    EXPECT_TRUE(ImageReduction::scaledSmoothly(QImage(), QSize(10, 10)).isNull());
    EXPECT_TRUE(ImageReduction::scaledSmoothly(picture, QSize(0, 10)).isNull());
}

TEST(ImageReduction, UpdatingTheChangedPartGivesTheWholeReductionExactly)
{
    // A huge transparent screen with a few small drawings, as a GIF's frames draw them: starting
    // from a zero-filled reduction, each change updated alone matches a reduction of everything.
    QImage canvas(1501, 1003, QImage::Format_ARGB32);
    canvas.fill(0);
    const QSize target(201, 133); // not a whole fraction, so spans cross target pixels
    QImage scaled(target, QImage::Format_ARGB32_Premultiplied);
    scaled.fill(0);
    const QRect changes[] = { QRect(0, 0, 1, 1), QRect(700, 500, 7, 9), QRect(1490, 990, 11, 13),
                              QRect(12, 350, 1450, 3), QRect(0, 0, 1501, 1003) };
    int round = 0;
    for (const QRect &rect : changes) {
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                canvas.setPixel(x, y, qRgba((x * 7 + round) % 256, (y * 3) % 256, 200, (x + y) % 3 ? 255 : 40));
        ASSERT_TRUE(ImageReduction::updateScaled(canvas, scaled, rect));
        EXPECT_EQ(scaled, ImageReduction::scaledSmoothly(canvas, target)) << rect.x() << "," << rect.y();
        ++round;
    }
    // Cleared again, as a disposal does.
    const QRect cleared(100, 100, 300, 200);
    for (int y = cleared.top(); y <= cleared.bottom(); ++y)
        std::fill_n(reinterpret_cast<QRgb *>(canvas.scanLine(y)) + cleared.left(), cleared.width(), 0u);
    ASSERT_TRUE(ImageReduction::updateScaled(canvas, scaled, cleared));
    EXPECT_EQ(scaled, ImageReduction::scaledSmoothly(canvas, target));

    // Reductions that are not averaged areas, or a reduction of the wrong format, are refused.
    QImage wrongFormat(target, QImage::Format_RGB32);
    EXPECT_FALSE(ImageReduction::updateScaled(canvas, wrongFormat, QRect(0, 0, 10, 10)));
    QImage tooClose(QSize(1000, 700), QImage::Format_ARGB32_Premultiplied);
    EXPECT_FALSE(ImageReduction::updateScaled(canvas, tooClose, QRect(0, 0, 10, 10)));
    EXPECT_TRUE(ImageReduction::reducesByArea(canvas, target));
    EXPECT_FALSE(ImageReduction::reducesByArea(canvas, QSize(1000, 700)));
}

TEST(ImageReduction, SixteenBitAlphaIsAveragedLikeEightBit)
{
    // Columns alternating opaque and half transparent average to about 191, whatever the depth.
    QImage eight(400, 300, QImage::Format_ARGB32);
    for (int y = 0; y < eight.height(); ++y)
        for (int x = 0; x < eight.width(); ++x)
            eight.setPixel(x, y, x % 2 ? qRgba(250, 10, 10, 255) : qRgba(10, 10, 250, 128));
    const QImage fromEight = ImageReduction::scaledSmoothly(eight, QSize(96, 72)).convertToFormat(QImage::Format_ARGB32);
    for (const QImage::Format wide : { QImage::Format_RGBA64, QImage::Format_RGBA64_Premultiplied,
                                       QImage::Format_RGBA16FPx4 }) {
        const QImage fromWide
            = ImageReduction::scaledSmoothly(eight.convertToFormat(wide), QSize(96, 72)).convertToFormat(QImage::Format_ARGB32);
        EXPECT_NEAR(qAlpha(fromWide.pixel(40, 30)), 191, 2) << wide;
        EXPECT_LE(TestSupport::maxChannelDifference(fromWide, fromEight), 2) << wide;
    }
}
