#include "PanelsFixture.h"

#include "canvas/AnnotationSizeEditor.h"
#include "canvas/CanvasPanels.h"
#include "canvas/CanvasPanelSet.h"
#include "canvas/CropToolbar.h"
#include "canvas/CurveToggle.h"
#include "canvas/InlineTextPanel.h"
#include "canvas/LabelWidthHandle.h"
#include "canvas/PanelPlacement.h"
#include "canvas/TextStyleEditor.h"

TEST_F(PanelsFixture, PanelSetFillsAndPlacesThePanelsOfTheState)
{
    addImages(1);
    const auto &list = place({annotation(AnnotationKind::Arrow, {0.4, 0.4}, {0.6, 0.6}, "A", 1)});
    const MarkupAnnotation arrow = list[0];
    QWidget host;
    CanvasPanelSet panels(model, &host);
    for (FloatingPanel *panel : panels.all())
        EXPECT_FALSE(panel->isVisibleTo(&host));

    const QSizeF canvas(800, 600);
    const QPointF origin(30, 20);
    model.setSelectedAnnotationID(arrow.id);
    panels.sync(canvas, origin);
    const QRectF expected = PanelPlacement::rectAround(PanelPlacement::sizeEditorCentre(arrow, canvas), {238, 58});
    EXPECT_EQ(panels.arrowSizeEditor()->canvasRect(), expected);
    EXPECT_EQ(panels.arrowSizeEditor()->pos(), (origin + expected.topLeft()).toPoint());

    model.setEditingTextAnnotationID(arrow.id);
    panels.sync(canvas, origin);
    EXPECT_EQ(panels.inlineTextPanel()->canvasRect(), PanelPlacement::inlineTextPanelRect(arrow, canvas));
    EXPECT_EQ(panels.inlineTextPanel()->textEdit()->toPlainText(), "A");

    model.setCropRect(QRectF(100, 300, 200, 100));
    panels.sync(canvas, origin);
    EXPECT_EQ(panels.cropToolbar()->canvasRect().center(), QPointF(206, 202));
}

namespace {

// The panels the canvas shows for the model's state, with their rectangles.
std::vector<std::pair<CanvasPanel, QRectF>> shownPanels(const MarkupViewModel &model, const CanvasPanelSet &panels)
{
    CanvasPanelState state;
    state.selectedTool = model.selectedTool();
    state.selectedAnnotation = model.selectedAnnotation();
    state.editingTextAnnotationID = model.editingTextAnnotationID();
    const std::map<CanvasPanel, FloatingPanel *> byKind {
        { CanvasPanel::EditingSizeEditor, panels.editingSizeEditor() },
        { CanvasPanel::InlineTextPanel, panels.inlineTextPanel() },
        { CanvasPanel::ArrowSizeEditor, panels.arrowSizeEditor() },
        { CanvasPanel::TextStyleEditor, panels.textStyleEditor() },
        { CanvasPanel::BrushSizeEditor, panels.brushSizeEditor() },
    };
    std::vector<std::pair<CanvasPanel, QRectF>> shown;
    for (const CanvasPanel kind : CanvasPanels::visiblePanels(state)) {
        if (const auto it = byKind.find(kind); it != byKind.end())
            shown.emplace_back(kind, it->second->canvasRect());
    }
    return shown;
}

::testing::AssertionResult apart(const std::vector<std::pair<CanvasPanel, QRectF>> &shown)
{
    for (size_t i = 0; i < shown.size(); ++i) {
        for (size_t j = i + 1; j < shown.size(); ++j) {
            if (shown[i].second.intersects(shown[j].second))
                return ::testing::AssertionFailure()
                    << "panel " << int(shown[i].first) << " overlaps panel " << int(shown[j].first);
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST_F(PanelsFixture, TheEditorsOfASelectionNeverCoverEachOther)
{
    addImages(1);
    MarkupAnnotation arrow = annotation(AnnotationKind::Arrow, { 0.3, 0.5 }, { 0.5, 0.4 }, "箭头的说明", 1);
    MarkupAnnotation text = annotation(AnnotationKind::Text, { 0.6, 0.6 }, { 0.6, 0.6 }, "文字标注", 2);
    // A brush stroke across the arrow's label that has a label of its own.
    MarkupAnnotation brush = annotation(AnnotationKind::Brush, { 0.28, 0.38 }, { 0.45, 0.42 }, "画笔说明", 3);
    brush.points = { brush.start, UnitPoint2D(0.36, 0.36), brush.end };
    place({ arrow, text });
    QWidget host;
    CanvasPanelSet panels(model, &host);
    const QSizeF canvas(900, 600);

    // Drawn, undone and redone: the redo selects the brush.
    model.recordUndoSnapshot();
    place({ arrow, text, brush });
    model.setSelectedAnnotationID(brush.id);
    panels.sync(canvas, {});
    ASSERT_TRUE(model.undo());
    panels.sync(canvas, {});
    ASSERT_TRUE(model.redo());
    ASSERT_EQ(model.selectedAnnotationID(), brush.id);
    panels.sync(canvas, {});
    const auto afterRedo = shownPanels(model, panels);
    ASSERT_EQ(afterRedo.size(), 2u); // the text style editor and the brush's size editor
    EXPECT_TRUE(apart(afterRedo));
    // Still hanging above the stroke, now above the style editor too.
    EXPECT_LT(panels.brushSizeEditor()->canvasRect().bottom(), panels.textStyleEditor()->canvasRect().top());

    // Pasted close together: the last pasted one is selected; its editors stay apart.
    model.setSelectedAnnotationIDs({ brush.id, arrow.id });
    ASSERT_TRUE(model.copySelectedAnnotationsToClipboard());
    ASSERT_TRUE(model.pasteAnnotationClipboard());
    panels.sync(canvas, {});
    EXPECT_TRUE(apart(shownPanels(model, panels)));

    // Near the top of the canvas there is no room above: the brush editor goes below instead.
    MarkupAnnotation high = brush;
    high.id = QUuid::createUuid();
    high.start = UnitPoint2D(0.3, 0.02);
    high.end = UnitPoint2D(0.5, 0.06);
    high.points = { high.start, UnitPoint2D(0.4, 0.03), high.end };
    place({ high });
    model.setSelectedAnnotationID(high.id);
    panels.sync(canvas, {});
    EXPECT_TRUE(apart(shownPanels(model, panels)));
}
