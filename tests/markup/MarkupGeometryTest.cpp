#include <gtest/gtest.h>

#include "markup/MarkupGeometry.h"
#include "markup/MarkupTestSupport.h"

#include <cmath>

using namespace MarkupGeometry;

TEST(MarkupGeometry, StrokeAndFontSizesArePerMilleOfTheLongSide)
{
    EXPECT_DOUBLE_EQ(strokeWidth(3, {1000, 500}), 3);
    EXPECT_DOUBLE_EQ(strokeWidth(1, {800, 600}), 1.1);
    EXPECT_DOUBLE_EQ(strokeWidth(3, {4000, 3000}), 12);
    EXPECT_DOUBLE_EQ(strokeWidth(std::nan(""), {800, 600}), 1.1);
    EXPECT_DOUBLE_EQ(strokeWidth(3, {0, 0}), 1.1);
    EXPECT_DOUBLE_EQ(scaledFontSize(1, {1000, 1000}), 2);
    EXPECT_DOUBLE_EQ(scaledFontSize(20, {1000, 1000}), 20);
    EXPECT_DOUBLE_EQ(scaledFontSize(std::nan(""), {1000, 1000}), 2);
}

TEST(MarkupGeometry, ArcControlPointOffsetsTheChordMidpoint)
{
    EXPECT_EQ(arcControlPoint({0, 0}, {100, 0}, 1), QPointF(50, 18));
    EXPECT_EQ(arcControlPoint({0, 0}, {100, 0}, -1), QPointF(50, -18));
    EXPECT_EQ(arcControlPoint({0, 0}, {100, 0}, std::nan("")), QPointF(50, -18));
    EXPECT_EQ(arcControlPoint({0, 0}, {1000, 0}, 1), QPointF(500, 96));
    EXPECT_EQ(arcControlPoint({0, 0}, {20, 0}, 1), QPointF(10, 8));
    EXPECT_EQ(arcControlPoint({30, 40}, {30, 40}, 1), QPointF(30, 40));
    EXPECT_EQ(arcControlPoint({0, 0}, {0.5, 0}, 1), QPointF(0.25, 4));
}

TEST(MarkupGeometry, QuadraticCurveAndSamples)
{
    const QPointF s(0, 0), c(50, 18), e(100, 0);
    EXPECT_EQ(quadraticPoint(s, c, e, 0.5), QPointF(50, 9));
    EXPECT_NEAR(quadraticTangentAngle(s, c, e, 0.5), 0, 1e-12);
    EXPECT_NEAR(quadraticTangentAngle(s, c, e, 1), std::atan2(-18, 50), 1e-12);
    const auto samples = arcSamples(s, c, e);
    EXPECT_EQ(samples.front(), s);
    EXPECT_EQ(samples.back(), e);
    EXPECT_EQ(samples[10], QPointF(50, 9));
}

TEST(MarkupGeometry, DefaultEndPointsAndBrushPoints)
{
    EXPECT_EQ(defaultEndPoint(UnitPoint2D(0.95, 0.05), AnnotationKind::Arrow), UnitPoint2D(1, 0));
    EXPECT_EQ(defaultEndPoint(UnitPoint2D(0.5, 0.5), AnnotationKind::Rectangle), UnitPoint2D(0.74, 0.66));
    EXPECT_EQ(defaultEndPoint(UnitPoint2D(0.5, 0.5), AnnotationKind::Brush), UnitPoint2D(0.515, 0.515));
    UnitPoint2D outside;
    outside.x = 1.5;
    outside.y = -2;
    EXPECT_EQ(defaultEndPoint(outside, AnnotationKind::Text).x, 1.5);
    EXPECT_EQ(defaultEndPoint(outside, AnnotationKind::Text).y, -2);

    MarkupAnnotation brush = makeAnnotation(AnnotationKind::Brush, {0.1, 0.2}, {0.3, 0.4});
    EXPECT_EQ(brushPoints(brush, {100, 100}), (std::vector<QPointF>{{10, 20}, {30, 40}}));
    brush.points = {UnitPoint2D(0.5, 0.5), UnitPoint2D(1, 0)};
    EXPECT_EQ(brushPoints(brush, {100, 200}), (std::vector<QPointF>{{50, 100}, {100, 0}}));
}

TEST(MarkupGeometry, LabelAnchorsPerKind)
{
    const QSizeF size(100, 100);
    EXPECT_EQ(labelPoint(makeAnnotation(AnnotationKind::Rectangle, {0.8, 0.6}, {0.2, 0.1}), size), QPointF(28, 18));
    // Arrow: midpoint of the quadratic arc, moved right and up by 12.
    EXPECT_EQ(labelPoint(makeAnnotation(AnnotationKind::Arrow, {0, 0}, {1, 0}), size), QPointF(62, -3));
    EXPECT_EQ(labelPoint(makeAnnotation(AnnotationKind::Text, {0.3, 0.4}, {0.3, 0.4}), size), QPointF(30, 40));
    EXPECT_EQ(labelPoint(makeAnnotation(AnnotationKind::Brush, {0.3, 0.4}, {0.9, 0.9}), size), QPointF(30, 40));
    MarkupAnnotation moved = makeAnnotation(AnnotationKind::Arrow, {0, 0}, {1, 0});
    moved.labelPosition = UnitPoint2D(0.5, 0.25);
    EXPECT_EQ(labelPoint(moved, size), QPointF(50, 25));
}

TEST(MarkupGeometry, BoundsOfShapesAndLabels)
{
    const QSizeF size(100, 100);
    const MarkupAnnotation arrow = makeAnnotation(AnnotationKind::Arrow, {0, 0}, {1, 0});
    EXPECT_EQ(shapeBounds(arrow, size), Rect(-16, -16, 132, 41));
    EXPECT_TRUE(labelBounds(arrow, size).isNull());
    EXPECT_EQ(annotationBounds(arrow, size), shapeBounds(arrow, size));

    EXPECT_EQ(shapeBounds(makeAnnotation(AnnotationKind::Rectangle, {0.8, 0.6}, {0.2, 0.1}), size),
              Rect(12, 2, 76, 66));
    MarkupAnnotation brush = makeAnnotation(AnnotationKind::Brush, {0.1, 0.1}, {0.1, 0.1});
    brush.points = {UnitPoint2D(0.2, 0.3)};
    EXPECT_EQ(shapeBounds(brush, size), Rect(4, 14, 32, 32));

    // A text annotation without visible text has no bounds at all.
    const MarkupAnnotation blankText = makeAnnotation(AnnotationKind::Text, {0.5, 0.5}, {0.5, 0.5}, QStringLiteral(" "));
    EXPECT_TRUE(shapeBounds(blankText, size).isNull());
    EXPECT_TRUE(annotationBounds(blankText, size).isNull());

    const MarkupAnnotation labelled = makeAnnotation(AnnotationKind::Rectangle, {0.1, 0.1}, {0.2, 0.2},
                                                     QStringLiteral("门"), 1);
    const Rect label = labelBounds(labelled, {1000, 1000});
    ASSERT_FALSE(label.isNull());
    EXPECT_EQ(label, labelLayout(labelled, {1000, 1000})->bubbleRect.grownBy(8));
    EXPECT_EQ(annotationBounds(labelled, {1000, 1000}), shapeBounds(labelled, {1000, 1000}).united(label));
}
