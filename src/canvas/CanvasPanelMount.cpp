#include "canvas/CanvasPanelMount.h"

#include "canvas/AnnotationSizeEditor.h"
#include "canvas/CanvasPanelSet.h"
#include "canvas/CanvasSurface.h"
#include "canvas/CropToolbar.h"
#include "canvas/CurveToggle.h"
#include "canvas/EyedropperPanel.h"
#include "canvas/InlineTextPanel.h"
#include "canvas/LabelWidthHandle.h"
#include "canvas/TextStyleEditor.h"
#include "model/MarkupViewModel.h"
#include "ui/PanelChrome.h"

#include <QEvent>
#include <QPainter>
#include <QPointer>

namespace {

// How far a panel's shadow reaches outside the panel (blur up to 12, offset up to 6).
QRect shadowReach(const QRect &geometry)
{
    return geometry.adjusted(-26, -26, 26, 32);
}

// Repaints the surface where a panel's shadow was and where it is now.
class ShadowTracker final : public QObject {
public:
    ShadowTracker(QWidget &surface)
        : QObject(&surface)
        , m_surface(&surface)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide: {
            auto *panel = static_cast<QWidget *>(watched);
            const QRect now = panel->geometry();
            const QRect before = m_last.value(panel, now);
            m_last.insert(panel, now);
            if (m_surface) {
                m_surface->update(shadowReach(before));
                m_surface->update(shadowReach(now));
            }
            break;
        }
        default:
            break;
        }
        return false;
    }

private:
    QPointer<QWidget> m_surface;
    QHash<QObject *, QRect> m_last;
};

} // namespace

namespace CanvasPanelMount {

CanvasPanelSet *mount(CanvasSurface &surface, MarkupViewModel &viewModel)
{
    auto *set = new CanvasPanelSet(viewModel, &surface);
    surface.setPanel(CanvasPanel::EyedropperPanel, set->eyedropperPanel());
    surface.setPanel(CanvasPanel::EditingSizeEditor, set->editingSizeEditor());
    surface.setPanel(CanvasPanel::InlineTextPanel, set->inlineTextPanel());
    surface.setPanel(CanvasPanel::ArrowSizeEditor, set->arrowSizeEditor());
    surface.setPanel(CanvasPanel::CurveToggle, set->curveToggle());
    surface.setPanel(CanvasPanel::TextStyleEditor, set->textStyleEditor());
    surface.setPanel(CanvasPanel::LabelWidthHandle, set->labelWidthHandle());
    surface.setPanel(CanvasPanel::BrushSizeEditor, set->brushSizeEditor());
    surface.setPanel(CanvasPanel::CropToolbar, set->cropToolbar());

    auto *tracker = new ShadowTracker(surface);
    for (FloatingPanel *panel : set->all())
        panel->installEventFilter(tracker);

    CanvasSurface *canvas = &surface;
    auto sync = [canvas, set] { set->sync(canvas->canvasSize(), canvas->canvasOrigin()); };
    QObject::connect(&viewModel, &MarkupViewModel::stateChanged, set, sync);
    QObject::connect(&surface, &CanvasSurface::canvasGeometryChanged, set, sync);
    // A crop ended from the toolbar ends the canvas's crop mode too.
    QObject::connect(set->cropToolbar(), &CropToolbar::cropEnded, set, [canvas] { canvas->setCropping(false); });
    sync();
    return set;
}

void paintShadows(QPainter &painter, const QWidget &surface, const QRect &clip)
{
    for (QObject *child : surface.children()) {
        auto *panel = qobject_cast<FloatingPanel *>(child);
        if (!panel || !panel->isVisible() || !shadowReach(panel->geometry()).intersects(clip))
            continue;
        const FloatingPanel::Shadow shadow = panel->shadow();
        PanelChrome::paintShadow(painter, QRectF(panel->geometry()), panel->cornerRadius(), shadow.opacity,
                                 shadow.radius, shadow.offset);
    }
}

} // namespace CanvasPanelMount
