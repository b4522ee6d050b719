#pragma once

class MarkupViewModel;

// The per-image interaction state that switching, restoring or replacing images clears. Each
// operation names the parts it clears.
namespace InteractionReset {

enum Part : unsigned {
    AnnotationSelection = 1u << 0, // selected annotation, selected set, selected part
    Draft = 1u << 1,               // draft annotation, marquee and crop rectangles
    ColorSample = 1u << 2,         // eyedropper preview and its lock
    TextEditing = 1u << 3,         // inline text editor and its pending focus
    Zoom = 1u << 4,                // back to 100 %
};

constexpr unsigned everything = AnnotationSelection | Draft | ColorSample | TextEditing | Zoom;

void clear(MarkupViewModel &model, unsigned parts);

} // namespace InteractionReset
