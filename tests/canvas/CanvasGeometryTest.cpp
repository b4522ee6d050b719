#include "canvas/CanvasPanels.h"
#include "canvas/ImageMarkupWorkspace.h"
#include "ui/ImagePyramid.h"

#include <gtest/gtest.h>

TEST(WorkspaceGeometry, FitsZoomsAndFindsTheVisiblePart)
{
    // 400 × 300 area, 2000 × 1000 image: fit 344 × 172; at zoom 2 688 × 344 from (−144, −22).
    WorkspaceCanvasGeometry g = WorkspaceGeometry::compute(QSizeF(400, 300), QSizeF(2000, 1000), 2, QSizeF(0, 0));
    EXPECT_NEAR(g.fitSize.width(), 344, 1e-9);
    EXPECT_NEAR(g.fitSize.height(), 172, 1e-9);
    EXPECT_NEAR(g.canvasRect.x(), -144, 1e-9);
    EXPECT_NEAR(g.canvasRect.y(), -22, 1e-9);
    EXPECT_NEAR(g.visibleCanvasRect.x, 144, 1e-9);
    EXPECT_NEAR(g.visibleCanvasRect.y, 22, 1e-9);
    EXPECT_NEAR(g.visibleCanvasRect.width, 400, 1e-9);
    EXPECT_NEAR(g.visibleCanvasRect.height, 300, 1e-9);

    // Small images are enlarged; small areas still fit into 240.
    g = WorkspaceGeometry::compute(QSizeF(1000, 800), QSizeF(100, 100), 1, QSizeF(0, 0));
    EXPECT_EQ(g.fitSize, QSizeF(744, 744));
    g = WorkspaceGeometry::compute(QSizeF(200, 250), QSizeF(100, 100), 1, QSizeF(0, 0));
    EXPECT_EQ(g.fitSize, QSizeF(240, 240));

    // Panned wholly out of view: nothing visible. Without a pixel size: a 1 × 1 canvas.
    g = WorkspaceGeometry::compute(QSizeF(400, 300), QSizeF(2000, 1000), 1, QSizeF(5000, 0));
    EXPECT_TRUE(g.visibleCanvasRect.isNull());
    g = WorkspaceGeometry::compute(QSizeF(400, 300), QSizeF(0, 10), 3, QSizeF(0, 0));
    EXPECT_EQ(g.fitSize, QSizeF(0, 0));
    EXPECT_EQ(g.displayedSize, QSizeF(1, 1));
}

TEST(CanvasPanels, VisibilityFollowsTheSelectionAndTools)
{
    MarkupAnnotation arrow;
    arrow.id = QUuid::createUuid();
    arrow.kind = AnnotationKind::Arrow;
    arrow.text = QStringLiteral("标注文字");
    arrow.sequenceNumber = 1;

    CanvasPanelState state;
    state.selectedAnnotation = arrow;
    using P = CanvasPanel;
    EXPECT_EQ(CanvasPanels::visiblePanels(state),
              (std::set<P>{P::ArrowSizeEditor, P::CurveToggle, P::LabelWidthHandle}));
    state.editingTextAnnotationID = arrow.id;
    EXPECT_EQ(CanvasPanels::visiblePanels(state), (std::set<P>{P::EditingSizeEditor, P::InlineTextPanel}));

    MarkupAnnotation text = arrow;
    text.kind = AnnotationKind::Text;
    text.text.clear();
    text.sequenceNumber.reset();
    state.selectedAnnotation = text;
    state.editingTextAnnotationID.reset();
    EXPECT_TRUE(CanvasPanels::visiblePanels(state).empty()); // an empty text label shows nothing
    text.text = QStringLiteral("说明");
    state.selectedAnnotation = text;
    EXPECT_EQ(CanvasPanels::visiblePanels(state), (std::set<P>{P::TextStyleEditor, P::LabelWidthHandle}));

    CanvasPanelState eyedropper;
    eyedropper.hasColorSamplePreview = true;
    EXPECT_TRUE(CanvasPanels::visiblePanels(eyedropper).empty()); // preview left over from another tool
    eyedropper.selectedTool = MarkupTool::Eyedropper;
    eyedropper.cropRect = QRectF(10, 10, 0, 30);
    EXPECT_EQ(CanvasPanels::visiblePanels(eyedropper), (std::set<P>{P::EyedropperPanel}));
    eyedropper.cropRect = QRectF(10, 10, 5, 30);
    EXPECT_EQ(CanvasPanels::visiblePanels(eyedropper), (std::set<P>{P::EyedropperPanel, P::CropToolbar}));

    // The low bound wins on a canvas too small for the panel.
    EXPECT_EQ(CanvasPanels::clampLowWins(50, 127, 100), 127);
    EXPECT_EQ(CanvasPanels::clampLowWins(150, 127, 300), 150);
    EXPECT_EQ(CanvasPanels::clampLowWins(500, 127, 300), 300);
}

TEST(ImagePyramid, HalvesDownAndPicksTheSmallestSufficientLevel)
{
    QImage image(2000, 1000, QImage::Format_RGB888);
    image.fill(QColor(10, 200, 30));
    const ImagePyramid pyramid(image);
    ASSERT_EQ(pyramid.levelCount(), 4); // 2000, 1000, 500, 250
    EXPECT_EQ(pyramid.level(0).format(), QImage::Format_RGB32);
    EXPECT_EQ(pyramid.level(3).size(), QSize(250, 125));
    EXPECT_EQ(pyramid.levelIndexFor(1.5), 0);
    EXPECT_EQ(pyramid.levelIndexFor(0.5), 1);
    EXPECT_EQ(pyramid.levelIndexFor(0.3), 1);
    EXPECT_EQ(pyramid.levelIndexFor(0.01), 3);
    EXPECT_TRUE(pyramid.isBuiltFrom(image));
    EXPECT_EQ(QColor(pyramid.level(2).pixel(100, 100)), QColor(10, 200, 30));
    EXPECT_TRUE(ImagePyramid(QImage()).isNull());
}
