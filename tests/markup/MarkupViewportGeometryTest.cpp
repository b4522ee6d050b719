#include <gtest/gtest.h>

#include "markup/MarkupViewportGeometry.h"

using namespace MarkupGeometry;

TEST(MarkupViewportGeometry, UnitPointsAndCanvasPoints)
{
    EXPECT_EQ(normalizedPoint({-5, 250}, {200, 100}), UnitPoint2D(0, 1));
    EXPECT_EQ(normalizedPoint({50, 25}, {200, 100}), UnitPoint2D(0.25, 0.25));
    EXPECT_EQ(normalizedPoint({50, 25}, {0, 0}), UnitPoint2D(0, 0));
    EXPECT_EQ(normalizedPoint({50, 25}, {std::nan(""), 100}), UnitPoint2D(0, 0));
    EXPECT_EQ(canvasPoint({10, 20}, {-5, 7}), QPointF(5, 27));
}

TEST(MarkupViewportGeometry, FittingAndVisibleRects)
{
    EXPECT_EQ(aspectFitSize({400, 200}, {100, 100}), QSizeF(100, 50));
    EXPECT_EQ(aspectFitSize({400, 200}, {1000, 1000}), QSizeF(1000, 500));
    EXPECT_EQ(aspectFitSize({0, 200}, {1000, 1000}), QSizeF(0, 0));
    EXPECT_EQ(proportionalComparisonLayerSize({200, 100}, {400, 400}, {200, 100}), QSizeF(50, 25));
    EXPECT_EQ(proportionalComparisonLayerSize({200, 100}, {0, 400}, {200, 100}), QSizeF(0, 0));

    EXPECT_EQ(visibleCanvasRect({-50, 20}, {300, 300}, {200, 200}), Rect(50, 0, 200, 180));
    EXPECT_TRUE(visibleCanvasRect({300, 20}, {300, 300}, {200, 200}).isNull());
    // Only touching the viewport's edge shows nothing.
    EXPECT_TRUE(visibleCanvasRect({200, 0}, {300, 300}, {200, 200}).isNull());
}

TEST(MarkupViewportGeometry, PanAfterZoomKeepsThePointUnderThePointer)
{
    EXPECT_EQ(panOffsetAfterZoom({30, -20}, {123, 456}, {800, 600}, 1), QSizeF(30, -20));
    // Zooming by 2 at a point 100 right of the centre (with no pan) moves the content 100 left.
    EXPECT_EQ(panOffsetAfterZoom({0, 0}, {500, 300}, {800, 600}, 2), QSizeF(-100, 0));
    // Content point under the pointer before: (q − centre − pan) / zoom; after: the same.
    const QSizeF pan(40, 10);
    const QPointF q(600, 100);
    const QSizeF w(800, 600);
    const double zoom = 1.5, k = 2;
    const QSizeF next = panOffsetAfterZoom(pan, q, w, k);
    EXPECT_DOUBLE_EQ((q.x() - w.width() / 2 - pan.width()) / zoom, (q.x() - w.width() / 2 - next.width()) / (zoom * k));
    EXPECT_DOUBLE_EQ((q.y() - w.height() / 2 - pan.height()) / zoom,
                     (q.y() - w.height() / 2 - next.height()) / (zoom * k));
}

TEST(MarkupViewportGeometry, FittedZoomShowsAnyPictureAtItsFittedSizeAndNoAreaAtTheLargestZoom)
{
    for (const QSizeF box : {imageMarkupFitBox, videoFrameFitBox}) {
        EXPECT_NEAR(fittedZoom({1920, 1080}, box), 1, 1e-12);
        EXPECT_NEAR(fittedZoom({7, 3000}, box), 1, 1e-12);
        EXPECT_NEAR(fittedZoom({1, 1}, box), 1, 1e-12);
        EXPECT_EQ(fittedZoom({0, 1080}, box), 30);
        EXPECT_EQ(fittedZoom({-4, 10}, box), 30);
        EXPECT_EQ(fittedZoom({std::nan(""), 10}, box), 30);
    }
}
