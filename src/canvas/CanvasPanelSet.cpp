#include "canvas/CanvasPanelSet.h"

#include "canvas/CanvasPanels.h"
#include "canvas/PanelPlacement.h"

#include "canvas/AnnotationSizeEditor.h"
#include "canvas/CropToolbar.h"
#include "canvas/CurveToggle.h"
#include "canvas/EyedropperPanel.h"
#include "canvas/InlineTextPanel.h"
#include "canvas/LabelWidthHandle.h"
#include "canvas/TextStyleEditor.h"
#include "model/MarkupViewModel.h"

#include <set>
#include <utility>

CanvasPanelSet::CanvasPanelSet(MarkupViewModel &viewModel, QWidget *host)
    : QObject(host)
    , m_viewModel(viewModel)
{
    m_eyedropper = new EyedropperPanel(viewModel, host);
    m_editingSize = new AnnotationSizeEditor(viewModel, host);
    m_inline = new InlineTextPanel(viewModel, host);
    m_arrowSize = new AnnotationSizeEditor(viewModel, host);
    m_curve = new CurveToggle(viewModel, host);
    m_textStyle = new TextStyleEditor(viewModel, host);
    m_labelHandle = new LabelWidthHandle(host);
    m_brushSize = new AnnotationSizeEditor(viewModel, host);
    m_crop = new CropToolbar(viewModel, host);
    for (FloatingPanel *panel : all())
        panel->hide();
}

std::vector<FloatingPanel *> CanvasPanelSet::all() const
{
    return {m_eyedropper, m_editingSize, m_inline,  m_arrowSize, m_curve,
            m_textStyle,  m_labelHandle, m_brushSize, m_crop};
}

void CanvasPanelSet::sync(QSizeF canvasSize, QPointF origin)
{
    if (const std::optional<ColorSamplePreview> &preview = m_viewModel.colorSamplePreview())
        m_eyedropper->sync(*preview, m_viewModel.isColorSampleLocked(), canvasSize);
    if (const std::optional<MarkupAnnotation> selected = m_viewModel.selectedAnnotation()) {
        const bool editing = m_viewModel.editingTextAnnotationID() == selected->id;
        if (editing) {
            m_editingSize->sync(*selected, canvasSize);
            m_inline->sync(*selected, canvasSize);
        } else {
            m_arrowSize->sync(*selected, canvasSize);
            m_curve->sync(*selected, canvasSize);
            m_textStyle->sync(*selected, canvasSize);
            m_labelHandle->sync(*selected, canvasSize);
            m_brushSize->sync(*selected, canvasSize);
        }
        keepSelectionPanelsApart(canvasSize);
    }
    if (const std::optional<QRectF> &crop = m_viewModel.cropRect())
        m_crop->sync(*crop, canvasSize);
    for (FloatingPanel *panel : all())
        panel->move((origin + panel->canvasRect().topLeft()).toPoint());
}

void CanvasPanelSet::keepSelectionPanelsApart(QSizeF canvasSize)
{
    CanvasPanelState state;
    state.selectedTool = m_viewModel.selectedTool();
    state.selectedAnnotation = m_viewModel.selectedAnnotation();
    state.editingTextAnnotationID = m_viewModel.editingTextAnnotationID();
    const std::set<CanvasPanel> shown = CanvasPanels::visiblePanels(state);
    // The inline editor belongs on the label; the style and size editors make way for it and for
    // each other, in stacking order. (The curve toggle and the width handle are small marks that
    // sit by the label on purpose.)
    const std::pair<CanvasPanel, FloatingPanel *> fixed[] = {
        { CanvasPanel::InlineTextPanel, m_inline },
    };
    const std::pair<CanvasPanel, FloatingPanel *> movable[] = {
        { CanvasPanel::EditingSizeEditor, m_editingSize },
        { CanvasPanel::ArrowSizeEditor, m_arrowSize },
        { CanvasPanel::TextStyleEditor, m_textStyle },
        { CanvasPanel::BrushSizeEditor, m_brushSize },
    };
    std::vector<QRectF> taken;
    for (const auto &[kind, panel] : fixed) {
        if (shown.count(kind))
            taken.push_back(panel->canvasRect());
    }
    for (const auto &[kind, panel] : movable) {
        if (!shown.count(kind))
            continue;
        const QRectF placed = PanelPlacement::clearOf(panel->canvasRect(), taken, canvasSize);
        panel->setCanvasRect(placed);
        taken.push_back(placed);
    }
}
