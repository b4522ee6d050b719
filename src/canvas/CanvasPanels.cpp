#include "canvas/CanvasPanels.h"

#include "model/TextRules.h"
#include "platform/Rect.h"

namespace CanvasPanels {

std::set<CanvasPanel> visiblePanels(const CanvasPanelState &state)
{
    std::set<CanvasPanel> panels;
    if (state.hasColorSamplePreview && state.selectedTool == MarkupTool::Eyedropper)
        panels.insert(CanvasPanel::EyedropperPanel);
    if (const std::optional<MarkupAnnotation> &selected = state.selectedAnnotation) {
        const bool editing = state.editingTextAnnotationID == selected->id;
        const bool labelled = TextRules::hasVisibleText(selected->displayText());
        const AnnotationKind kind = selected->kind;
        if (editing) {
            if (kind == AnnotationKind::Arrow || kind == AnnotationKind::Brush)
                panels.insert(CanvasPanel::EditingSizeEditor);
            panels.insert(CanvasPanel::InlineTextPanel);
        } else {
            if (kind == AnnotationKind::Arrow) {
                panels.insert(CanvasPanel::ArrowSizeEditor);
                panels.insert(CanvasPanel::CurveToggle);
            }
            if (kind != AnnotationKind::Arrow && labelled)
                panels.insert(CanvasPanel::TextStyleEditor);
            if (labelled)
                panels.insert(CanvasPanel::LabelWidthHandle);
            if (kind == AnnotationKind::Brush)
                panels.insert(CanvasPanel::BrushSizeEditor);
        }
    }
    if (state.cropRect && !Rect::fromQRectF(*state.cropRect).isEmpty())
        panels.insert(CanvasPanel::CropToolbar);
    return panels;
}

} // namespace CanvasPanels
