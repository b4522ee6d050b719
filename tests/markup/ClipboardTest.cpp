#include "AnnotationOpsFixture.h"

#include "markup/MarkupGeometry.h"

namespace {

class Clipboard : public AnnotationOps {
protected:
    const std::vector<MarkupAnnotation> &on(size_t index) const { return model.items()[index].annotations; }
    void show(size_t index) { model.setSelectedItemID(model.items()[index].id); }

    static MarkupAnnotation labelled(AnnotationKind kind, const QString &text)
    {
        return annotation(kind, {0.1, 0.2}, {0.4, 0.5}, text);
    }
};

} // namespace

TEST_F(Clipboard, CopyAndPasteAcrossImages)
{
    place({labelled(AnnotationKind::Arrow, "a"), labelled(AnnotationKind::Arrow, "b"),
           labelled(AnnotationKind::Rectangle, "c")});
    place({labelled(AnnotationKind::Text, "x")}, 1);
    model.renumberAnnotations(1);
    model.setSelectedAnnotationIDs({on(0)[0].id, on(0)[1].id});
    EXPECT_TRUE(model.copySelectedAnnotationsToClipboard());
    EXPECT_EQ(model.statusMessage(), "已复制 2 个标注");
    EXPECT_EQ(undoDepth(), 0);

    show(1);
    EXPECT_TRUE(model.pasteAnnotationClipboard());
    ASSERT_EQ(on(1).size(), 3u);
    EXPECT_EQ(on(1)[1].start, on(0)[0].start);
    EXPECT_NE(on(1)[1].id, on(0)[0].id);
    EXPECT_EQ(on(1)[1].sequenceNumber, 2);
    EXPECT_EQ(on(1)[2].sequenceNumber, 3);
    EXPECT_EQ(model.statusMessage(), "已粘贴 2 个标注");

    EXPECT_TRUE(model.pasteAnnotationClipboard());
    ASSERT_EQ(on(1).size(), 5u);
    EXPECT_EQ(model.selectedAnnotationIDs(), (QSet<QUuid>{on(1)[3].id, on(1)[4].id}));
    EXPECT_EQ(model.selectedAnnotationID(), on(1)[4].id);
    EXPECT_NE(on(1)[3].id, on(1)[1].id) << "every paste makes new ids";
    model.undo();
    EXPECT_EQ(on(1).size(), 3u);
}

TEST_F(Clipboard, CopyingTheLabelPartCopiesATextAtTheLabel)
{
    MarkupAnnotation arrow = labelled(AnnotationKind::Arrow, "note");
    arrow.sequenceNumber = 1;
    place({arrow});
    model.setSelectedAnnotationID(arrow.id);
    model.setSelectedAnnotationPart(AnnotationSelectionPart::Label);
    EXPECT_TRUE(model.copySelectedAnnotationsToClipboard());
    EXPECT_EQ(model.statusMessage(), "已复制标注");
    ASSERT_EQ(model.annotationClipboard().size(), 1u);
    const MarkupAnnotation copied = model.annotationClipboard()[0];
    const QSizeF pixels(400, 300);
    const QPointF label = MarkupGeometry::labelPoint(arrow, pixels);
    EXPECT_EQ(copied.kind, AnnotationKind::Text);
    EXPECT_EQ(copied.start, UnitPoint2D(label.x() / 400, label.y() / 300));
    EXPECT_EQ(copied.end, copied.start);
    EXPECT_EQ(copied.text, "note");
    EXPECT_FALSE(copied.labelPosition);

    show(1);
    model.pasteAnnotationClipboard();
    EXPECT_EQ(on(1)[0].kind, AnnotationKind::Text);
    EXPECT_EQ(model.statusMessage(), "已粘贴标注");
}

TEST_F(Clipboard, CopyAndPastePreconditions)
{
    place({labelled(AnnotationKind::Arrow, "a")});
    EXPECT_FALSE(model.copySelectedAnnotationsToClipboard());
    EXPECT_EQ(model.statusMessage(), "请先选中要复制的标注");

    model.setSelectedAnnotationID(QUuid::createUuid()); // names nothing on this image
    EXPECT_FALSE(model.copySelectedAnnotationsToClipboard());
    EXPECT_EQ(model.statusMessage(), "没有可复制的标注");
    EXPECT_FALSE(model.pasteAnnotationClipboard());
    EXPECT_EQ(model.statusMessage(), "没有可粘贴的标注");
    EXPECT_EQ(undoDepth(), 0);

    model.setSelectedItemID(std::nullopt);
    EXPECT_FALSE(model.copySelectedAnnotationsToClipboard());
    EXPECT_EQ(model.statusMessage(), "请先导入图片");
    EXPECT_FALSE(model.pasteAnnotationClipboard());
    EXPECT_EQ(model.statusMessage(), "请先选择要粘贴到的图片");
    EXPECT_FALSE(model.selectAllAnnotations());

    show(1);
    EXPECT_TRUE(model.selectAllAnnotations());
    EXPECT_EQ(model.statusMessage(), "当前图片没有可全选的标注");
    show(0);
    EXPECT_TRUE(model.selectAllAnnotations());
    EXPECT_EQ(model.selectedAnnotationIDs(), QSet<QUuid>{on(0)[0].id});
    EXPECT_EQ(model.statusMessage(), "已全选 1 个标注");
}

TEST_F(Clipboard, DeleteTakesLabelTextBeforeShape)
{
    place({labelled(AnnotationKind::Rectangle, "r"), labelled(AnnotationKind::Arrow, "a"),
           labelled(AnnotationKind::Text, "t")});
    model.renumberAnnotations(0);
    const QUuid rectangle = on(0)[0].id;
    EXPECT_FALSE(model.deleteSelectedAnnotations()) << "nothing selected";

    model.setSelectedAnnotationID(rectangle);
    model.setSelectedAnnotationPart(AnnotationSelectionPart::Label);
    model.setEditingTextAnnotationID(rectangle);
    EXPECT_TRUE(model.deleteSelectedAnnotations());
    EXPECT_EQ(on(0).size(), 3u);
    EXPECT_TRUE(on(0)[0].text.isEmpty());
    EXPECT_FALSE(on(0)[0].sequenceNumber);
    EXPECT_EQ(on(0)[1].sequenceNumber, 1);
    EXPECT_EQ(model.selectedAnnotationPart(), AnnotationSelectionPart::Shape);
    EXPECT_FALSE(model.editingTextAnnotationID());
    EXPECT_EQ(model.statusMessage(), "已删除标注文字");

    EXPECT_TRUE(model.handleToolShortcut("delete"));
    EXPECT_EQ(on(0).size(), 2u);
    EXPECT_FALSE(model.selectedAnnotationID());
    EXPECT_EQ(model.statusMessage(), "已删除标注");

    // A text annotation's label is the annotation: it goes whole.
    model.setSelectedAnnotationID(on(0)[1].id);
    model.setSelectedAnnotationPart(AnnotationSelectionPart::Label);
    EXPECT_TRUE(model.deleteCurrentSelection());
    EXPECT_EQ(on(0).size(), 1u);

    model.undo();
    model.undo();
    model.undo();
    EXPECT_EQ(on(0).size(), 3u);
    EXPECT_EQ(on(0)[0].text, "r");
}

TEST_F(Clipboard, DeleteSeveralIsOneUndoStep)
{
    place({labelled(AnnotationKind::Rectangle, "r"), labelled(AnnotationKind::Arrow, "a"),
           labelled(AnnotationKind::Brush, ""), labelled(AnnotationKind::Text, "t")});
    model.renumberAnnotations(0);
    const std::vector<MarkupAnnotation> before = on(0);
    model.setSelectedAnnotationIDs({before[0].id, before[1].id, before[2].id});
    model.setSelectedAnnotationID(before[2].id);
    model.setPendingTextFocusID(before[1].id);
    EXPECT_TRUE(model.deleteSelectedAnnotations());
    ASSERT_EQ(on(0).size(), 1u);
    EXPECT_EQ(on(0)[0].sequenceNumber, 1);
    EXPECT_TRUE(model.selectedAnnotationIDs().isEmpty());
    EXPECT_FALSE(model.pendingTextFocusID());
    EXPECT_EQ(model.statusMessage(), "已删除 3 个标注");
    model.undo();
    EXPECT_EQ(on(0), before);
}

TEST_F(Clipboard, BatchApplyReplacesTargetsUndoably)
{
    auto items = model.items();
    items.push_back(item("c.png"));
    model.setItems(items);
    place({labelled(AnnotationKind::Arrow, "1"), labelled(AnnotationKind::Rectangle, "2"),
           labelled(AnnotationKind::Text, "3")});
    place({labelled(AnnotationKind::Arrow, "old")}, 1);
    model.renumberAnnotations(1);
    const std::vector<MarkupAnnotation> earlier = on(1);
    const QUuid a = model.items()[0].id, b = model.items()[1].id, c = model.items()[2].id;

    model.setSelectedImageItemIDs({a});
    EXPECT_EQ(model.applyCurrentAnnotationsToSelectedImages(false), 0);
    EXPECT_EQ(model.statusMessage(), "请先选择源图片和目标图片");

    model.setSelectedImageItemIDs({a, b, c});
    EXPECT_EQ(model.applyCurrentAnnotationsToSelectedImages(false), 2);
    EXPECT_EQ(model.statusMessage(), "已套用到 2 张图片");
    for (size_t target : {1u, 2u}) {
        ASSERT_EQ(on(target).size(), 3u);
        EXPECT_EQ(on(target)[2].sequenceNumber, 3);
        EXPECT_NE(on(target)[0].id, on(0)[0].id);
    }
    EXPECT_NE(on(1)[0].id, on(2)[0].id) << "ids of its own on every image";
    EXPECT_EQ(undoDepth(0), 0) << "the source is not touched";

    // The target's earlier annotations come back with undo on that image.
    show(1);
    model.undo();
    EXPECT_EQ(on(1), earlier);

    // Only the selected ones of the current image.
    show(0);
    model.setSelectedAnnotationIDs({on(0)[1].id});
    EXPECT_EQ(model.applyCurrentAnnotationsToSelectedImages(true), 2);
    ASSERT_EQ(on(2).size(), 1u);
    EXPECT_EQ(on(2)[0].kind, AnnotationKind::Rectangle);
    model.setSelectedAnnotationIDs({});
    EXPECT_EQ(model.applyCurrentAnnotationsToSelectedImages(true), 0);
    EXPECT_EQ(model.statusMessage(), "请先选择要套用的标注");
}

TEST_F(Clipboard, BatchApplyFindsASourceAmongTheMarkedImages)
{
    place({labelled(AnnotationKind::Arrow, "only")}, 1);
    model.setSelectedImageItemIDs({model.items()[0].id, model.items()[1].id});
    // The current image has no annotations: the marked image with some is the source and the
    // current image a target; "only selected" does not filter another image's annotations.
    EXPECT_EQ(model.applyCurrentAnnotationsToSelectedImages(true), 1);
    ASSERT_EQ(on(0).size(), 1u);
    EXPECT_EQ(on(0)[0].text, "only");

    place({}, 0);
    place({}, 1);
    EXPECT_EQ(model.applyCurrentAnnotationsToSelectedImages(false), 0);
    EXPECT_EQ(model.statusMessage(), "已选图片没有可套用的标注");
}

TEST_F(Clipboard, ShortcutDispatcherAndDigitToTool)
{
    model.setToolOrder({MarkupTool::Brush, MarkupTool::Text, MarkupTool::Select, MarkupTool::Arrow,
                        MarkupTool::Crop, MarkupTool::Rectangle, MarkupTool::Eyedropper});
    model.setCropRect(QRectF(0, 0, 20, 20));
    model.setSelectionRect(QRectF(0, 0, 20, 20));
    model.beginGesture(MarkupTool::Arrow, UnitPoint2D(0.5, 0.5));
    EXPECT_TRUE(model.handleToolShortcut("3"));
    EXPECT_EQ(model.selectedTool(), MarkupTool::Select);
    EXPECT_FALSE(model.cropRect());
    EXPECT_FALSE(model.selectionRect());
    EXPECT_FALSE(model.draftAnnotation());
    EXPECT_EQ(model.statusMessage(), "已切换工具：选择");

    EXPECT_TRUE(model.handleToolShortcut("+2"));
    EXPECT_EQ(model.statusMessage(), "已切换工具：文字");
    model.setStatusMessage("x");
    for (const char *rejected : {"0", "8", "-1", "a", " 2", "2 ", "+", "", "openProject", "Undo",
                                 "99999999999999999999"})
        EXPECT_FALSE(model.handleToolShortcut(rejected)) << rejected;
    EXPECT_EQ(model.selectedTool(), MarkupTool::Text);
    EXPECT_EQ(model.statusMessage(), "x");

    EXPECT_TRUE(model.handleToolShortcut("undo"));
    EXPECT_EQ(model.statusMessage(), "没有可撤回的操作");
    EXPECT_TRUE(model.handleToolShortcut("redo"));
    EXPECT_EQ(model.statusMessage(), "没有可重做的操作");
    EXPECT_FALSE(model.handleToolShortcut("copy"));
    EXPECT_FALSE(model.handleToolShortcut("paste"));
    EXPECT_TRUE(model.handleToolShortcut("selectAll"));
    EXPECT_TRUE(model.handleToolShortcut("escape"));
    EXPECT_EQ(model.statusMessage(), "已取消当前操作");
}

TEST_F(Clipboard, DeleteFallsBackToTheMarkedImagesWithoutAnAnnotationSelection)
{
    const QUuid second = model.items()[1].id;
    model.setSelectedAnnotationID(std::nullopt);
    model.setSelectedAnnotationIDs({});
    EXPECT_TRUE(model.deleteCurrentSelection());
    ASSERT_EQ(model.items().size(), 1u);
    EXPECT_EQ(model.items()[0].id, second);
}
