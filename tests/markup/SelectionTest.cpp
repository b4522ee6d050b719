#include "AnnotationOpsFixture.h"

#include "markup/MarkupGeometry.h"
#include "model/InteractionReset.h"

namespace {

// The canvas equals the image's pixel size, so canvas points and pixels coincide.
const QSizeF canvas(400, 300);

class Selection : public AnnotationOps {
protected:
    const MarkupAnnotation &at(size_t i) const { return model.items()[0].annotations.at(i); }
    std::vector<MarkupAnnotation> list() const { return model.annotations(); }

    // A rectangle spanning canvas points (100, 75)–(200, 150), without a label.
    static MarkupAnnotation bareRectangle() { return annotation(AnnotationKind::Rectangle, {0.25, 0.25}, {0.5, 0.5}); }
};

void expectNear(UnitPoint2D actual, double x, double y)
{
    EXPECT_NEAR(actual.x, x, 1e-9);
    EXPECT_NEAR(actual.y, y, 1e-9);
}

} // namespace

TEST_F(Selection, ClickSelectsLabelBeforeShapeAndTopmostFirst)
{
    place({bareRectangle(), bareRectangle(), annotation(AnnotationKind::Text, {0.7, 0.2}, {0.7, 0.2}, "T")});
    model.setEditingTextAnnotationID(at(2).id);

    model.selectAnnotation(QPointF(110, 110), canvas); // 10 points inside the left edge
    EXPECT_EQ(model.selectedAnnotationID(), at(1).id) << "the later of two overlapping shapes";
    EXPECT_EQ(model.selectedAnnotationIDs(), QSet<QUuid>{at(1).id});
    EXPECT_EQ(model.selectedAnnotationPart(), AnnotationSelectionPart::Shape);
    EXPECT_FALSE(model.editingTextAnnotationID());
    EXPECT_EQ(model.statusMessage(), "已选中 1 个标注");

    model.selectAnnotation(QPointF(290, 70), canvas);
    EXPECT_EQ(model.selectedAnnotationID(), at(2).id);
    EXPECT_EQ(model.selectedAnnotationPart(), AnnotationSelectionPart::Label);
    EXPECT_EQ(model.statusMessage(), "已选中标注文字");

    model.selectAnnotation(QPointF(80, 110), canvas); // 20 points outside
    EXPECT_FALSE(model.selectedAnnotationID());
    EXPECT_TRUE(model.selectedAnnotationIDs().isEmpty());
    EXPECT_EQ(model.statusMessage(), "未选中标注");

    model.selectAnnotationLabel(at(0).id);
    EXPECT_EQ(model.selectedAnnotationPart(), AnnotationSelectionPart::Label);
    EXPECT_EQ(model.statusMessage(), "已选中标注文字");
    model.selectAnnotationLabel(std::nullopt);
    EXPECT_EQ(model.statusMessage(), "未选中标注文字");
}

TEST_F(Selection, MarqueeSelectsIntersectingOrActsAsClick)
{
    place({bareRectangle(), annotation(AnnotationKind::Arrow, {0.6, 0.8}, {0.9, 0.9})});
    model.setSelectionRect(QRectF(0, 0, 10, 10));

    model.finishMarqueeSelection(QPointF(0, 0), QPointF(399, 299), canvas);
    EXPECT_FALSE(model.selectionRect());
    EXPECT_EQ(model.selectedAnnotationIDs(), (QSet<QUuid>{at(0).id, at(1).id}));
    EXPECT_TRUE(model.selectedAnnotationIDs().contains(*model.selectedAnnotationID()));
    EXPECT_EQ(model.statusMessage(), "已框选 2 个标注");

    // 4 × 50 points: a click at the end point, which lies on the rectangle's left edge.
    model.finishMarqueeSelection(QPointF(96, 60), QPointF(100, 110), canvas);
    EXPECT_EQ(model.selectedAnnotationIDs(), QSet<QUuid>{at(0).id});
    EXPECT_EQ(model.statusMessage(), "已选中 1 个标注");

    model.finishMarqueeSelection(QPointF(5, 5), QPointF(0, 0), canvas);
    EXPECT_TRUE(model.selectedAnnotationIDs().isEmpty());
    EXPECT_FALSE(model.selectedAnnotationID());
    EXPECT_EQ(model.statusMessage(), "框选范围内没有标注");
}

TEST_F(Selection, DoubleClickEditsOnlyWhatHasALabel)
{
    place({annotation(AnnotationKind::Rectangle, {0.25, 0.25}, {0.5, 0.5}, "R"),
           annotation(AnnotationKind::Text, {0.7, 0.7}, {0.7, 0.7}, ""), bareRectangle()});
    model.renumberAnnotations(0); // the empty text label shows its number
    model.setStatusMessage("x");
    model.beginTextEditing(QPointF(150, 145), canvas); // the bare rectangle's bottom edge
    EXPECT_FALSE(model.editingTextAnnotationID());
    EXPECT_EQ(model.statusMessage(), "x");

    model.beginTextEditing(QPointF(285, 215), canvas);
    EXPECT_EQ(model.editingTextAnnotationID(), at(1).id) << "a text annotation is editable even when empty";
    EXPECT_EQ(model.pendingTextFocusID(), at(1).id);
    EXPECT_EQ(model.selectedAnnotationPart(), AnnotationSelectionPart::Label);
    EXPECT_EQ(model.statusMessage(), "正在编辑标注文字");

    // The labelled rectangle's bubble sits at its top-left corner + (8, 8).
    model.beginTextEditing(QPointF(115, 90), canvas);
    EXPECT_EQ(model.editingTextAnnotationID(), at(0).id);
    EXPECT_EQ(model.selectedAnnotationIDs(), QSet<QUuid>{at(0).id});
}

TEST_F(Selection, GroupMoveStopsAtTheBorderAsOneUndoStep)
{
    MarkupAnnotation arrow = annotation(AnnotationKind::Arrow, {0.1, 0.1}, {0.95, 0.2});
    arrow.labelPosition = UnitPoint2D(0.97, 0.05);
    MarkupAnnotation brush = annotation(AnnotationKind::Brush, {0.2, 0.5}, {0.3, 0.6});
    brush.points = {UnitPoint2D(0.2, 0.5), UnitPoint2D(0.25, 0.7), UnitPoint2D(0.3, 0.6)};
    const MarkupAnnotation other = bareRectangle();
    place({arrow, brush, other});
    model.setSelectedAnnotationIDs({arrow.id, brush.id});

    model.moveSelectedAnnotations(QSizeF(40, -30), canvas, true); // a step of (0.1, −0.1)
    expectNear(at(0).start, 0.15, 0.0);
    expectNear(at(0).end, 1.0, 0.1);
    expectNear(*at(0).labelPosition, 1.0, 0.0); // each coordinate is then clamped on its own
    expectNear(at(1).points[1], 0.3, 0.6);
    EXPECT_EQ(at(2), other);
    EXPECT_EQ(model.statusMessage(), "已移动 2 个标注");

    model.moveSelectedAnnotations(QSizeF(40, 0), canvas, false);
    expectNear(at(0).end, 1.0, 0.1);
    expectNear(at(1).start, 0.25, 0.4);

    model.undo();
    EXPECT_EQ(at(0), arrow);
    EXPECT_EQ(at(1), brush);

    // No target, or a canvas without area: nothing, not even a snapshot.
    model.setSelectedAnnotationIDs({});
    model.setSelectedAnnotationID(std::nullopt);
    model.moveSelectedAnnotations(QSizeF(10, 10), canvas, true);
    model.setSelectedAnnotationID(other.id);
    model.moveSelectedAnnotations(QSizeF(10, 10), QSizeF(0, 300), true);
    EXPECT_EQ(undoDepth(), 0);
    model.moveSelectedAnnotations(QSizeF(-8, 0), canvas, true);
    expectNear(at(2).start, 0.23, 0.25);
    EXPECT_EQ(model.statusMessage(), "已移动标注");
}

TEST_F(Selection, LabelMoveAndWidth)
{
    place({annotation(AnnotationKind::Arrow, {0.1, 0.5}, {0.5, 0.5}, "A")});
    const QUuid id = at(0).id;
    const QPointF anchor = MarkupGeometry::labelPoint(at(0), canvas);
    model.moveAnnotationLabel(id, QSizeF(10, -5), canvas, true);
    expectNear(*at(0).labelPosition, (anchor.x() + 10) / 400, (anchor.y() - 5) / 300);
    EXPECT_EQ(model.statusMessage(), "已移动标注文字");
    model.moveAnnotationLabel(id, QSizeF(-1000, 0), canvas, false);
    EXPECT_EQ(at(0).labelPosition->x, 0);
    EXPECT_EQ(undoDepth(), 1);

    const QSizeF wide(500, 300);
    model.resizeAnnotationLabel(id, 40, wide, true);
    EXPECT_DOUBLE_EQ(*at(0).labelWidth, 0.128);
    EXPECT_EQ(model.stylePreset().labelWidth, 0.128);
    EXPECT_EQ(MarkupViewModel::loadStylePreset(settings).labelWidth, 0.128);
    EXPECT_EQ(model.statusMessage(), "已调整文字框宽度");
    model.resizeAnnotationLabel(id, 600, wide, true);
    EXPECT_DOUBLE_EQ(*at(0).labelWidth, 0.94);
    EXPECT_EQ(undoDepth(), 3);
    model.setStatusMessage("x");
    model.resizeAnnotationLabel(id, 470.02, wide, true);
    EXPECT_EQ(undoDepth(), 3) << "the same width again records nothing";
    EXPECT_EQ(model.statusMessage(), "x");
    model.resizeAnnotationLabel(id, 10, QSizeF(80, 300), true);
    EXPECT_DOUBLE_EQ(*at(0).labelWidth, 0.8);
}

TEST_F(Selection, ArrowEndAndBrushResize)
{
    MarkupAnnotation stroke = annotation(AnnotationKind::Brush, {0.25, 1.0 / 3}, {0.5, 0.4});
    stroke.points = {UnitPoint2D(0.25, 1.0 / 3), UnitPoint2D(0.375, 0.5), UnitPoint2D(0.5, 0.4)};
    MarkupAnnotation line = annotation(AnnotationKind::Brush, {0.25, 1.0 / 3}, {0.5, 1.0 / 3});
    place({bareRectangle(), annotation(AnnotationKind::Arrow, {0.1, 0.1}, {0.5, 0.5}), stroke, line});
    const QUuid rectangle = at(0).id, arrow = at(1).id;

    model.resizeArrowEndpoint(rectangle, MarkupAnnotationEndpoint::End, QPointF(10, 10), canvas, true);
    EXPECT_EQ(undoDepth(), 0);
    model.resizeArrowEndpoint(arrow, MarkupAnnotationEndpoint::End, QPointF(500, -20), canvas, true);
    EXPECT_EQ(at(1).end, UnitPoint2D(1, 0));
    model.resizeArrowEndpoint(arrow, MarkupAnnotationEndpoint::Start, QPointF(200, 150), canvas, false);
    EXPECT_EQ(at(1).start, UnitPoint2D(0.5, 0.5));
    EXPECT_EQ(model.selectedAnnotationIDs(), QSet<QUuid>{arrow});
    EXPECT_EQ(model.statusMessage(), "已调整箭头长度");

    // Canvas points (100, 100), (150, 150), (200, 120): the handle on the top-left corner shrinks
    // to a fifth, one far away grows to six times and is then held by the canvas.
    model.resizeBrushAnnotation(stroke.id, QPointF(100, 100), canvas, true);
    expectNear(at(2).points[1], 110.0 / 400, 110.0 / 300);
    expectNear(at(2).end, 120.0 / 400, 104.0 / 300);
    EXPECT_EQ(model.statusMessage(), "已调整画笔大小");
    model.resizeBrushAnnotation(stroke.id, QPointF(5000, 5000), canvas, false);
    expectNear(at(2).points[1], 160.0 / 400, 160.0 / 300);
    expectNear(at(2).end, 220.0 / 400, 124.0 / 300);
    EXPECT_EQ(at(2).start, stroke.start) << "the top-left corner stays";

    // A horizontal line: its height counts as 1, so the vertical factor is capped at 6.
    model.resizeBrushAnnotation(line.id, QPointF(300, 110), canvas, true);
    ASSERT_EQ(at(3).points.size(), 2u);
    expectNear(at(3).end, 0.75, 1.0 / 3);
    EXPECT_EQ(model.selectedAnnotationID(), line.id);
}

TEST_F(Selection, AltDuplicateCopiesSelectionAndSelectsCopies)
{
    place({annotation(AnnotationKind::Arrow, {0.1, 0.1}, {0.2, 0.2}, "a"), bareRectangle(),
           annotation(AnnotationKind::Text, {0.3, 0.3}, {0.3, 0.3}, "t"),
           annotation(AnnotationKind::Rectangle, {0.6, 0.6}, {0.7, 0.7}, "r"),
           annotation(AnnotationKind::Brush, {0.8, 0.8}, {0.9, 0.9})});
    model.renumberAnnotations(0);
    const std::vector<MarkupAnnotation> before = list();

    EXPECT_FALSE(model.duplicateSelectedAnnotationsForDrag());
    EXPECT_EQ(undoDepth(), 0);

    model.setSelectedAnnotationIDs({before[3].id, before[0].id});
    model.setEditingTextAnnotationID(before[0].id);
    EXPECT_TRUE(model.duplicateSelectedAnnotationsForDrag());
    ASSERT_EQ(list().size(), 7u);
    EXPECT_EQ(at(5).text, "a");
    EXPECT_EQ(at(6).text, "r");
    EXPECT_NE(at(5).id, before[0].id);
    EXPECT_EQ(at(5).start, before[0].start);
    EXPECT_EQ(at(5).sequenceNumber, 4);
    EXPECT_EQ(at(6).sequenceNumber, 5);
    EXPECT_EQ(model.selectedAnnotationIDs(), (QSet<QUuid>{at(5).id, at(6).id}));
    EXPECT_EQ(model.selectedAnnotationID(), at(6).id);
    EXPECT_FALSE(model.editingTextAnnotationID());
    EXPECT_EQ(model.statusMessage(), "已复制 2 个标注");

    // The drag that follows moves the copies only.
    model.moveSelectedAnnotations(QSizeF(40, 0), canvas, false);
    EXPECT_EQ(at(0).start, before[0].start);
    model.undo();
    EXPECT_EQ(list(), before);
}

TEST_F(Selection, DragSelectionKeepsAMultipleSelection)
{
    place({bareRectangle(), bareRectangle(), bareRectangle()});
    model.setSelectedAnnotationIDs({at(0).id, at(1).id});
    model.setSelectedAnnotationID(at(0).id);
    model.setPendingTextFocusID(at(0).id);
    model.selectAnnotationForDrag(at(1).id);
    EXPECT_EQ(model.selectedAnnotationIDs().size(), 2);
    EXPECT_EQ(model.selectedAnnotationID(), at(0).id);
    EXPECT_FALSE(model.pendingTextFocusID());

    model.selectAnnotationForDrag(at(2).id);
    EXPECT_EQ(model.selectedAnnotationIDs(), QSet<QUuid>{at(2).id});
    model.selectAnnotationLabelForDrag(at(0).id);
    EXPECT_EQ(model.selectedAnnotationPart(), AnnotationSelectionPart::Label);
    EXPECT_EQ(model.hitShapeAnnotationID(QPointF(110, 110), canvas), at(2).id);
}

// A status that tells of an open editor or a tool's state goes when that ends by any way that
// reports nothing of its own; one that something else replaced meanwhile stays.
TEST_F(Selection, StatusesOfAnEditorOrAToolEndWithThem)
{
    place({annotation(AnnotationKind::Text, {0.7, 0.7}, {0.7, 0.7}, "T")});
    model.beginTextEditing(QPointF(285, 215), canvas);
    ASSERT_EQ(model.statusMessage(), "正在编辑标注文字");
    InteractionReset::clear(model, InteractionReset::TextEditing);
    EXPECT_EQ(model.statusMessage(), "就绪");

    model.beginTextEditing(QPointF(285, 215), canvas);
    model.setStatusMessage("已复制标注");
    model.setEditingTextAnnotationID(std::nullopt);
    EXPECT_EQ(model.statusMessage(), "已复制标注");

    // The crop frame's ratio, and the hint to draw one, go with the crop tool.
    model.setSelectedTool(MarkupTool::Crop);
    model.setCropAspectRatio(CropAspectRatio::Free, canvas);
    ASSERT_TRUE(model.statusMessage().startsWith("裁剪比例："));
    model.setSelectedTool(MarkupTool::Arrow);
    EXPECT_EQ(model.statusMessage(), "就绪");
    model.setSelectedTool(MarkupTool::Crop);
    EXPECT_FALSE(model.confirmCrop(canvas));
    ASSERT_EQ(model.statusMessage(), "请先拖出裁剪区域");
    model.setSelectedTool(MarkupTool::Select);
    EXPECT_EQ(model.statusMessage(), "就绪");

    // "点击 HEX、RGB 或 CMYK 可复制" lasts as long as the sample's panel does.
    model.setSelectedTool(MarkupTool::Eyedropper);
    model.sampleColor(QPointF(10, 10), canvas);
    ASSERT_TRUE(model.statusMessage().endsWith("可复制"));
    InteractionReset::clear(model, InteractionReset::ColorSample);
    EXPECT_EQ(model.statusMessage(), "就绪");

    // Leaving the workspace ends every such status at once.
    model.beginTextEditing(QPointF(285, 215), canvas);
    model.endStatusMoments();
    EXPECT_EQ(model.statusMessage(), "就绪");
}
