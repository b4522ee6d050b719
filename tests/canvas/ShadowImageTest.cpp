#include "ui/PanelChrome.h"

#include <QImage>

#include <gtest/gtest.h>

TEST(ShadowImage, ABlurredRoundedRectIsSoftSymmetricAndMadeOnce)
{
    const QColor colour(0, 0, 0, 31);
    const QImage shadow = PanelChrome::blurredRoundedRect(QSize(80, 60), 6, colour, 6, 36);
    ASSERT_EQ(shadow.size(), QSize(80 + 72, 60 + 72));
    EXPECT_EQ(shadow.format(), QImage::Format_ARGB32_Premultiplied);
    // Full strength in the middle, nothing at the far corners, about half on the shape's edge.
    const int cx = shadow.width() / 2;
    const int cy = shadow.height() / 2;
    EXPECT_NEAR(qAlpha(shadow.pixel(cx, cy)), 31, 4);
    EXPECT_EQ(qAlpha(shadow.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(shadow.pixel(shadow.width() - 1, shadow.height() - 1)), 0);
    EXPECT_NEAR(qAlpha(shadow.pixel(36, cy)), 15, 5);
    // Falls off monotonically outwards, the same on both sides.
    for (int x = 1; x < cx; ++x) {
        EXPECT_LE(qAlpha(shadow.pixel(x - 1, cy)), qAlpha(shadow.pixel(x, cy)));
        EXPECT_EQ(qAlpha(shadow.pixel(x, cy)), qAlpha(shadow.pixel(shadow.width() - 1 - x, cy)));
    }
    // The colour stays black whatever the alpha.
    EXPECT_EQ(qRed(shadow.pixel(cx, cy)), 0);

    // The same arguments give the same image without drawing it again; others give another.
    EXPECT_EQ(PanelChrome::blurredRoundedRect(QSize(80, 60), 6, colour, 6, 36).cacheKey(), shadow.cacheKey());
    EXPECT_NE(PanelChrome::blurredRoundedRect(QSize(80, 60), 6, QColor(0, 0, 0, 60), 6, 36).cacheKey(),
              shadow.cacheKey());
    // No blur: the plain shape on its margin.
    const QImage sharp = PanelChrome::blurredRoundedRect(QSize(10, 10), 0, Qt::red, 0, 2);
    EXPECT_EQ(sharp.pixel(0, 0), 0u);
    EXPECT_EQ(sharp.pixel(5, 5), qRgb(255, 0, 0));
}
