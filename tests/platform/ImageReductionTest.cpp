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
