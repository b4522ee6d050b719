#pragma once

#include <QString>

#include <vector>

class MarkupViewModel;

// The four colour presets of the text style editor and the inline label editor.
namespace AnnotationColorPresets {

struct Preset {
    QString name;
    QString hex;
};

// 红色 #DC2626, 黄色 #F59E0B, 蓝色 #2563EB, 绿色 #059669, in this order.
const std::vector<Preset> &all();

// The swatches' action: the colour becomes the style preset's colour (saved, so later annotations
// take it even when nothing else changes); the selected annotation takes it as one undo step
// unless it already has exactly this colour text.
void apply(MarkupViewModel &viewModel, const QString &hex);

} // namespace AnnotationColorPresets
