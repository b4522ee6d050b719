#include "PanelsFixture.h"

#include "canvas/PanelPlacement.h"
#include "markup/MarkupGeometry.h"

using namespace PanelPlacement;

namespace {

MarkupAnnotation labelled(AnnotationKind kind, UnitPoint2D start, UnitPoint2D end)
{
    MarkupAnnotation a(QUuid::createUuid(), kind, start, end, QStringLiteral("标注文字"), QStringLiteral("#DC2626"), 4,
                       26, std::nullopt, std::nullopt, 1, 1, {});
    if (kind == AnnotationKind::Brush)
        a.points = {start, UnitPoint2D((start.x + end.x) / 2, end.y), end};
    return a;
}

} // namespace

TEST(PanelPlacement, ClampLetsTheLowBoundWin)
{
    EXPECT_EQ(clampLowWins(5, 0, 10), 5);
    EXPECT_EQ(clampLowWins(-5, 0, 10), 0);
    EXPECT_EQ(clampLowWins(15, 0, 10), 10);
    // An empty range (canvas too small): the low bound, wherever the value is.
    EXPECT_EQ(clampLowWins(500, 127, 73), 127);
    EXPECT_EQ(clampLowWins(-500, 127, 73), 127);
}

TEST(PanelPlacement, InlinePanelWidthAndEdges)
{
    // 38 % of the width between 280 and 380.
    EXPECT_EQ(inlineTextPanelRect({50, 50}, {1000, 800}).width(), 380);
    EXPECT_EQ(inlineTextPanelRect({50, 50}, {600, 800}).width(), 280);
    EXPECT_EQ(inlineTextPanelRect({50, 50}, {900, 800}).width(), 0.38 * 900);
    EXPECT_EQ(inlineTextPanelRect({50, 50}, {600, 800}).height(), 142);
    // Its top-left sits on the label point inside the margin.
    EXPECT_EQ(inlineTextPanelRect({50, 60}, {1000, 800}).topLeft(), QPointF(50, 60));
    EXPECT_EQ(inlineTextPanelRect({2, -4}, {1000, 800}).topLeft(), QPointF(10, 10));
    // Bottom-right corner of a large canvas: 10 from the right and bottom edges.
    const QRectF corner = inlineTextPanelRect({990, 790}, {1000, 800});
    EXPECT_EQ(corner.right(), 990);
    EXPECT_EQ(corner.bottom(), 790);
    // Narrower than 196: 176 wide at x 10, overhanging; lower than 162: top at 10.
    const QRectF narrow = inlineTextPanelRect({150, 150}, {190, 150});
    EXPECT_EQ(narrow.width(), 176);
    EXPECT_EQ(narrow.left(), 10);
    EXPECT_EQ(narrow.top(), 10);
}

TEST(PanelPlacement, SizeAndTextStyleEditorsKeepEightInside)
{
    const QSizeF canvas(1000, 800);
    const MarkupAnnotation topLeftArrow = labelled(AnnotationKind::Arrow, {0, 0}, {0.01, 0.01});
    EXPECT_EQ(sizeEditorCentre(topLeftArrow, canvas), QPointF(127, 58.0 / 2 + 8));
    EXPECT_EQ(textStyleEditorCentre(topLeftArrow, canvas), QPointF(127, 42));
    // Near the right edge the editor's right edge stays 8 inside; it always hangs above its
    // anchor, so only the x is held there.
    MarkupAnnotation bottomRight = labelled(AnnotationKind::Arrow, {0.99, 0.99}, {1, 1});
    bottomRight.labelPosition = UnitPoint2D(1, 1);
    EXPECT_EQ(sizeEditorCentre(bottomRight, canvas).x(), 1000 - 127);
    EXPECT_EQ(textStyleEditorCentre(bottomRight, canvas).x(), 1000 - 127);
    // On a canvas lower than the editor, the top margin wins.
    EXPECT_EQ(sizeEditorCentre(bottomRight, {1000, 40}).y(), 58.0 / 2 + 8);

    // On a canvas narrower than 254 both editors are centred at x 127.
    const MarkupAnnotation text = labelled(AnnotationKind::Text, {0.5, 0.5}, {0.5, 0.5});
    EXPECT_EQ(sizeEditorCentre(text, {200, 800}).x(), 127);
    EXPECT_EQ(textStyleEditorCentre(text, {200, 800}).x(), 127);

    // In the open the editor's left edge is on the bubble grown by 8 and its bottom 12 above it.
    const MarkupAnnotation middle = labelled(AnnotationKind::Arrow, {0.4, 0.5}, {0.6, 0.6});
    const Rect grown = MarkupGeometry::labelLayout(middle, canvas)->bubbleRect.grownBy(8);
    const QRectF editor = rectAround(sizeEditorCentre(middle, canvas), sizeEditorSize(AnnotationKind::Arrow));
    EXPECT_DOUBLE_EQ(editor.left(), grown.minX());
    EXPECT_DOUBLE_EQ(editor.bottom(), grown.minY() - 12);
    const QRectF style = rectAround(textStyleEditorCentre(middle, canvas), textStyleEditorSize());
    EXPECT_DOUBLE_EQ(style.bottom(), grown.minY() - 12);
}

TEST(PanelPlacement, BrushEditorHangsAboveTheStroke)
{
    const QSizeF canvas(1000, 800);
    const MarkupAnnotation brush = labelled(AnnotationKind::Brush, {0.4, 0.5}, {0.6, 0.7});
    const Rect bounds = MarkupGeometry::shapeBounds(brush, canvas);
    const QRectF editor = rectAround(sizeEditorCentre(brush, canvas), sizeEditorSize(AnnotationKind::Brush));
    EXPECT_EQ(editor.height(), 38);
    EXPECT_DOUBLE_EQ(editor.left(), bounds.minX());
    EXPECT_DOUBLE_EQ(editor.bottom(), bounds.minY() - 44);
}

TEST(PanelPlacement, CurveToggleAndLabelHandle)
{
    const QSizeF canvas(1000, 800);
    MarkupAnnotation arrow = labelled(AnnotationKind::Arrow, {0.4, 0.5}, {0.6, 0.6});
    arrow.labelPosition = UnitPoint2D(0.5, 0.5);
    EXPECT_EQ(curveToggleCentre(arrow, canvas), QPointF(500 - 22, 400 - 26));
    arrow.labelPosition = UnitPoint2D(0, 0);
    EXPECT_EQ(curveToggleCentre(arrow, canvas), QPointF(24, 24));
    arrow.labelPosition = UnitPoint2D(1, 1);
    EXPECT_EQ(curveToggleCentre(arrow, {1000, 800}), QPointF(1000 - 24, 800 - 26));
    EXPECT_EQ(curveToggleCentre(arrow, {30, 30}), QPointF(24, 24));

    const std::optional<QPointF> handle = labelWidthHandleCentre(arrow, canvas);
    ASSERT_TRUE(handle);
    EXPECT_EQ(*handle, MarkupGeometry::labelLayout(arrow, canvas)->bubbleRect.bottomRight());
    // No label, no handle.
    MarkupAnnotation plain = arrow;
    plain.kind = AnnotationKind::Rectangle;
    plain.text.clear();
    plain.sequenceNumber.reset();
    EXPECT_FALSE(labelWidthHandleCentre(plain, canvas));
}

TEST(PanelPlacement, EyedropperPanelBesideThePointer)
{
    const QSizeF canvas(1200, 900);
    EXPECT_EQ(eyedropperPanelSize(255).height(), 146);
    EXPECT_EQ(eyedropperPanelSize(128).height(), 164);
    // Top-left 18 right of and below the pointer.
    const QRectF open = rectAround(eyedropperPanelCentre({100, 100}, 255, canvas), eyedropperPanelSize(255));
    EXPECT_EQ(open.topLeft(), QPointF(118, 118));
    // Near the right and bottom borders it stays 8 inside.
    const QRectF corner = rectAround(eyedropperPanelCentre({1190, 890}, 128, canvas), eyedropperPanelSize(128));
    EXPECT_EQ(corner.right(), 1200 - 8);
    EXPECT_EQ(corner.bottom(), 900 - 8);
    // A canvas too small: pinned to the top-left margin.
    const QRectF tiny = rectAround(eyedropperPanelCentre({50, 50}, 255, {100, 100}), eyedropperPanelSize(255));
    EXPECT_EQ(tiny.topLeft(), QPointF(8, 8));
}

TEST(PanelPlacement, CropToolbarOverTheRectangle)
{
    const QSizeF canvas(1000, 800);
    EXPECT_EQ(cropToolbarCentre(QRectF(300, 400, 200, 100), canvas), QPointF(400, 302));
    // A rectangle less than 152 below the top puts the centre at 54.
    EXPECT_EQ(cropToolbarCentre(QRectF(300, 100, 200, 100), canvas).y(), 54);
    EXPECT_EQ(cropToolbarCentre(QRectF(300, 2000, 200, 100), canvas).y(), 800 - 54);
    // A canvas narrower than 412: x 206 wherever the rectangle is.
    EXPECT_EQ(cropToolbarCentre(QRectF(0, 300, 20, 20), {400, 800}).x(), 206);
    EXPECT_EQ(cropToolbarCentre(QRectF(380, 300, 20, 20), {400, 800}).x(), 206);
    // A negative-size rectangle is read standardised.
    EXPECT_EQ(cropToolbarCentre(QRectF(500, 500, -200, -100), canvas), QPointF(400, 302));
}

TEST(PanelPlacement, APanelMakesWayUpOrDownTheLeastDistance)
{
    const QSizeF canvas(1000, 800);
    const QRectF style(300, 300, 238, 68);
    // Clear already: unchanged.
    EXPECT_EQ(clearOf(QRectF(300, 100, 238, 38), { style }, canvas), QRectF(300, 100, 238, 38));
    // Overlapping near its top: moved above it, 8 apart.
    EXPECT_EQ(clearOf(QRectF(300, 290, 238, 38), { style }, canvas), QRectF(300, 254, 238, 38));
    // Overlapping near its bottom: moved below it.
    EXPECT_EQ(clearOf(QRectF(320, 350, 238, 38), { style }, canvas), QRectF(320, 376, 238, 38));
    // No room above at the canvas top: below, even when farther.
    EXPECT_EQ(clearOf(QRectF(0, 10, 238, 38), { QRectF(0, 12, 238, 68) }, canvas), QRectF(0, 88, 238, 38));
    // Two taken rectangles stacked: past both.
    EXPECT_EQ(clearOf(QRectF(300, 300, 238, 38), { style, QRectF(300, 230, 238, 60) }, canvas),
              QRectF(300, 376, 238, 38));
    // Nowhere to go on a canvas too small: left where it was.
    EXPECT_EQ(clearOf(QRectF(0, 0, 238, 38), { QRectF(0, 0, 238, 60) }, QSizeF(240, 60)), QRectF(0, 0, 238, 38));
}
