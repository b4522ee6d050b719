#include "CanvasFixture.h"

#include "canvas/CanvasPointerCoordinator.h"
#include "markup/MarkupGeometry.h"

namespace {

const QSizeF canvas(1000, 600);

class Coordinator : public CanvasFixture {
protected:
    Coordinator() : pointer(model, [] { return canvas; }) {}

    void drag(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int steps = 4)
    {
        pointer.handleLeftDown(from, 1, modifiers);
        for (int i = 1; i <= steps; ++i)
            pointer.handleLeftDrag(from + (to - from) * (double(i) / steps), modifiers);
        pointer.handleLeftUp(to);
    }

    // An arrow drawn from (100, 100) to (300, 200) and back in the select tool.
    const MarkupAnnotation &drawArrow()
    {
        model.setSelectedTool(MarkupTool::Arrow);
        drag(QPointF(100, 100), QPointF(300, 200));
        return annotations().back();
    }

    CanvasPointerCoordinator pointer;
};

} // namespace

TEST_F(Coordinator, ArrowWaitsForFourPointsAndStartsAtThePress)
{
    model.setSelectedTool(MarkupTool::Arrow);
    pointer.handleLeftDown(QPointF(100, 100), 1, Qt::NoModifier);
    pointer.handleLeftDrag(QPointF(102, 102), Qt::NoModifier); // 2.8 points: still pending
    EXPECT_EQ(pointer.mode().kind, CanvasPointerCoordinator::ModeKind::PendingDrawing);
    EXPECT_FALSE(model.draftAnnotation());
    pointer.handleLeftDrag(QPointF(104, 100), Qt::NoModifier); // exactly 4
    EXPECT_EQ(pointer.mode().kind, CanvasPointerCoordinator::ModeKind::Drawing);
    ASSERT_TRUE(model.draftAnnotation());
    EXPECT_NEAR(model.draftAnnotation()->start.x, 0.1, 1e-9);
    pointer.handleLeftDrag(QPointF(300, 200), Qt::NoModifier);
    pointer.handleLeftUp(QPointF(300, 200));
    ASSERT_EQ(annotations().size(), 1u);
    const MarkupAnnotation &arrow = annotations().front();
    EXPECT_EQ(arrow.kind, AnnotationKind::Arrow);
    EXPECT_EQ(arrow.sequenceNumber, 1);
    EXPECT_NEAR(arrow.end.x, 0.3, 1e-9);
    EXPECT_EQ(undoCount(), 1);
    EXPECT_EQ(pointer.mode().kind, CanvasPointerCoordinator::ModeKind::None);

    // A press released before 4 points is a click at the release point, and makes nothing.
    model.setSelectedTool(MarkupTool::Rectangle);
    pointer.handleLeftDown(QPointF(700, 500), 1, Qt::NoModifier);
    pointer.handleLeftDrag(QPointF(702, 501), Qt::NoModifier);
    pointer.handleLeftUp(QPointF(702, 501));
    EXPECT_EQ(annotations().size(), 1u);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("未选中标注"));
}

TEST_F(Coordinator, TextAndBrushBeginAtThePress)
{
    model.setSelectedTool(MarkupTool::Text);
    pointer.handleLeftDown(QPointF(500, 300), 1, Qt::NoModifier);
    EXPECT_TRUE(model.draftAnnotation());
    pointer.handleLeftUp(QPointF(500, 300));
    ASSERT_EQ(annotations().size(), 1u);
    EXPECT_EQ(annotations().back().kind, AnnotationKind::Text);

    model.setSelectedTool(MarkupTool::Brush);
    drag(QPointF(600, 100), QPointF(800, 150), Qt::NoModifier, 8);
    ASSERT_EQ(annotations().size(), 2u);
    EXPECT_EQ(annotations().back().kind, AnnotationKind::Brush);
    EXPECT_GE(annotations().back().points.size(), 2u);
}

TEST_F(Coordinator, OneUndoStepPerMoveAndAltDuplicates)
{
    const QUuid id = drawArrow().id;
    model.setSelectedTool(MarkupTool::Select);
    const qsizetype before = undoCount();
    const QPointF mid = MarkupGeometry::quadraticPoint(
        QPointF(100, 100), MarkupGeometry::arcControlPoint(QPointF(100, 100), QPointF(300, 200), 1),
        QPointF(300, 200), 0.3);

    // A press without movement records nothing; zero-delta steps record nothing either.
    pointer.handleLeftDown(mid, 1, Qt::NoModifier);
    EXPECT_EQ(pointer.mode().kind, CanvasPointerCoordinator::ModeKind::MovingAnnotation);
    pointer.handleLeftDrag(mid, Qt::NoModifier);
    EXPECT_EQ(undoCount(), before);
    pointer.handleLeftDrag(mid + QPointF(10, 0), Qt::NoModifier);
    pointer.handleLeftDrag(mid + QPointF(20, 5), Qt::NoModifier);
    pointer.handleLeftDrag(mid + QPointF(30, 10), Qt::NoModifier);
    pointer.handleLeftUp(mid + QPointF(30, 10));
    EXPECT_EQ(undoCount(), before + 1);
    EXPECT_EQ(annotations().size(), 1u);
    EXPECT_NEAR(annotations().front().start.x, 0.13, 1e-9);
    EXPECT_EQ(annotations().front().id, id);

    // Alt at the press: the first movement duplicates (its own undo step), the copies move.
    const QPointF moved = mid + QPointF(30, 10);
    drag(moved, moved + QPointF(0, 40), Qt::AltModifier);
    ASSERT_EQ(annotations().size(), 2u);
    EXPECT_EQ(undoCount(), before + 2);
    EXPECT_NEAR(annotations().front().start.x, 0.13, 1e-9); // the original stays
    EXPECT_NE(model.selectedAnnotationID(), id);

    // Alt pressed only during a plain drag duplicates too: the move so far and the duplication are
    // then two steps, so one undo takes the copies away and leaves the moved original.
    pointer.handleLeftDown(moved + QPointF(0, 40), 1, Qt::NoModifier);
    pointer.handleLeftDrag(moved + QPointF(0, 50), Qt::NoModifier);
    pointer.handleLeftDrag(moved + QPointF(0, 60), Qt::AltModifier);
    pointer.handleLeftDrag(moved + QPointF(0, 70), Qt::AltModifier);
    pointer.handleLeftUp(moved + QPointF(0, 70));
    EXPECT_EQ(annotations().size(), 3u);
    EXPECT_EQ(undoCount(), before + 4);
}

TEST_F(Coordinator, AltOnALabelDragCarriesTheCopies)
{
    const MarkupAnnotation arrow = drawArrow();
    model.confirmTextEditing();
    model.setSelectedTool(MarkupTool::Select);
    const auto layout = MarkupGeometry::labelLayout(arrow, canvas);
    ASSERT_TRUE(layout);
    const QPointF label(layout->bubbleRect.minX() + 10, layout->bubbleRect.midY());
    pointer.handleLeftDown(label, 1, Qt::NoModifier);
    EXPECT_EQ(pointer.mode().kind, CanvasPointerCoordinator::ModeKind::MovingLabel);
    pointer.handleLeftDrag(label + QPointF(10, 0), Qt::AltModifier);
    EXPECT_EQ(annotations().size(), 2u);
    EXPECT_EQ(pointer.mode().kind, CanvasPointerCoordinator::ModeKind::MovingAnnotation);
    pointer.handleLeftDrag(label + QPointF(40, 0), Qt::AltModifier);
    pointer.handleLeftUp(label + QPointF(40, 0));
    EXPECT_EQ(annotations().size(), 2u); // duplicated once
    EXPECT_NEAR(annotations()[1].start.x - annotations()[0].start.x, 0.04, 1e-9);
}

TEST_F(Coordinator, PressPrecedenceEndpointsHandlesAndDoubleClick)
{
    const MarkupAnnotation arrow = drawArrow();
    model.setSelectedTool(MarkupTool::Select);
    // The selected arrow's end is grabbed within 14 points.
    pointer.handleLeftDown(QPointF(310, 205), 1, Qt::NoModifier);
    EXPECT_EQ(pointer.mode().kind, CanvasPointerCoordinator::ModeKind::ResizingArrowEndpoint);
    EXPECT_EQ(pointer.mode().endpoint, MarkupAnnotationEndpoint::End);
    pointer.handleLeftDrag(QPointF(400, 250), Qt::NoModifier);
    pointer.handleLeftUp(QPointF(400, 250));
    EXPECT_NEAR(annotations().front().end.x, 0.4, 1e-9);

    // Not selected: the end is only part of the shape.
    model.selectAnnotation(std::optional<QUuid>());
    pointer.handleLeftDown(QPointF(400, 250), 1, Qt::NoModifier);
    EXPECT_EQ(pointer.mode().kind, CanvasPointerCoordinator::ModeKind::MovingAnnotation);
    pointer.handleLeftUp(QPointF(400, 250));

    // The label-width handle answers for any labelled annotation.
    model.selectAnnotation(std::optional<QUuid>());
    const auto layout = MarkupGeometry::labelLayout(annotations().front(), canvas);
    ASSERT_TRUE(layout);
    pointer.handleLeftDown(layout->bubbleRect.bottomRight() + QPointF(5, 5), 1, Qt::NoModifier);
    EXPECT_EQ(pointer.mode().kind, CanvasPointerCoordinator::ModeKind::ResizingLabel);
    pointer.handleLeftUp(layout->bubbleRect.bottomRight() + QPointF(5, 5));

    // A double click opens inline editing; with the eyedropper it is two samples instead.
    pointer.handleLeftDown(QPointF(layout->bubbleRect.minX() + 5, layout->bubbleRect.midY()), 2, Qt::NoModifier);
    EXPECT_EQ(model.editingTextAnnotationID(), arrow.id);
    pointer.handleLeftUp(QPointF(layout->bubbleRect.minX() + 5, layout->bubbleRect.midY()));
    model.setSelectedTool(MarkupTool::Eyedropper);
    pointer.handleLeftDown(QPointF(900, 100), 2, Qt::NoModifier);
    EXPECT_TRUE(model.isColorSampleLocked());
    ASSERT_TRUE(model.colorSamplePreview());
    EXPECT_EQ(model.colorSamplePreview()->color.hex(), QStringLiteral("#F0C83C"));
    pointer.handleLeftUp(QPointF(900, 100));
}

TEST_F(Coordinator, MarqueeTinyMarqueeAndEscapeMidDrag)
{
    drawArrow();
    model.setSelectedTool(MarkupTool::Select);
    model.selectAnnotation(std::optional<QUuid>());
    pointer.handleLeftDown(QPointF(50, 50), 1, Qt::NoModifier);
    EXPECT_EQ(model.selectionRect(), QRectF(50, 50, 0, 0));
    pointer.handleLeftDrag(QPointF(450, 350), Qt::NoModifier);
    EXPECT_EQ(model.selectionRect(), QRectF(50, 50, 400, 300));
    pointer.handleLeftUp(QPointF(450, 350));
    EXPECT_FALSE(model.selectionRect());
    EXPECT_EQ(model.selectedAnnotationCount(), 1);

    // 4 points high counts as a click at the release point (on empty canvas: nothing selected).
    pointer.handleLeftDown(QPointF(600, 500), 1, Qt::NoModifier);
    pointer.handleLeftDrag(QPointF(900, 504), Qt::NoModifier);
    pointer.handleLeftUp(QPointF(900, 504));
    EXPECT_EQ(model.selectedAnnotationCount(), 0);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("未选中标注"));

    // Escape cancels the transient state but the drag runs on to its release.
    pointer.handleLeftDown(QPointF(600, 400), 1, Qt::NoModifier);
    pointer.handleLeftDrag(QPointF(700, 450), Qt::NoModifier);
    pointer.handleEscape();
    EXPECT_EQ(model.statusMessage(), QStringLiteral("已取消当前操作"));
    EXPECT_EQ(pointer.mode().kind, CanvasPointerCoordinator::ModeKind::Selecting);
    pointer.handleLeftDrag(QPointF(720, 460), Qt::NoModifier);
    pointer.handleLeftUp(QPointF(720, 460));
    EXPECT_EQ(pointer.mode().kind, CanvasPointerCoordinator::ModeKind::None);
    EXPECT_EQ(pointer.dragStart(), QPointF(600, 400)); // kept after the release
}

TEST_F(Coordinator, CropCornersAndHoverLock)
{
    model.setSelectedTool(MarkupTool::Crop);
    drag(QPointF(100, 100), QPointF(400, 300));
    ASSERT_TRUE(model.cropRect());
    EXPECT_TRUE(pointer.isCropping());
    // Corners are 28 × 28 squares; inside but off the corners starts a new rectangle.
    EXPECT_EQ(pointer.cropCorner(QPointF(110, 110)), CropCorner::TopLeft);
    EXPECT_EQ(pointer.cropCorner(QPointF(395, 305)), CropCorner::BottomRight);
    EXPECT_FALSE(pointer.cropCorner(QPointF(250, 200)));
    drag(QPointF(395, 295), QPointF(500, 350)); // the bottom-right corner follows
    EXPECT_NEAR(model.cropRect()->left(), 100, 1e-6);
    EXPECT_NEAR(model.cropRect()->right(), 500, 1e-6);
    drag(QPointF(250, 200), QPointF(260, 260));
    EXPECT_NEAR(model.cropRect()->left(), 250, 1e-6);
    pointer.handleEscape();
    EXPECT_FALSE(pointer.isCropping());

    // Hover: an unlocked preview is dropped when the pointer leaves, a locked one stays.
    model.setSelectedTool(MarkupTool::Eyedropper);
    pointer.handleHover(QPointF(100, 100));
    ASSERT_TRUE(model.colorSamplePreview());
    pointer.handleHover(std::nullopt);
    EXPECT_FALSE(model.colorSamplePreview());
    pointer.handleLeftDown(QPointF(100, 100), 1, Qt::NoModifier);
    pointer.handleLeftUp(QPointF(100, 100));
    pointer.handleHover(QPointF(900, 100));
    pointer.handleHover(std::nullopt);
    ASSERT_TRUE(model.colorSamplePreview());
    EXPECT_EQ(model.colorSamplePreview()->color.hex(), QStringLiteral("#2878C8"));
}
