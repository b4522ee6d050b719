#include "canvas/AnnotationColorPresets.h"

#include "model/MarkupViewModel.h"

namespace AnnotationColorPresets {

const std::vector<Preset> &all()
{
    static const std::vector<Preset> presets{
        {QStringLiteral("红色"), QStringLiteral("#DC2626")},
        {QStringLiteral("黄色"), QStringLiteral("#F59E0B")},
        {QStringLiteral("蓝色"), QStringLiteral("#2563EB")},
        {QStringLiteral("绿色"), QStringLiteral("#059669")},
    };
    return presets;
}

void apply(MarkupViewModel &viewModel, const QString &hex)
{
    StylePreset preset = viewModel.stylePreset();
    preset.colorHex = hex;
    viewModel.setStylePreset(preset);
    viewModel.saveStylePreset();
    const std::optional<MarkupAnnotation> selected = viewModel.selectedAnnotation();
    // Without a selected annotation there is nothing to recolour, and a snapshot would only add
    // an undo step that restores nothing.
    if (!selected || selected->colorHex == hex)
        return;
    viewModel.recordUndoSnapshot(std::nullopt);
    viewModel.setSelectedAnnotationColorHex(hex);
}

} // namespace AnnotationColorPresets
