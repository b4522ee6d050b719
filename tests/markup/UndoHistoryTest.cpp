#include "AnnotationOpsFixture.h"

#include <algorithm>
#include <utility>

namespace {

class UndoHistory : public AnnotationOps {
protected:
    static MarkupAnnotation labelledArrow(const QString &text)
    {
        return annotation(AnnotationKind::Arrow, UnitPoint2D(0.1, 0.1), UnitPoint2D(0.5, 0.5), text);
    }

    // One recorded change: append an annotation to the current image.
    void addAnnotation(const QString &text)
    {
        model.recordUndoSnapshot();
        auto items = model.items();
        items[size_t(*model.selectedIndex())].annotations.push_back(labelledArrow(text));
        model.setItems(items);
        model.renumberAnnotations(*model.selectedIndex());
    }
};

} // namespace

TEST_F(UndoHistory, HistoryIsCappedAtEightySnapshots)
{
    for (int i = 0; i < 81; ++i)
        addAnnotation(QString::number(i));
    for (int i = 0; i < 80; ++i) {
        EXPECT_TRUE(model.undo());
        EXPECT_EQ(model.statusMessage(), "已撤回");
    }
    EXPECT_EQ(model.annotations().size(), 1u) << "the first state is out of reach";
    EXPECT_TRUE(model.undo());
    EXPECT_EQ(model.statusMessage(), "没有可撤回的操作");
}

TEST_F(UndoHistory, HistoriesBelongToTheirImage)
{
    addAnnotation("A");
    model.setSelectedItemID(model.items()[1].id);
    model.undo();
    EXPECT_EQ(model.statusMessage(), "没有可撤回的操作");
    model.setSelectedItemID(model.items()[0].id);
    model.undo();
    EXPECT_TRUE(model.annotations().empty());
}

TEST_F(UndoHistory, UndoRedoRoundTripAndSelection)
{
    addAnnotation("first");
    addAnnotation("second");
    const auto afterBoth = model.annotations();
    model.undo();
    EXPECT_EQ(model.selectedAnnotationID(), afterBoth[0].id) << "the last restored annotation is selected";
    model.redo();
    EXPECT_EQ(model.statusMessage(), "已重做");
    model.undo();
    model.redo();
    EXPECT_EQ(model.annotations(), afterBoth);
    EXPECT_EQ(model.undoSnapshotsByItemID().value(model.items()[0].id).size(), 2u);
    EXPECT_EQ(model.redoSnapshotsByItemID().value(model.items()[0].id).size(), 0u);

    model.undo();
    addAnnotation("third");
    model.redo();
    EXPECT_EQ(model.statusMessage(), "没有可重做的操作") << "a new change empties the redo history";
}

TEST_F(UndoHistory, ClearIsUndoableAndSnapshotsShareThePicture)
{
    addAnnotation("one");
    addAnnotation("");
    addAnnotation("three");
    const auto before = model.annotations();
    EXPECT_TRUE(model.clearSelectedImageAnnotations());
    EXPECT_EQ(model.statusMessage(), "已清空当前图片标注，可按 Ctrl+Z 撤销");
    EXPECT_TRUE(model.annotations().empty());
    model.undo();
    EXPECT_EQ(model.annotations(), before);
    EXPECT_EQ(model.annotations()[2].sequenceNumber, 2) << "blank arrows carry no number";

    const auto &stack = model.undoSnapshotsByItemID().value(model.items()[0].id);
    ASSERT_FALSE(stack.empty());
    EXPECT_EQ(stack.front().image.image().cacheKey(), model.items()[0].image.image().cacheKey());

    model.setItems({});
    model.setSelectedItemID(std::nullopt);
    EXPECT_FALSE(model.clearSelectedImageAnnotations());
    EXPECT_EQ(model.statusMessage(), "请先选择图片");
}

TEST_F(UndoHistory, LegacyTextsAreRepairedAndRenumbered)
{
    auto items = model.items();
    items[0].annotations = {labelledArrow("3.  标注文字"), labelledArrow("x"), labelledArrow("  ")};
    model.setItems(items);
    model.normalizeLegacyNumberedTexts(0);
    const auto &annotations = model.items()[0].annotations;
    EXPECT_EQ(annotations[0].text, "标注文字");
    EXPECT_EQ(annotations[0].sequenceNumber, 1) << "renumbered after the repair";
    EXPECT_EQ(annotations[1].sequenceNumber, 2);
    EXPECT_EQ(annotations[2].sequenceNumber, std::nullopt);
}

// An undo step copies the image's list of annotations, not the strokes drawn on it: a long brush
// stroke is held once however many steps are recorded, undone and redone around it.
TEST_F(UndoHistory, StepsShareTheStrokesTheyDoNotChange)
{
    MarkupAnnotation stroke = annotation(AnnotationKind::Brush, UnitPoint2D(0, 0), UnitPoint2D(1, 1));
    for (int k = 0; k < 100'000; ++k)
        stroke.points.push_back(UnitPoint2D(k / 100'000.0, 0.5));
    place({stroke});
    const UnitPoint2D *held = std::as_const(model.annotations().front().points).data();
    const auto sharesTheStroke = [held](const std::vector<ImageUndoSnapshot> &steps) {
        return std::all_of(steps.begin(), steps.end(), [held](const ImageUndoSnapshot &step) {
            return std::as_const(step.annotations.front().points).data() == held;
        });
    };

    for (int i = 0; i < 80; ++i)
        addAnnotation(QString::number(i));
    for (int i = 0; i < 30; ++i)
        model.undo();
    for (int i = 0; i < 10; ++i)
        model.redo();
    const QUuid id = model.items()[0].id;
    ASSERT_EQ(model.undoSnapshotsByItemID().value(id).size(), 60u);
    ASSERT_EQ(model.redoSnapshotsByItemID().value(id).size(), 20u);
    EXPECT_TRUE(sharesTheStroke(model.undoSnapshotsByItemID().value(id)));
    EXPECT_TRUE(sharesTheStroke(model.redoSnapshotsByItemID().value(id)));
    EXPECT_EQ(std::as_const(model.annotations().front().points).data(), held);
}
