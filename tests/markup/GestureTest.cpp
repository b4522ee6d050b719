#include "AnnotationOpsFixture.h"

#include "markup/MarkupGeometry.h"

using Gestures = AnnotationOps;

TEST_F(Gestures, NonDrawingToolsStartNothing)
{
    for (MarkupTool tool : {MarkupTool::Select, MarkupTool::Crop, MarkupTool::Eyedropper}) {
        model.beginGesture(tool, UnitPoint2D(0.2, 0.2));
        EXPECT_FALSE(model.draftAnnotation());
    }
    model.beginGesture(MarkupTool::Arrow, UnitPoint2D(0.2, 0.2));
    const MarkupAnnotation draft = *model.draftAnnotation();
    model.beginGesture(MarkupTool::Crop, UnitPoint2D(0.5, 0.5));
    EXPECT_EQ(model.draftAnnotation(), draft) << "the stroke in progress is kept";
}

TEST_F(Gestures, ClickWithoutDragGivesDefaultEnd)
{
    const UnitPoint2D p(0.3, 0.5);
    for (MarkupTool tool : {MarkupTool::Arrow, MarkupTool::Rectangle}) {
        model.beginGesture(tool, p);
        model.finishGesture(UnitPoint2D(0.305, 0.5));
        const MarkupAnnotation made = model.annotations().back();
        EXPECT_EQ(made.end, MarkupGeometry::defaultEndPoint(p, made.kind));
        EXPECT_EQ(made.text, "标注文字");
    }
    // A release exactly 0.01 away is a drag and keeps its point.
    model.beginGesture(MarkupTool::Arrow, UnitPoint2D(0.5, 0.5));
    model.finishGesture(UnitPoint2D(0.5, 0.51));
    EXPECT_EQ(model.annotations().back().end, UnitPoint2D(0.5, 0.51));
}

TEST_F(Gestures, TextStaysAtPressAndBrushKeepsEveryPoint)
{
    model.beginGesture(MarkupTool::Text, UnitPoint2D(0.3, 0.4));
    model.updateGesture(UnitPoint2D(0.6, 0.6));
    model.finishGesture(UnitPoint2D(0.8, 0.9));
    EXPECT_EQ(model.annotations().back().start, UnitPoint2D(0.3, 0.4));
    EXPECT_EQ(model.annotations().back().end, UnitPoint2D(0.3, 0.4));

    const UnitPoint2D p(0.1, 0.1);
    model.beginGesture(MarkupTool::Brush, p);
    EXPECT_TRUE(model.draftAnnotation()->text.isEmpty());
    EXPECT_FALSE(model.draftAnnotation()->sequenceNumber);
    model.finishGesture(p);
    const MarkupAnnotation click = model.annotations().back();
    EXPECT_EQ(click.points, (QList<UnitPoint2D>{p, p}));
    EXPECT_EQ(click.end, p);
    EXPECT_EQ(click.labelPosition, p);
    EXPECT_EQ(click.text, "标注文字");
    EXPECT_EQ(click.sequenceNumber, 2);

    model.beginGesture(MarkupTool::Brush, p);
    for (int i = 1; i <= 5; ++i)
        model.updateGesture(UnitPoint2D(0.1 + i * 0.05, 0.2));
    model.finishGesture(UnitPoint2D(0.5, 0.5));
    EXPECT_EQ(model.annotations().back().points.size(), 7u);
    EXPECT_EQ(model.annotations().back().labelPosition, UnitPoint2D(0.5, 0.5));
}

TEST_F(Gestures, NumberingAndArrowBend)
{
    place({annotation(AnnotationKind::Arrow, {0.1, 0.1}, {0.2, 0.2}, " \n "),
           annotation(AnnotationKind::Text, {0.3, 0.3}, {0.3, 0.3}, ""),
           annotation(AnnotationKind::Rectangle, {0.4, 0.4}, {0.5, 0.5}, "x")});
    EXPECT_EQ(model.nextAnnotationSequenceNumber(), 3);
    EXPECT_EQ(model.defaultArrowCurveDirection(), -1.0) << "one arrow already";

    model.beginGesture(MarkupTool::Arrow, UnitPoint2D(0.6, 0.6));
    EXPECT_EQ(model.draftAnnotation()->curveDirection, -1.0);
    EXPECT_EQ(model.draftAnnotation()->sequenceNumber, 3);
    model.finishGesture(UnitPoint2D(0.8, 0.7));
    EXPECT_EQ(model.defaultArrowCurveDirection(), 1.0);

    std::vector<std::optional<qint64>> numbers;
    for (const MarkupAnnotation &a : model.annotations())
        numbers.push_back(a.sequenceNumber);
    EXPECT_EQ(numbers, (std::vector<std::optional<qint64>>{std::nullopt, 1, 2, 3}));
}

TEST_F(Gestures, CompletionSelectsEditsAndUndoesInOneStep)
{
    model.setSelectedTool(MarkupTool::Rectangle);
    model.setStatusMessage("x");
    model.beginGesture(MarkupTool::Rectangle, UnitPoint2D(0.1, 0.1));
    model.updateGesture(UnitPoint2D(0.3, 0.3));
    EXPECT_EQ(undoDepth(), 0) << "no snapshot while drawing";
    model.finishGesture(UnitPoint2D(0.4, 0.4));

    ASSERT_EQ(model.annotations().size(), 1u);
    const QUuid id = model.annotations()[0].id;
    EXPECT_FALSE(model.draftAnnotation());
    EXPECT_EQ(model.selectedTool(), MarkupTool::Select);
    EXPECT_EQ(model.selectedAnnotationID(), id);
    EXPECT_EQ(model.selectedAnnotationIDs(), QSet<QUuid>{id});
    EXPECT_EQ(model.editingTextAnnotationID(), id);
    EXPECT_EQ(model.pendingTextFocusID(), id);
    EXPECT_EQ(model.statusMessage(), "正在编辑标注文字");
    EXPECT_EQ(model.annotations()[0].colorHex, model.stylePreset().colorHex);
    EXPECT_EQ(model.annotations()[0].lineWidth, model.stylePreset().lineWidth);

    model.undo();
    EXPECT_TRUE(model.annotations().empty());
}

TEST_F(Gestures, StrokeWithoutImageIsDiscarded)
{
    model.setSelectedItemID(std::nullopt);
    model.setSelectedTool(MarkupTool::Arrow);
    model.setStatusMessage("unchanged");
    model.beginGesture(MarkupTool::Arrow, UnitPoint2D(0.1, 0.1));
    model.finishGesture(UnitPoint2D(0.5, 0.5));
    EXPECT_FALSE(model.draftAnnotation());
    EXPECT_EQ(model.selectedTool(), MarkupTool::Arrow);
    EXPECT_EQ(model.statusMessage(), "unchanged");
    EXPECT_TRUE(model.items()[0].annotations.empty());
    EXPECT_TRUE(model.undoSnapshotsByItemID().isEmpty());
}
