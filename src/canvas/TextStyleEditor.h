#pragma once

#include "canvas/EditorSliderRow.h"
#include "model/MarkupAnnotation.h"
#include "ui/ColorSwatchButton.h"
#include "ui/FloatingPanel.h"

#include <QSizeF>

#include <vector>

class MarkupViewModel;

// Font size and colour of a labelled text, rectangle or brush annotation, 238 × 68.
class TextStyleEditor : public FloatingPanel {
    Q_OBJECT

public:
    explicit TextStyleEditor(MarkupViewModel &viewModel, QWidget *parent = nullptr);

    void sync(const MarkupAnnotation &annotation, QSizeF canvasSize);
    void endAdjusting() { m_fontSize->endAdjusting(); }

    EditorSliderRow *fontSizeRow() const { return m_fontSize; }
    const std::vector<ColorSwatchButton *> &swatches() const { return m_swatches; }

private:
    MarkupViewModel &m_viewModel;
    EditorSliderRow *m_fontSize = nullptr;
    std::vector<ColorSwatchButton *> m_swatches;
};
