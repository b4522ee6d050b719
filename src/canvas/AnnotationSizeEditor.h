#pragma once

#include "canvas/EditorSliderRow.h"
#include "model/MarkupAnnotation.h"
#include "ui/FloatingPanel.h"

#include <QSizeF>

class MarkupViewModel;

// Size editor of an arrow (line width and font size) or a brush (line width), 238 wide.
class AnnotationSizeEditor : public FloatingPanel {
    Q_OBJECT

public:
    explicit AnnotationSizeEditor(MarkupViewModel &viewModel, QWidget *parent = nullptr);

    // Shows the annotation's values and stands above it on a canvas of this size.
    void sync(const MarkupAnnotation &annotation, QSizeF canvasSize);
    void endAdjusting();

    EditorSliderRow *lineWidthRow() const { return m_lineWidth; }
    EditorSliderRow *fontSizeRow() const { return m_fontSize; }

private:
    MarkupViewModel &m_viewModel;
    EditorSliderRow *m_lineWidth = nullptr;
    EditorSliderRow *m_fontSize = nullptr;
};
