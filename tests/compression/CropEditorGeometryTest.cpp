#include "compression/CompressionCropGeometry.h"

#include <gtest/gtest.h>

using namespace CompressionCropGeometry;

namespace {

void expectRect(const Rect &actual, double x, double y, double width, double height)
{
    EXPECT_NEAR(actual.x, x, 1e-9);
    EXPECT_NEAR(actual.y, y, 1e-9);
    EXPECT_NEAR(actual.width, width, 1e-9);
    EXPECT_NEAR(actual.height, height, 1e-9);
}

} // namespace

TEST(CropEditorGeometry, PreviewSizeEnlargesSmallImagesAndFallsBackForEmptyOnes)
{
    EXPECT_NEAR(previewSize(QSizeF(4000, 3000)).width(), 453.3333333, 1e-6);
    EXPECT_EQ(previewSize(QSizeF(4000, 3000)).height(), 340);
    EXPECT_EQ(previewSize(QSizeF(100, 50)), QSizeF(520, 260));
    EXPECT_EQ(previewSize(QSizeF(3000, 4000)), QSizeF(255, 340));
    EXPECT_EQ(previewSize(QSizeF(1000, 800)), QSizeF(425, 340));
    EXPECT_EQ(previewSize(QSizeF(0, 0)), QSizeF(320, 240));
    EXPECT_EQ(previewSize(QSizeF(-5, 100)), QSizeF(320, 240));
    EXPECT_EQ(previewSize(QSizeF(100, 0)), QSizeF(320, 240));
}

TEST(CropEditorGeometry, StartRectangleIsInsetByATenth)
{
    expectRect(startRect(previewSize(QSizeF(4000, 3000))), 45.3333333333, 34, 362.6666666667, 272);
    expectRect(startRect(previewSize(QSizeF(0, 0))), 32, 24, 256, 192);
}

TEST(CropEditorGeometry, DefaultRectangleOfA1000By800ImageMapsToItsPixels)
{
    const QSizeF preview = previewSize(QSizeF(1000, 800));
    const Rect start = startRect(preview);
    expectRect(start, 42.5, 34, 340, 272);
    const std::optional<QRectF> unit = unitRect(start, preview);
    ASSERT_TRUE(unit);
    EXPECT_NEAR(unit->x(), 0.1, 1e-12);
    EXPECT_NEAR(unit->y(), 0.1, 1e-12);
    EXPECT_NEAR(unit->width(), 0.8, 1e-12);
    EXPECT_NEAR(unit->height(), 0.8, 1e-12);
    const QRectF pixels(unit->x() * 1000, unit->y() * 800, unit->width() * 1000, unit->height() * 800);
    EXPECT_NEAR(pixels.x(), 100, 1e-9);
    EXPECT_NEAR(pixels.y(), 80, 1e-9);
    EXPECT_NEAR(pixels.width(), 800, 1e-9);
    EXPECT_NEAR(pixels.height(), 640, 1e-9);
}

TEST(CropEditorGeometry, RatiosIncludingTheImagesOwn)
{
    EXPECT_FALSE(CropAspectRatios::widthToHeight(CropAspectRatio::Free, QSizeF(400, 300)));
    EXPECT_EQ(*CropAspectRatios::widthToHeight(CropAspectRatio::Square, QSizeF(400, 300)), 1.0);
    EXPECT_DOUBLE_EQ(*CropAspectRatios::widthToHeight(CropAspectRatio::Wide, QSizeF(400, 300)), 1.7777777777777777);
    EXPECT_DOUBLE_EQ(*CropAspectRatios::widthToHeight(CropAspectRatio::Standard, QSizeF(400, 300)), 1.3333333333333333);
    EXPECT_DOUBLE_EQ(*CropAspectRatios::widthToHeight(CropAspectRatio::Original, QSizeF(300, 600)), 0.5);
    EXPECT_FALSE(CropAspectRatios::widthToHeight(CropAspectRatio::Original, QSizeF(0, 600)));
}

TEST(CropEditorGeometry, FittedRatioKeepsTheCentreAndStaysInsideThePreview)
{
    const QSizeF preview(400, 300);
    // 200 × 100 centred at (150, 120): the square keeps the centre.
    expectRect(fittedRect(Rect(50, 70, 200, 100), 1, preview), 100, 70, 100, 100);
    // A wide rectangle in a tall one: the height shrinks.
    expectRect(fittedRect(Rect(100, 0, 160, 300), 16.0 / 9.0, preview), 100, 105, 160, 90);
    // Near the left edge: the centre at x 20 allows 40 wide only; the ratio is restored after.
    expectRect(fittedRect(Rect(0, 100, 40, 200), 4.0 / 3.0, preview), 0, 185, 40, 30);
    // Half outside: fitted inside the visible part, about its centre.
    expectRect(fittedRect(Rect(300, 100, 200, 100), 1, preview), 300, 100, 100, 100);
    // No overlap with a positive size: unchanged.
    expectRect(fittedRect(Rect(500, 100, 50, 50), 1, preview), 500, 100, 50, 50);
    expectRect(fittedRect(Rect(10, 10, 0, 50), 1, preview), 10, 10, 0, 50);
}

TEST(CropEditorGeometry, CornerGrabFollowsHandleOrderWithin18Points)
{
    const Rect rect(100, 100, 200, 100);
    const auto handles = handlePoints(rect);
    EXPECT_EQ(handles[0], std::make_pair(QPointF(100, 100), CropCorner::TopLeft));
    EXPECT_EQ(handles[1], std::make_pair(QPointF(300, 100), CropCorner::TopRight));
    EXPECT_EQ(handles[2], std::make_pair(QPointF(100, 200), CropCorner::BottomLeft));
    EXPECT_EQ(handles[3], std::make_pair(QPointF(300, 200), CropCorner::BottomRight));

    EXPECT_EQ(cornerAt(rect, QPointF(110, 110)), CropCorner::TopLeft);
    EXPECT_EQ(cornerAt(rect, QPointF(118, 82)), CropCorner::TopLeft);
    EXPECT_FALSE(cornerAt(rect, QPointF(120, 100)));
    EXPECT_FALSE(cornerAt(rect, QPointF(100, 118.5)));
    EXPECT_EQ(cornerAt(rect, QPointF(290, 210)), CropCorner::BottomRight);
    // A tiny rectangle: every corner is in reach, the first in handle order wins.
    const Rect tiny(50, 50, 10, 10);
    EXPECT_EQ(cornerAt(tiny, QPointF(58, 58)), CropCorner::TopLeft);
    EXPECT_EQ(cornerAt(tiny, QPointF(70, 52)), CropCorner::TopRight);
    EXPECT_EQ(cornerAt(tiny, QPointF(45, 75)), CropCorner::BottomLeft);

    EXPECT_EQ(oppositeCorner(rect, CropCorner::TopLeft), QPointF(300, 200));
    EXPECT_EQ(oppositeCorner(rect, CropCorner::TopRight), QPointF(100, 200));
    EXPECT_EQ(oppositeCorner(rect, CropCorner::BottomLeft), QPointF(300, 100));
    EXPECT_EQ(oppositeCorner(rect, CropCorner::BottomRight), QPointF(100, 100));
}

TEST(CropEditorGeometry, DragRectangleClampsAndKeepsTheRatioTowardsThePointer)
{
    const QSizeF preview(400, 300);
    // Free: spans anchor and pointer, clamped to the preview.
    expectRect(dragRect(QPointF(100, 100), QPointF(500, -40), std::nullopt, preview), 100, 0, 300, 100);
    expectRect(dragRect(QPointF(100, 100), QPointF(40, 160), std::nullopt, preview), 40, 100, 60, 60);
    // Square towards the lower right: the shorter side wins.
    expectRect(dragRect(QPointF(100, 100), QPointF(200, 150), 1.0, preview), 100, 100, 50, 50);
    // Square towards the upper left grows to the upper left.
    expectRect(dragRect(QPointF(200, 200), QPointF(100, 150), 1.0, preview), 150, 150, 50, 50);
    // Pointer on the anchor: a 0 × 0 rectangle at the anchor.
    expectRect(dragRect(QPointF(120, 80), QPointF(120, 80), 1.0, preview), 120, 80, 0, 0);
    // A flat drag (height below 1) counts its width as the current ratio, so the width follows the
    // tiny height; a tall thin one keeps its width.
    expectRect(dragRect(QPointF(100, 100), QPointF(300, 100.5), 16.0 / 9.0, preview), 100, 100, 16.0 / 18.0, 0.5);
    expectRect(dragRect(QPointF(100, 100), QPointF(102, 200), 1.0, preview), 100, 100, 2, 2);
    // A pointer past the corner of the preview counts at the corner (100 × 50, then 1:2).
    expectRect(dragRect(QPointF(300, 250), QPointF(480, 390), 0.5, preview), 300, 250, 25, 50);
}

TEST(CropEditorGeometry, ConfirmNeedsEightPointsAndAPreviewWithArea)
{
    const QSizeF preview(400, 300);
    EXPECT_FALSE(unitRect(Rect(10, 10, 7.9, 50), preview));
    EXPECT_FALSE(unitRect(Rect(10, 10, 50, 7.9), preview));
    const std::optional<QRectF> accepted = unitRect(Rect(40, 30, 8, 8), preview);
    ASSERT_TRUE(accepted);
    EXPECT_EQ(*accepted, QRectF(0.1, 0.1, 0.02, 8.0 / 300));
    EXPECT_FALSE(unitRect(Rect(10, 10, 50, 50), QSizeF(0, 300)));
    EXPECT_FALSE(unitRect(Rect::null(), preview));
}
