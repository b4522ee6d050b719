#include "PanelsFixture.h"

#include "canvas/CanvasPanelSet.h"
#include "canvas/CropToolbar.h"
#include "canvas/InlineTextPanel.h"
#include "canvas/PanelPlacement.h"
#include "canvas/SelectedAnnotationEditors.h"

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
