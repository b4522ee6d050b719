#pragma once

#include "model/MarkupAnnotation.h"
#include "model/MarkupTools.h"

#include <QRectF>
#include <QUuid>

#include <optional>
#include <set>

// The floating panels of the canvas, in stacking order above the input widget (later ones are
// drawn on top and hit first).
enum class CanvasPanel {
    EyedropperPanel,
    EditingSizeEditor,
    InlineTextPanel,
    ArrowSizeEditor,
    CurveToggle,
    TextStyleEditor,
    LabelWidthHandle,
    BrushSizeEditor,
    CropToolbar,
};

// What decides which panels exist.
struct CanvasPanelState {
    MarkupTool selectedTool = MarkupTool::Select;
    bool hasColorSamplePreview = false;
    std::optional<MarkupAnnotation> selectedAnnotation;
    std::optional<QUuid> editingTextAnnotationID;
    std::optional<QRectF> cropRect;
};

namespace CanvasPanels {

// The panels shown for a state: the eyedropper panel only with the eyedropper tool and a preview;
// for the selected annotation while its label is edited the size editor (arrow, brush) and the
// inline text panel; otherwise an arrow's size editor and curve toggle, the text style editor of a
// labelled non-arrow, the label width handle of any labelled annotation and a brush's size editor;
// the crop toolbar for a crop rectangle that is not empty.
std::set<CanvasPanel> visiblePanels(const CanvasPanelState &state);

// clamp as the panels place themselves: the low bound wins when the range is empty (a canvas too
// small for the panel).
inline double clampLowWins(double value, double low, double high)
{
    const double top = high > low ? high : low;
    const double bottom = value > low ? value : low;
    return top < bottom ? top : bottom;
}

} // namespace CanvasPanels
