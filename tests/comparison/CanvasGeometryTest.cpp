#include "comparison/ComparisonGeometry.h"

#include <gtest/gtest.h>

#include <limits>

namespace G = ComparisonGeometry;

namespace {

TEST(ComparisonCanvasGeometry, FitBoxKeepsAMarginHasAFloorAndIsUncapped)
{
    // A 4000 × 1000 before and a 1000 × 3000 after image share a 4000 × 3000 reference.
    const QSizeF reference = G::referenceSize(QSizeF(4000, 1000), QSizeF(1000, 3000));
    EXPECT_EQ(reference, QSizeF(4000, 3000));
    EXPECT_EQ(G::fitSize(reference, QSizeF(856, 656)), QSizeF(800, 600));
    // Below 296 the box stays 240.
    EXPECT_EQ(G::fitSize(QSizeF(100, 100), QSizeF(200, 150)), QSizeF(240, 240));
    // Small pictures are enlarged.
    EXPECT_EQ(G::fitSize(QSizeF(10, 5), QSizeF(556, 556)), QSizeF(500, 250));
    // No reference: (0, 0), and a 1 × 1 canvas.
    EXPECT_EQ(G::fitSize(QSizeF(0, 300), QSizeF(800, 600)), QSizeF(0, 0));
    EXPECT_EQ(G::canvasSize(QSizeF(0, 0), 3), QSizeF(1, 1));
    EXPECT_EQ(G::canvasSize(QSizeF(400, 300), 2), QSizeF(800, 600));
}

TEST(ComparisonCanvasGeometry, LayersShareOneScaleAndEmptySizesStretch)
{
    const QSizeF reference = G::referenceSize(QSizeF(1000, 500), QSizeF(500, 250));
    const QSizeF canvas(800, 400);
    EXPECT_EQ(G::layerSize(QSizeF(1000, 500), reference, canvas), QSizeF(800, 400));
    EXPECT_EQ(G::layerSize(QSizeF(500, 250), reference, canvas), QSizeF(400, 200));
    EXPECT_EQ(G::centred(QSizeF(400, 200), QRectF(QPointF(0, 0), canvas)), QRectF(200, 100, 400, 200));
    EXPECT_EQ(G::layerSize(QSizeF(0, 250), reference, canvas), canvas);
    EXPECT_EQ(G::layerSize(QSizeF(500, 250), QSizeF(0, 0), canvas), canvas);
    EXPECT_EQ(G::layerSize(QSizeF(500, 250), reference, QSizeF(0, 400)), QSizeF(0, 0));
}

TEST(ComparisonCanvasGeometry, DividerClampsForDrawingAndDragsStopShortOfTheEdges)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(G::dividerX(0.25, 800), 200);
    EXPECT_EQ(G::dividerX(nan, 800), 0);
    EXPECT_EQ(G::dividerX(-3, 800), 0);
    EXPECT_EQ(G::dividerX(7, 800), 800);
    EXPECT_EQ(G::dividerX(1, 800), 800);

    EXPECT_DOUBLE_EQ(*G::dragFraction(240, 800), 0.3);
    EXPECT_DOUBLE_EQ(*G::dragFraction(-50, 800), 0.02);
    EXPECT_DOUBLE_EQ(*G::dragFraction(900, 800), 0.98);
    EXPECT_FALSE(G::dragFraction(10, 0));
}

} // namespace
