#include "PanelsFixture.h"

#include "canvas/AnnotationSizeEditor.h"
#include "canvas/CurveToggle.h"
#include "canvas/LabelWidthHandle.h"
#include "canvas/TextStyleEditor.h"

#include <QLabel>
#include <QSlider>
#include "PanelsTestInput.h"

namespace {

using PanelsTestInput::mouseClick;
void click(QWidget *w) { mouseClick(w); }

class SelectedEditors : public PanelsFixture {
protected:
    QUuid arrowID, textID, brushID;
    const QSizeF canvas{1000, 750};

    void SetUp() override
    {
        addImages(1);
        MarkupAnnotation brush = annotation(AnnotationKind::Brush, {0.5, 0.5}, {0.6, 0.6}, "B", 3);
        brush.points = {UnitPoint2D(0.5, 0.5), UnitPoint2D(0.6, 0.6)};
        const auto &list = place({annotation(AnnotationKind::Arrow, {0.1, 0.1}, {0.3, 0.3}, "A", 1),
                                  annotation(AnnotationKind::Text, {0.4, 0.4}, {0.4, 0.4}, "T", 2), brush});
        arrowID = list[0].id;
        textID = list[1].id;
        brushID = list[2].id;
    }

    // One drag of a slider through the given values, as the platform delivers it: the press
    // before the first value change, the release after the last.
    static void drag(QSlider *slider, std::initializer_list<int> values)
    {
        slider->setSliderDown(true);
        for (int v : values)
            slider->setValue(v);
        slider->setSliderDown(false);
    }
};

} // namespace

TEST_F(SelectedEditors, OneUndoStepPerSliderDrag)
{
    model.setSelectedAnnotationID(arrowID);
    AnnotationSizeEditor editor(model);
    editor.sync(*model.selectedAnnotation(), canvas);
    EXPECT_EQ(editor.lineWidthRow()->label()->text(), "箭头大小");
    EXPECT_TRUE(editor.fontSizeRow()->isVisibleTo(&editor));
    EXPECT_EQ(editor.lineWidthRow()->valueLabel()->text(), "4.0");
    EXPECT_EQ(editor.fontSizeRow()->valueLabel()->text(), "26");

    // The press comes before the first change, and that change is what records the step.
    drag(editor.lineWidthRow()->slider(), {500, 550, 600});
    EXPECT_EQ(current(arrowID).lineWidth, 6);
    EXPECT_EQ(undoDepth(), 1);
    EXPECT_EQ(model.statusMessage(), "箭头大小：6.0");
    EXPECT_FALSE(editor.lineWidthRow()->isAdjusting());

    // A drag whose first delivered value is the stored one records at its first real change.
    drag(editor.lineWidthRow()->slider(), {600, 650, 700});
    EXPECT_EQ(current(arrowID).lineWidth, 7);
    EXPECT_EQ(undoDepth(), 2);

    // Steps without a drag (keys, a groove click) are one step each and leave no flag behind.
    editor.lineWidthRow()->slider()->setValue(300);
    editor.lineWidthRow()->slider()->setValue(250);
    EXPECT_EQ(undoDepth(), 4);
    drag(editor.fontSizeRow()->slider(), {3000, 3200, 4000});
    EXPECT_EQ(current(arrowID).fontSize, 40);
    EXPECT_EQ(undoDepth(), 5);

    // One undo takes the whole drag back.
    model.undo();
    EXPECT_EQ(current(arrowID).fontSize, 26);
}

TEST_F(SelectedEditors, SelectionChangeMidDragStartsAFreshStep)
{
    model.setSelectedAnnotationID(arrowID);
    AnnotationSizeEditor editor(model);
    QSlider *slider = editor.lineWidthRow()->slider();
    slider->setSliderDown(true);
    slider->setValue(500);
    EXPECT_TRUE(editor.lineWidthRow()->isAdjusting());
    model.setSelectedAnnotationID(brushID);
    slider->setValue(600);
    slider->setSliderDown(false);
    EXPECT_EQ(current(brushID).lineWidth, 6);
    EXPECT_EQ(undoDepth(), 2);
}

TEST_F(SelectedEditors, BrushSizeEditorHasOneRow)
{
    model.setSelectedAnnotationID(brushID);
    AnnotationSizeEditor editor(model);
    editor.sync(*model.selectedAnnotation(), canvas);
    EXPECT_EQ(editor.lineWidthRow()->label()->text(), "画笔粗细");
    EXPECT_FALSE(editor.fontSizeRow()->isVisibleTo(&editor));
    EXPECT_EQ(editor.canvasRect().size(), QSizeF(238, 38));
    EXPECT_EQ(editor.toolTip(), "调整画笔粗细");
}

TEST_F(SelectedEditors, TextStyleFontAndSwatches)
{
    model.setSelectedAnnotationID(textID);
    TextStyleEditor editor(model);
    editor.sync(*model.selectedAnnotation(), canvas);
    ASSERT_EQ(editor.swatches().size(), 4u);
    EXPECT_TRUE(editor.swatches()[0]->isSelectedSwatch());
    EXPECT_FALSE(editor.swatches()[2]->isSelectedSwatch());

    drag(editor.fontSizeRow()->slider(), {1000, 1200});
    EXPECT_EQ(current(textID).fontSize, 12);
    EXPECT_EQ(undoDepth(), 1);

    // A new colour: one step, and the style preset takes it (stored).
    click(editor.swatches()[2]);
    EXPECT_EQ(current(textID).colorHex, "#2563EB");
    EXPECT_EQ(undoDepth(), 2);
    EXPECT_EQ(MarkupViewModel::loadStylePreset(settings).colorHex, "#2563EB");
    editor.sync(*model.selectedAnnotation(), canvas);
    EXPECT_TRUE(editor.swatches()[2]->isSelectedSwatch());

    // The same colour again: no step, but still the preset's colour.
    StylePreset preset = model.stylePreset();
    preset.colorHex = "#000000";
    model.setStylePreset(preset);
    click(editor.swatches()[2]);
    EXPECT_EQ(undoDepth(), 2);
    EXPECT_EQ(model.stylePreset().colorHex, "#2563EB");

    // Lower-case colour texts never show as selected.
    auto items = model.items();
    items[0].annotations[1].colorHex = "#dc2626";
    model.setItems(items);
    editor.sync(*model.selectedAnnotation(), canvas);
    for (ColorSwatchButton *swatch : editor.swatches())
        EXPECT_FALSE(swatch->isSelectedSwatch());
}

TEST_F(SelectedEditors, CurveToggleBendsTheArrow)
{
    model.setSelectedAnnotationID(arrowID);
    CurveToggle toggle(model);
    toggle.sync(*model.selectedAnnotation(), canvas);
    EXPECT_EQ(toggle.canvasRect().size(), QSizeF(32, 32));
    const double before = current(arrowID).curveDirection;
    click(toggle.button());
    EXPECT_EQ(current(arrowID).curveDirection, -before);
    EXPECT_EQ(model.statusMessage(), "已切换箭头弧度方向");
    EXPECT_EQ(undoDepth(), 1);
}

TEST_F(SelectedEditors, LabelHandleOnlyWithABubble)
{
    LabelWidthHandle handle;
    EXPECT_TRUE(handle.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(handle.sync(current(textID), canvas));
    EXPECT_EQ(handle.canvasRect().size(), QSizeF(16, 16));
    MarkupAnnotation bare = annotation(AnnotationKind::Rectangle, {0.1, 0.1}, {0.2, 0.2});
    EXPECT_FALSE(handle.sync(bare, canvas));
}
