#include <gtest/gtest.h>

#include "model/MarkupAnnotation.h"

TEST(UnitPoint2D, ClampsOnConstructionAndTranslation)
{
    EXPECT_EQ(UnitPoint2D(-0.2, 1.7), UnitPoint2D(0, 1));
    EXPECT_EQ(UnitPoint2D(std::nan(""), 0.5), UnitPoint2D(0, 0.5));
    EXPECT_EQ(UnitPoint2D::fromPoint(QPointF(50, 25), QSizeF(100, 0)), UnitPoint2D(0, 0));
    EXPECT_EQ(UnitPoint2D(0.8, 0.5).translated(0.5, -2), UnitPoint2D(1, 0));
    EXPECT_EQ(UnitPoint2D(0.25, 0.5).toPoint(QSizeF(400, 300)), QPointF(100, 150));
}
