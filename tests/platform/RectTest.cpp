#include <gtest/gtest.h>

#include "platform/Rect.h"

TEST(Rect, NullIsDistinctFromEmpty)
{
    EXPECT_TRUE(Rect::null().isNull());
    EXPECT_TRUE(Rect::null().isEmpty());
    const Rect line(10, 10, 0, 50);
    EXPECT_FALSE(line.isNull());
    EXPECT_TRUE(line.isEmpty());
    EXPECT_FALSE(Rect(0, 0, 1, 1).isEmpty());
    EXPECT_TRUE(Rect::null().toQRectF().isNull());
}

TEST(Rect, ContainsIsHalfOpen)
{
    const Rect square(96, 26, 24, 24);
    EXPECT_TRUE(square.contains({96, 26}));
    EXPECT_TRUE(square.contains({119, 49}));
    EXPECT_FALSE(square.contains({120, 49}));
    EXPECT_FALSE(square.contains({121, 49}));
    EXPECT_FALSE(square.contains({100, 50}));
    // The tolerance variant counts every edge, the strict one none.
    EXPECT_TRUE(square.containsInclusive({120, 50}));
    EXPECT_FALSE(square.containsStrictly({96, 30}));
    EXPECT_TRUE(square.containsStrictly({97, 30}));
    // Nothing lies in a zero-width or null rectangle.
    EXPECT_FALSE(Rect(10, 10, 0, 50).contains({10, 20}));
    EXPECT_FALSE(Rect::null().contains({0, 0}));
    EXPECT_FALSE(Rect::null().containsInclusive({INFINITY, INFINITY}));
}

TEST(Rect, StandardisesNegativeSizes)
{
    const Rect flipped(100, 50, -40, -20);
    EXPECT_EQ(flipped.standardized(), Rect(60, 30, 40, 20));
    EXPECT_EQ(flipped.minX(), 60);
    EXPECT_EQ(flipped.maxY(), 50);
    EXPECT_TRUE(flipped.contains({60, 30}));
    EXPECT_FALSE(flipped.contains({100, 40}));
    EXPECT_EQ(flipped.united(Rect(0, 0, 10, 10)), Rect(0, 0, 100, 50));
}

TEST(Rect, ZeroSizedRectanglesIntersect)
{
    const Rect crop(0, 0, 100, 100);
    // A vertical line and a point strictly inside intersect; their overlap is themselves.
    EXPECT_TRUE(Rect(50, 10, 0, 30).intersects(crop));
    EXPECT_EQ(Rect(50, 10, 0, 30).intersected(crop), Rect(50, 10, 0, 30));
    EXPECT_TRUE(Rect(20, 20, 0, 0).intersects(crop));
    // Touching edges give a zero-width overlap, not null.
    EXPECT_EQ(Rect(100, 0, 10, 10).intersected(crop), Rect(100, 0, 0, 10));
    // Disjoint rectangles, and anything with null, give null.
    EXPECT_TRUE(Rect(101, 0, 10, 10).intersected(crop).isNull());
    EXPECT_FALSE(Rect(101, 0, 10, 10).intersects(crop));
    EXPECT_FALSE(Rect::null().intersects(crop));
}

TEST(Rect, InsetPastZeroIsNull)
{
    const Rect r(0, 0, 10, 10);
    EXPECT_EQ(r.insetBy(5, 5), Rect(5, 5, 0, 0));
    EXPECT_TRUE(r.insetBy(5.5, 0).isNull());
    EXPECT_TRUE(r.insetBy(0, 14).isNull());
    EXPECT_EQ(r.grownBy(14), Rect(-14, -14, 38, 38));
    EXPECT_TRUE(Rect::null().grownBy(5).isNull());
    EXPECT_TRUE(Rect::null().offsetBy(5, 5).isNull());
}

TEST(Rect, UnionTreatsNullAsNeutral)
{
    EXPECT_EQ(Rect::null().united(Rect(1, 2, 3, 4)), Rect(1, 2, 3, 4));
    EXPECT_EQ(Rect(1, 2, 3, 4).united(Rect::null()), Rect(1, 2, 3, 4));
    EXPECT_TRUE(Rect::null().united(Rect::null()).isNull());
    EXPECT_EQ(Rect(0, 0, 0, 0).united(Rect(5, 5, 0, 0)), Rect(0, 0, 5, 5));
}

TEST(Rect, IntegralRoundsOutwards)
{
    EXPECT_EQ(Rect(0.5, 1.2, 10.1, 3.3).integral(), Rect(0, 1, 11, 4));
    EXPECT_EQ(Rect(-0.5, -1.5, 1, 1).integral(), Rect(-1, -2, 2, 2));
    EXPECT_EQ(Rect(2, 3, 4, 5).integral(), Rect(2, 3, 4, 5));
    EXPECT_EQ(Rect(10.5, 0, -0.25, 1).integral(), Rect(10, 0, 1, 1));
    EXPECT_TRUE(Rect::null().integral().isNull());
}
