#include <gtest/gtest.h>

#include "markup/MarkupGeometry.h"
#include "markup/MarkupHitTesting.h"
#include "markup/MarkupTestSupport.h"

using namespace MarkupGeometry;

namespace {
const QSizeF kCanvas(1000, 1000);

UnitPoint2D at(double x, double y)
{
    return UnitPoint2D(x / 1000, y / 1000);
}
} // namespace

TEST(MarkupHitTesting, DistanceToSegment)
{
    EXPECT_DOUBLE_EQ(distance({5, 5}, {0, 0}, {10, 0}), 5);
    EXPECT_DOUBLE_EQ(distance({-3, 4}, {0, 0}, {10, 0}), 5);
    EXPECT_DOUBLE_EQ(distance({13, 4}, {0, 0}, {10, 0}), 5);
    EXPECT_DOUBLE_EQ(distance({3, 4}, {0, 0}, {0, 0}), 5);
}

TEST(MarkupHitTesting, RectangleIsHitOnItsBorderBand)
{
    const MarkupAnnotation big = makeAnnotation(AnnotationKind::Rectangle, at(100, 100), at(500, 400));
    EXPECT_FALSE(isShapeHit(big, {300, 250}, kCanvas, 14));
    EXPECT_TRUE(isShapeHit(big, {300, 100}, kCanvas, 14));
    // Exactly the tolerance away counts on every side, inside and outside.
    EXPECT_TRUE(isShapeHit(big, {86, 250}, kCanvas, 14));
    EXPECT_TRUE(isShapeHit(big, {514, 250}, kCanvas, 14));
    EXPECT_TRUE(isShapeHit(big, {300, 414}, kCanvas, 14));
    EXPECT_TRUE(isShapeHit(big, {114, 250}, kCanvas, 14));
    EXPECT_FALSE(isShapeHit(big, {85.9, 250}, kCanvas, 14));
    EXPECT_FALSE(isShapeHit(big, {514.1, 250}, kCanvas, 14));
    EXPECT_FALSE(isShapeHit(big, {114.1, 250}, kCanvas, 14));

    // Smaller than twice the tolerance: hit everywhere inside and up to the tolerance outside.
    const MarkupAnnotation small = makeAnnotation(AnnotationKind::Rectangle, at(100, 100), at(110, 110));
    EXPECT_TRUE(isShapeHit(small, {105, 105}, kCanvas, 14));
    EXPECT_TRUE(isShapeHit(small, {124, 124}, kCanvas, 14));
    EXPECT_FALSE(isShapeHit(small, {124.5, 105}, kCanvas, 14));

    // Of two overlapping rectangles the later one wins on their common border.
    const MarkupAnnotation other = makeAnnotation(AnnotationKind::Rectangle, at(100, 100), at(300, 300));
    EXPECT_EQ(hitShapeAnnotationID({100, 200}, {big, other}, kCanvas, 14), other.id);
    EXPECT_EQ(hitShapeAnnotationID({100, 200}, {other, big}, kCanvas, 14), big.id);
    EXPECT_FALSE(hitShapeAnnotationID({700, 700}, {big, other}, kCanvas, 14));
}

TEST(MarkupHitTesting, ArrowsAndBrushes)
{
    const QSizeF canvas(100, 100);
    const MarkupAnnotation arrow = makeAnnotation(AnnotationKind::Arrow, {0, 0}, {1, 0});
    EXPECT_TRUE(isShapeHit(arrow, {50, 9}, canvas, 14));
    EXPECT_FALSE(isShapeHit(arrow, {50, 30}, canvas, 14));

    MarkupAnnotation brush = makeAnnotation(AnnotationKind::Brush, at(100, 100), at(200, 100));
    // No stored points: the segment from start to end.
    EXPECT_TRUE(isShapeHit(brush, {150, 114}, kCanvas, 14));
    EXPECT_FALSE(isShapeHit(brush, {150, 115}, kCanvas, 14));
    brush.points = {at(300, 300)};
    EXPECT_TRUE(isShapeHit(brush, {300, 314}, kCanvas, 14));
    EXPECT_FALSE(isShapeHit(brush, {150, 100}, kCanvas, 14));
    brush.points = {at(0, 0), at(100, 0), at(100, 100)};
    EXPECT_TRUE(isShapeHit(brush, {110, 50}, kCanvas, 14));
    EXPECT_FALSE(isShapeHit(brush, {50, 50}, kCanvas, 14));
}

TEST(MarkupHitTesting, HandlesOfArrowsAndBrushes)
{
    const MarkupAnnotation shortArrow = makeAnnotation(AnnotationKind::Arrow, at(100, 100), at(110, 100));
    const MarkupAnnotation rect = makeAnnotation(AnnotationKind::Rectangle, at(100, 100), at(110, 100));
    const auto grabbed = hitArrowEndpointHandle({100, 100}, {shortArrow, rect}, kCanvas, 14);
    ASSERT_TRUE(grabbed);
    EXPECT_EQ(*grabbed, (ArrowEndpointHit{shortArrow.id, MarkupAnnotationEndpoint::End}));
    const MarkupAnnotation longArrow = makeAnnotation(AnnotationKind::Arrow, at(100, 100), at(500, 100));
    EXPECT_EQ(hitArrowEndpointHandle({90, 100}, {longArrow}, kCanvas, 14)->endpoint, MarkupAnnotationEndpoint::Start);
    EXPECT_FALSE(hitArrowEndpointHandle({300, 100}, {longArrow}, kCanvas, 14));

    MarkupAnnotation brush = makeAnnotation(AnnotationKind::Brush, at(0, 0), at(0, 0));
    brush.points = {at(100, 100), at(200, 150)};
    // Corner of the points' bounds grown by 22: (222, 172).
    EXPECT_EQ(hitAnnotationResizeHandle({222, 188}, {brush}, kCanvas, 16),
              (ResizeHandleHit{brush.id, MarkupAnnotationResizeHandle::BottomRight}));
    EXPECT_FALSE(hitAnnotationResizeHandle({222, 189}, {brush}, kCanvas, 16));
    EXPECT_FALSE(hitAnnotationResizeHandle({222, 172}, {rect}, kCanvas, 16));
}

TEST(MarkupHitTesting, LabelWidthHandleIsAHalfOpenSquare)
{
    // A bubble at (8, 8, 100, 30): its handle is the square (96, 26, 24, 24).
    MarkupAnnotation a = makeAnnotation(AnnotationKind::Text, {0, 0}, {0, 0}, QStringLiteral("a"));
    a.fontSize = 13.5;
    a.labelWidth = 86;
    const auto layout = labelLayout(a, kCanvas);
    ASSERT_TRUE(layout);
    ASSERT_EQ(layout->bubbleRect, Rect(8, 8, 100, 30)) << "label font metrics changed";
    EXPECT_EQ(hitLabelResizeHandleAnnotationID({119, 49}, {a}, kCanvas), a.id);
    EXPECT_EQ(hitLabelResizeHandleAnnotationID({96, 26}, {a}, kCanvas), a.id);
    EXPECT_FALSE(hitLabelResizeHandleAnnotationID({120, 49}, {a}, kCanvas));
    EXPECT_FALSE(hitLabelResizeHandleAnnotationID({121, 49}, {a}, kCanvas));
    // Blank labels have no handle.
    a.text = QStringLiteral("  ");
    a.kind = AnnotationKind::Arrow;
    EXPECT_FALSE(hitLabelResizeHandleAnnotationID({119, 49}, {a}, kCanvas));
}

TEST(MarkupHitTesting, EditableLabelsAndLabelHits)
{
    MarkupAnnotation text = makeAnnotation(AnnotationKind::Text, at(200, 200), at(200, 200), QStringLiteral("门"), 1);
    const Rect bubble = labelLayout(text, kCanvas)->bubbleRect;
    EXPECT_EQ(hitEditableTextAnnotationID({bubble.minX() - 8, bubble.midY()}, {text}, kCanvas), text.id);
    EXPECT_EQ(hitEditableTextAnnotationID({bubble.maxX() + 8, bubble.maxY() + 8}, {text}, kCanvas), text.id);
    EXPECT_FALSE(hitEditableTextAnnotationID({bubble.minX() - 8.5, bubble.midY()}, {text}, kCanvas));
    EXPECT_TRUE(isHit(text, {bubble.midX(), bubble.maxY() + 8}, kCanvas, 14));

    // A rectangle with a blank label is never edited by a double click, one with text is.
    MarkupAnnotation rect = makeAnnotation(AnnotationKind::Rectangle, at(150, 150), at(600, 600), QStringLiteral(" "));
    EXPECT_FALSE(hitEditableTextAnnotationID({160, 160}, {rect}, kCanvas));
    rect.text = QStringLiteral("看这里");
    rect.sequenceNumber = 2;
    const QPointF inside(labelLayout(rect, kCanvas)->bubbleRect.midX(), labelLayout(rect, kCanvas)->bubbleRect.midY());
    ASSERT_GT(inside.x(), 164);
    ASSERT_GT(inside.y(), 164);
    EXPECT_EQ(hitEditableTextAnnotationID(inside, {rect}, kCanvas), rect.id);
    // The label counts for the general hit even far from the border band.
    EXPECT_EQ(hitAnnotationID(inside, {rect}, kCanvas, 14), rect.id);
    EXPECT_FALSE(hitShapeAnnotationID(inside, {rect}, kCanvas, 14));
}

TEST(MarkupHitTesting, MarqueeKeepsListOrder)
{
    MarkupAnnotation labelled = makeAnnotation(AnnotationKind::Arrow, at(100, 500), at(300, 500),
                                               QStringLiteral("看这里"), 1);
    labelled.labelPosition = at(100, 100);
    const MarkupAnnotation rect = makeAnnotation(AnnotationKind::Rectangle, at(600, 600), at(700, 700));
    const MarkupAnnotation blankText = makeAnnotation(AnnotationKind::Text, at(50, 50), at(50, 50), QStringLiteral(" "));
    const Rect label = labelBounds(labelled, kCanvas);
    const Rect shape = shapeBounds(labelled, kCanvas);
    ASSERT_FALSE(label.isNull());
    // A marquee that only reaches the label, far from the shaft, still selects the arrow.
    ASSERT_FALSE(label.intersects(shape));
    const Rect onlyLabel(label.midX(), label.maxY() - 1, 5, 40);
    EXPECT_EQ(annotationIDs(onlyLabel, {labelled, rect, blankText}, kCanvas), std::vector<QUuid>{labelled.id});
    EXPECT_EQ(annotationIDs(Rect(0, 0, 1000, 1000), {rect, blankText, labelled}, kCanvas),
              (std::vector<QUuid>{rect.id, labelled.id}));
    EXPECT_TRUE(annotationIDs(Rect(900, 10, 50, 50), {rect, labelled}, kCanvas).empty());
}
