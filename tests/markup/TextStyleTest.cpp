#include "AnnotationOpsFixture.h"

#include "platform/Pasteboard.h"

namespace {

class RecordingPasteboard final : public Pasteboard {
public:
    QStringList written;
    void setText(const QString &text) override { written << text; }
};

class TextStyle : public AnnotationOps {
protected:
    QUuid arrowID, textID, brushID;

    void SetUp() override
    {
        AnnotationOps::SetUp();
        MarkupAnnotation brush = annotation(AnnotationKind::Brush, {0.5, 0.5}, {0.6, 0.6});
        brush.lineWidth = 3;
        const auto &list = place({annotation(AnnotationKind::Arrow, {0.1, 0.1}, {0.3, 0.3}, "A"),
                                  annotation(AnnotationKind::Text, {0.4, 0.4}, {0.4, 0.4}, "T"), brush});
        arrowID = list[0].id;
        textID = list[1].id;
        brushID = list[2].id;
    }

    MarkupAnnotation current(const QUuid &id) const
    {
        for (const MarkupAnnotation &a : model.annotations())
            if (a.id == id)
                return a;
        return {};
    }

    StylePreset storedPreset() { return MarkupViewModel::loadStylePreset(settings); }
};

} // namespace

TEST_F(TextStyle, FontSizeClampsRemembersAndReports)
{
    model.setSelectedAnnotationID(arrowID);
    model.updateSelectedFontSize(60, true);
    EXPECT_EQ(current(arrowID).fontSize, 56);
    EXPECT_EQ(model.stylePreset().fontSize, 56);
    EXPECT_EQ(storedPreset().fontSize, 56);
    EXPECT_EQ(model.statusMessage(), "文字大小：56");
    EXPECT_EQ(undoDepth(), 1);

    // The same size again changes the preset only.
    model.setStatusMessage("x");
    model.updateSelectedFontSize(56, true);
    EXPECT_EQ(model.statusMessage(), "x");
    EXPECT_EQ(undoDepth(), 1);

    // Without a selection the size still becomes the default, with a snapshot and a report.
    model.setSelectedAnnotationID(std::nullopt);
    model.updateSelectedFontSize(8.5, true);
    EXPECT_EQ(model.stylePreset().fontSize, 8.5);
    EXPECT_EQ(model.statusMessage(), "文字大小：8") << "printf rounds the half to even";
    EXPECT_EQ(undoDepth(), 2);

    // Arrow font size: another kind changes the preset only.
    model.setSelectedAnnotationID(textID);
    model.setStatusMessage("x");
    model.updateArrowFontSize(3, true);
    EXPECT_EQ(model.stylePreset().fontSize, 8);
    EXPECT_EQ(current(textID).fontSize, 26);
    EXPECT_EQ(model.statusMessage(), "x");
}

TEST_F(TextStyle, LineWidthsFollowTheKind)
{
    model.setSelectedAnnotationID(arrowID);
    model.updateDrawingLineWidth(1, false);
    EXPECT_EQ(current(arrowID).lineWidth, 2);
    EXPECT_EQ(model.arrowLineWidth(), 2);
    EXPECT_EQ(storedPreset().lineWidth, 2);
    EXPECT_EQ(model.statusMessage(), "箭头大小：2.0");
    EXPECT_EQ(undoDepth(), 0) << "recordsUndo false";

    model.setSelectedAnnotationID(brushID);
    model.updateDrawingLineWidth(6.25, true);
    EXPECT_EQ(current(brushID).lineWidth, 6.25);
    EXPECT_EQ(model.statusMessage(), "画笔粗细：6.2");
    EXPECT_EQ(undoDepth(), 1);

    // A text annotation takes no line width; only the default changes.
    model.setSelectedAnnotationID(textID);
    model.setStatusMessage("x");
    model.updateDrawingLineWidth(7, true);
    EXPECT_EQ(model.arrowLineWidth(), 7);
    EXPECT_EQ(current(textID).lineWidth, 4);
    EXPECT_EQ(model.statusMessage(), "x");

    // A missing number is ignored instead of poisoning the stored preset.
    model.updateDrawingLineWidth(std::nan(""), true);
    EXPECT_EQ(model.arrowLineWidth(), 7);
    EXPECT_EQ(storedPreset().lineWidth, 7);
}

TEST_F(TextStyle, TextEditsRenumberAndUndo)
{
    auto list = model.annotations();
    list.push_back(annotation(AnnotationKind::Arrow, {0.7, 0.7}, {0.8, 0.8}, "B"));
    place(list);
    model.renumberAnnotations(0);
    const QUuid lastArrow = model.annotations()[3].id;

    model.setSelectedAnnotationID(arrowID);
    model.updateSelectedText("A");
    EXPECT_EQ(undoDepth(), 0) << "the same text records nothing";

    model.updateSelectedText("  ");
    EXPECT_EQ(undoDepth(), 1);
    EXPECT_FALSE(current(arrowID).sequenceNumber);
    EXPECT_EQ(current(textID).sequenceNumber, 1);
    EXPECT_EQ(current(lastArrow).sequenceNumber, 2);

    model.undo();
    EXPECT_EQ(current(arrowID).text, "A");
    EXPECT_EQ(current(arrowID).sequenceNumber, 1);

    model.setSelectedAnnotationID(textID);
    model.setSelectedAnnotationColorHex("#00FF00");
    model.setSelectedAnnotationText("changed");
    EXPECT_EQ(current(textID).colorHex, "#00FF00");
    EXPECT_EQ(current(textID).text, "changed");
    EXPECT_EQ(current(arrowID).text, "A");
}

TEST_F(TextStyle, CurveToggleConfirmAndCancel)
{
    model.setSelectedAnnotationID(textID);
    model.toggleSelectedArrowCurveDirection();
    EXPECT_EQ(undoDepth(), 0) << "not an arrow";

    model.setSelectedAnnotationID(arrowID);
    model.toggleSelectedArrowCurveDirection();
    EXPECT_EQ(current(arrowID).curveDirection, -1);
    EXPECT_EQ(model.statusMessage(), "已切换箭头弧度方向");
    model.toggleSelectedArrowCurveDirection();
    EXPECT_EQ(current(arrowID).curveDirection, 1);
    EXPECT_EQ(undoDepth(), 2);

    model.setEditingTextAnnotationID(arrowID);
    model.setPendingTextFocusID(arrowID);
    model.confirmTextEditing();
    EXPECT_FALSE(model.editingTextAnnotationID());
    EXPECT_FALSE(model.pendingTextFocusID());
    EXPECT_EQ(model.selectedAnnotationID(), arrowID);
    EXPECT_EQ(model.statusMessage(), "文字已确认");

    model.setEditingTextAnnotationID(arrowID);
    model.setSelectionRect(QRectF(0, 0, 5, 5));
    model.setCropRect(QRectF(1, 1, 5, 5));
    model.beginGesture(MarkupTool::Arrow, UnitPoint2D(0.5, 0.5));
    model.updateSelectedText("typed");
    model.cancelCurrentOperation();
    EXPECT_FALSE(model.draftAnnotation());
    EXPECT_FALSE(model.selectionRect());
    EXPECT_TRUE(model.cropRect()) << "the crop survives Escape";
    EXPECT_FALSE(model.selectedAnnotationID());
    EXPECT_TRUE(model.selectedAnnotationIDs().isEmpty());
    EXPECT_FALSE(model.editingTextAnnotationID());
    EXPECT_EQ(current(arrowID).text, "typed");
    EXPECT_EQ(model.statusMessage(), "已取消当前操作");
}

TEST_F(TextStyle, CopyToPasteboardGoesThroughTheInstalledPasteboard)
{
    RecordingPasteboard pasteboard;
    Pasteboard::install(&pasteboard);
    model.copyToPasteboard("#1A2B3C", "HEX");
    Pasteboard::install(nullptr);
    EXPECT_EQ(pasteboard.written, QStringList{"#1A2B3C"});
    EXPECT_EQ(model.statusMessage(), "已复制 HEX：#1A2B3C");
}
