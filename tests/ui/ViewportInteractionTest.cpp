#include "ui/ViewportInteraction.h"

#include <QPointingDevice>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <cmath>

using namespace ViewportInteraction;

namespace {

QWheelEvent wheel(QPoint pixel, QPoint angle, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    return QWheelEvent(QPointF(10, 10), QPointF(10, 10), pixel, angle, Qt::NoButton, modifiers, Qt::NoScrollPhase,
                       false);
}

} // namespace

TEST(ViewportInteraction, ClassifiesWheelDeltas)
{
    EXPECT_EQ(scrollDeltas(wheel(QPoint(), QPoint(0, 120))), (ScrollDeltas{0, 1, false}));
    EXPECT_EQ(scrollDeltas(wheel(QPoint(3, -5), QPoint(0, 120))), (ScrollDeltas{3, -5, true}));
    EXPECT_EQ(scrollDeltas(wheel(QPoint(), QPoint(-240, 60))), (ScrollDeltas{-2, 0.5, false}));
}

TEST(ViewportInteraction, ScrollZoomsOrPansByTheSettings)
{
    const PointerInteractionSettings defaults;
    // One wheel notch zooms by e^0.075; a precise delta of 1 with Ctrl by e^0.012.
    ScrollEffect effect = scrollEffect({0, 1, false}, Qt::NoModifier, defaults);
    EXPECT_EQ(effect.kind, ScrollEffect::Kind::Zoom);
    EXPECT_DOUBLE_EQ(effect.factor, std::exp(0.075));
    effect = scrollEffect({0, 1, true}, Qt::ControlModifier, defaults);
    EXPECT_DOUBLE_EQ(effect.factor, std::exp(0.012));
    // 40 zooms as much as 18; the dominant component decides, also when X11 turns Alt+wheel sideways.
    EXPECT_DOUBLE_EQ(scrollEffect({0, 40, false}, Qt::NoModifier, defaults).factor, std::exp(18 * 0.075));
    EXPECT_DOUBLE_EQ(scrollEffect({-3, 1, false}, Qt::AltModifier, defaults).factor, std::exp(-3 * 0.075));
    // The trackpad pans by default, with both components; a line wheel set to pan moves 12 per line.
    effect = scrollEffect({3, -5, true}, Qt::NoModifier, defaults);
    EXPECT_EQ(effect, (ScrollEffect{ScrollEffect::Kind::Pan, QSizeF(3, -5), 1}));
    PointerInteractionSettings panning;
    panning.mouseWheelAction = CanvasScrollAction::Pan;
    EXPECT_EQ(scrollEffect({1, -2, false}, Qt::NoModifier, panning).pan, QSizeF(12, -24));
    // Alt always zooms; a zero delta does nothing.
    EXPECT_EQ(scrollEffect({0, 1, false}, Qt::AltModifier, panning).kind, ScrollEffect::Kind::Zoom);
    EXPECT_EQ(scrollEffect({0, 0, false}, Qt::NoModifier, defaults).kind, ScrollEffect::Kind::None);
}

TEST(ViewportInteraction, ZoomKeepsTheAnchoredContentAndStopsAtTheLimits)
{
    const QSizeF viewport(1000, 800);
    const QPointF anchor(700, 100);
    const ZoomAndPan start{1, QSizeF(20, -10)};
    const ZoomAndPan zoomed = zoomedAbout(start, 2, anchor, viewport);
    EXPECT_DOUBLE_EQ(zoomed.zoom, 2);
    // The content point under the anchor: (anchor − centre − pan) / zoom stays the same.
    const auto content = [&](const ZoomAndPan &z) {
        return QPointF((anchor.x() - viewport.width() / 2 - z.pan.width()) / z.zoom,
                       (anchor.y() - viewport.height() / 2 - z.pan.height()) / z.zoom);
    };
    EXPECT_NEAR(content(zoomed).x(), content(start).x(), 1e-9);
    EXPECT_NEAR(content(zoomed).y(), content(start).y(), 1e-9);

    const ZoomAndPan nearTop{25, QSizeF(5, 5)};
    EXPECT_DOUBLE_EQ(zoomedAbout(nearTop, 2, anchor, viewport).zoom, 30);
    const ZoomAndPan atTop{30, QSizeF(5, 5)};
    EXPECT_EQ(zoomedAbout(atTop, 1.5, anchor, viewport), atTop);
    const ZoomAndPan atBottom{0.25, QSizeF(1, 2)};
    EXPECT_EQ(zoomedAbout(atBottom, 0.5, anchor, viewport), atBottom);
    EXPECT_EQ(zoomedAbout(ZoomAndPan{0, QSizeF()}, 2, anchor, viewport), (ZoomAndPan{0, QSizeF()}));
    EXPECT_EQ(clampedAnchor(QPointF(-5, 900), viewport), QPointF(0, 800));
}

TEST(ViewportInteraction, PinchFactorsAreLimited)
{
    EXPECT_FALSE(magnificationFactor(0).has_value());
    EXPECT_DOUBLE_EQ(*magnificationFactor(2.0), 3);
    EXPECT_DOUBLE_EQ(*magnificationFactor(5.0), 4);
    EXPECT_DOUBLE_EQ(*magnificationFactor(-0.95), 0.1);
}

TEST(ViewportInteraction, MiddlePanAndSideButtonsGoByMeaning)
{
    PointerInteractionSettings settings;
    MiddlePanTracker pan;
    EXPECT_FALSE(pan.press(Qt::MiddleButton, false, QPointF(0, 0), settings)); // outside the area
    EXPECT_FALSE(pan.move(QPointF(5, 5)).has_value());
    ASSERT_TRUE(pan.press(Qt::MiddleButton, true, QPointF(100, 100), settings));
    // 10 right and 4 up moves the pan by (10, −4): the canvas follows the pointer.
    EXPECT_EQ(*pan.move(QPointF(110, 96)), QSizeF(10, -4));
    EXPECT_EQ(*pan.move(QPointF(400, 96)), QSizeF(290, 0)); // no bounds while panning
    EXPECT_FALSE(pan.release(Qt::LeftButton, settings));     // a left release is the canvas's
    EXPECT_TRUE(pan.isPanning());
    EXPECT_TRUE(pan.release(Qt::MiddleButton, settings));
    EXPECT_FALSE(pan.isPanning());

    // The back button is not a middle button: it never starts a pan.
    EXPECT_FALSE(pan.press(Qt::BackButton, true, QPointF(0, 0), settings));
    settings.middleMouseDragAction = CanvasDragAction::None;
    EXPECT_FALSE(pan.press(Qt::MiddleButton, true, QPointF(0, 0), settings));
    EXPECT_FALSE(pan.release(Qt::MiddleButton, settings));

    settings.sideButton1Action = CanvasMouseButtonAction::FitCanvas;
    settings.sideButton2Action = CanvasMouseButtonAction::DeleteSelection;
    EXPECT_EQ(sideButtonAction(Qt::BackButton, settings), CanvasMouseButtonAction::FitCanvas);
    EXPECT_EQ(sideButtonAction(Qt::ForwardButton, settings), CanvasMouseButtonAction::DeleteSelection);
    EXPECT_FALSE(sideButtonAction(Qt::MiddleButton, settings).has_value());
    EXPECT_FALSE(sideButtonAction(Qt::TaskButton, settings).has_value());
}
