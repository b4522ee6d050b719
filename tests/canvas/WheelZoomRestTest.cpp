#include "CanvasFixture.h"

#include "canvas/CanvasSurface.h"
#include "canvas/ImageMarkupWorkspace.h"
#include "support/HeldWorkers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWheelEvent>
#include <QWindow>

#include <optional>

namespace {

MarkupAnnotation shape(AnnotationKind kind, UnitPoint2D start, UnitPoint2D end, const QString &text)
{
    MarkupAnnotation a;
    a.id = QUuid::createUuid();
    a.kind = kind;
    a.start = start;
    a.end = end;
    a.colorHex = QStringLiteral("#DC2626");
    a.lineWidth = 4;
    a.fontSize = 26;
    a.text = text;
    if (kind == AnnotationKind::Brush) {
        for (int k = 0; k < 60; ++k)
            a.points.push_back(UnitPoint2D(0.2 + k * 0.005, 0.7 + 0.03 * std::sin(k / 5.0)));
        a.start = a.points.front();
        a.end = a.points.back();
    }
    return a;
}

class WheelZoom : public CanvasFixture {
protected:
    WheelZoom()
    {
        std::vector<ImageMarkupItem> items = model.items();
        items.front().annotations = {shape(AnnotationKind::Rectangle, {0.1, 0.1}, {0.4, 0.3}, QStringLiteral("矩形")),
                                     shape(AnnotationKind::Arrow, {0.5, 0.5}, {0.8, 0.6}, QStringLiteral("箭头")),
                                     shape(AnnotationKind::Brush, {0, 0}, {0, 0}, QString())};
        model.setItems(items);
        model.selectAnnotation(items.front().annotations.front().id);
    }

    static void show(ImageMarkupWorkspace &workspace)
    {
        workspace.resize(900, 600);
        workspace.show();
        QApplication::setActiveWindow(&workspace);
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    static QImage grabbed(ImageMarkupWorkspace &workspace)
    {
        return workspace.surface()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    }

    static void wheel(ImageMarkupWorkspace &workspace, QPointF windowPos, int notches)
    {
        QWheelEvent event(windowPos, workspace.mapToGlobal(windowPos), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(workspace.windowHandle(), &event);
        CanvasSurface *surface = workspace.surface();
        surface->repaint(surface->flushPendingChanges() + QRegion(surface->rect()));
    }
};

} // namespace

TEST_F(WheelZoom, StepsScaleTheKeptAnnotationsAndTheRestDrawsThemExactly)
{
    ImageMarkupWorkspace workspace(&model);
    show(workspace);
    CanvasSurface *surface = workspace.surface();
    surface->repaint();
    const int builds = surface->overlay().pictureBuildCount();
    ASSERT_GE(builds, 1);

    // A burst of steps in and out: no step draws the annotations' picture again.
    for (const int notches : {1, 1, 1, -1, 1})
        wheel(workspace, QPointF(420, 260), notches);
    EXPECT_TRUE(surface->isTransientZoom());
    EXPECT_EQ(surface->overlay().pictureBuildCount(), builds);

    // Once the wheel rests, the canvas is drawn exactly: as a canvas shown at this zoom and pan
    // from the start, pixel for pixel.
    QElapsedTimer waited;
    waited.start();
    while (surface->isTransientZoom() && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    ASSERT_FALSE(surface->isTransientZoom());
    const QImage rested = grabbed(workspace);
    EXPECT_GT(surface->overlay().pictureBuildCount(), builds);

    ImageMarkupWorkspace direct(&model);
    direct.setPanOffset(workspace.panOffset());
    show(direct);
    const QImage expected = grabbed(direct);
    ASSERT_EQ(rested.size(), expected.size());
    EXPECT_TRUE(rested == expected);
}

TEST_F(WheelZoom, AZoomSetOtherwiseIsDrawnExactlyAtOnce)
{
    ImageMarkupWorkspace workspace(&model);
    show(workspace);
    workspace.surface()->repaint();
    wheel(workspace, QPointF(420, 260), 1);
    ASSERT_TRUE(workspace.surface()->isTransientZoom());
    // The fit button or the zoom menu set the zoom directly: no scaled annotations then.
    model.setZoom(1.5);
    EXPECT_FALSE(workspace.surface()->isTransientZoom());
    const int builds = workspace.surface()->overlay().pictureBuildCount();
    workspace.surface()->flushPendingChanges();
    workspace.surface()->repaint();
    EXPECT_EQ(workspace.surface()->overlay().pictureBuildCount(), builds + 1);
}

// A wheel step's repaint is done by the GUI thread alone: with every worker thread (Qt's pool and
// ours) held by other work, steps in and out at zooms 1 and 2 still paint, and paint the same.
TEST_F(WheelZoom, StepsPaintWithEveryWorkerThreadBusy)
{
    ImageMarkupWorkspace workspace(&model);
    show(workspace);
    CanvasSurface *surface = workspace.surface();
    const auto steps = [&](bool holdWorkers) {
        std::vector<QImage> shots;
        for (const double zoom : {1.0, 2.0}) {
            model.setZoom(zoom);
            workspace.setPanOffset(QSizeF(0, 0));
            surface->flushPendingChanges();
            surface->repaint();
            for (const int notches : {1, -1}) {
                std::optional<HeldWorkers> held;
                if (holdWorkers) {
                    held.emplace();
                    EXPECT_TRUE(held->holding());
                }
                wheel(workspace, QPointF(420, 260), notches);
                // As painted: converting it could itself use the held threads.
                shots.push_back(surface->grab().toImage());
                if (held) {
                    EXPECT_TRUE(held->release()) << "a wheel step at zoom " << zoom << " waited for a worker thread";
                }
            }
        }
        return shots;
    };
    const std::vector<QImage> free = steps(false);
    const std::vector<QImage> busy = steps(true);
    ASSERT_EQ(busy.size(), free.size());
    for (size_t i = 0; i < free.size(); ++i)
        EXPECT_TRUE(busy[i] == free[i]) << i;
}
