#include "model/InteractionReset.h"

#include "model/MarkupViewModel.h"

namespace InteractionReset {

void clear(MarkupViewModel &model, unsigned parts)
{
    if (parts & AnnotationSelection) {
        model.setSelectedAnnotationID(std::nullopt);
        model.setSelectedAnnotationIDs({});
        model.setSelectedAnnotationPart(AnnotationSelectionPart::Shape);
    }
    if (parts & Draft) {
        model.setDraftAnnotation(std::nullopt);
        model.setSelectionRect(std::nullopt);
        model.setCropRect(std::nullopt);
    }
    if (parts & ColorSample) {
        model.setColorSamplePreview(std::nullopt);
        model.setColorSampleLocked(false);
    }
    if (parts & TextEditing) {
        model.setEditingTextAnnotationID(std::nullopt);
        model.setPendingTextFocusID(std::nullopt);
    }
    if (parts & Zoom)
        model.setZoom(1.0);
}

} // namespace InteractionReset
