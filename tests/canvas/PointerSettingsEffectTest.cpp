#include "CanvasFixture.h"

#include "canvas/CanvasPanelSet.h"
#include "canvas/CanvasSurface.h"
#include "canvas/ImageMarkupWorkspace.h"
#include "canvas/InlineTextPanel.h"
#include "canvas/PointerSettingsEditor.h"

#include <QApplication>
#include <QMenu>
#include <QWheelEvent>
#include <QWindow>

namespace {

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

} // namespace

// A choice in the pointer settings takes effect on the canvas at once: the wheel set to pan pans.
TEST_F(CanvasFixture, WheelSetToPanPansAtOnce)
{
    ImageMarkupWorkspace workspace(&model);
    workspace.resize(1056, 656);
    workspace.show();
    QApplication::setActiveWindow(&workspace);
    settle();
    PointerSettingsEditor editor(model);
    editor.menu(PointerSettingsEditor::MouseWheel)->actions()[1]->trigger();

    const double zoom = model.zoom();
    const QPointF at(500, 300);
    QWheelEvent event(at, workspace.mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(workspace.windowHandle(), &event);
    settle();
    EXPECT_EQ(model.zoom(), zoom);
    EXPECT_NE(workspace.panOffset(), QSizeF(0, 0));
}

// The canvas carries the panels: selecting an annotation shows its editors at their places, an
// edit puts the inline editor up with the focus.
TEST_F(CanvasFixture, CanvasShowsThePanelsOfTheState)
{
    ImageMarkupWorkspace workspace(&model);
    workspace.resize(1056, 656);
    workspace.show();
    QApplication::setActiveWindow(&workspace);
    settle();
    CanvasSurface *surface = workspace.surface();
    model.setSelectedTool(MarkupTool::Arrow);
    model.beginGesture(MarkupTool::Arrow, UnitPoint2D(0.3, 0.4));
    model.updateGesture(UnitPoint2D(0.5, 0.6));
    model.finishGesture(UnitPoint2D(0.5, 0.6));
    settle();
    QWidget *inlinePanel = surface->panel(CanvasPanel::InlineTextPanel);
    ASSERT_TRUE(inlinePanel);
    EXPECT_TRUE(inlinePanel->isVisible());
    EXPECT_TRUE(surface->panel(CanvasPanel::EditingSizeEditor)->isVisible());
    EXPECT_FALSE(surface->panel(CanvasPanel::CurveToggle)->isVisible());
    auto *panel = static_cast<InlineTextPanel *>(inlinePanel);
    for (int i = 0; i < 20 && !panel->isTextFocused(); ++i)
        settle();
    EXPECT_TRUE(panel->isTextFocused());
    EXPECT_EQ(inlinePanel->pos(), (surface->canvasOrigin() + panel->canvasRect().topLeft()).toPoint());

    panel->endEditing();
    settle();
    EXPECT_FALSE(inlinePanel->isVisible());
    EXPECT_TRUE(surface->panel(CanvasPanel::ArrowSizeEditor)->isVisible());
    EXPECT_TRUE(surface->panel(CanvasPanel::CurveToggle)->isVisible());
    EXPECT_TRUE(surface->panel(CanvasPanel::LabelWidthHandle)->isVisible());
}
