#pragma once

#include "ui/ColorSwatchButton.h"
#include "ui/FloatingPanel.h"
#include "ui/PanelButton.h"
#include "model/MarkupAnnotation.h"

#include <QPointer>
#include <QSizeF>
#include <QString>

#include <functional>
#include <vector>

class MarkupViewModel;
class QLabel;
class QSlider;

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

// One labelled slider of an editor: label (52 wide), slider (100 wide) and value text (28 wide).
// The slider works in hundredths. A drag records exactly one undo step: the first change that
// really alters the annotation is applied with recordsUndo, the rest of the drag without.
// Steps that are not drags (keys, a click on the groove) each record their own step.
class EditorSliderRow : public QWidget {
    Q_OBJECT

public:
    using Apply = std::function<void(double value, bool recordsUndo)>;

    EditorSliderRow(MarkupViewModel &viewModel, const QString &label, double minimum, double maximum,
                    Apply apply, QWidget *parent = nullptr);

    QSlider *slider() const { return m_slider; }
    QLabel *label() const { return m_label; }
    QLabel *valueLabel() const { return m_value; }
    // Shows model values without feeding them back into the model.
    void setValues(double sliderValue, const QString &valueText);
    void setLabelText(const QString &text);
    // Whether the running drag has already recorded its undo step.
    bool isAdjusting() const { return m_adjusting; }
    // Forgets the running drag (the selection changed under it).
    void endAdjusting() { m_adjusting = false; }

private:
    void valueChanged(int value);

    MarkupViewModel &m_viewModel;
    Apply m_apply;
    QLabel *m_label = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_value = nullptr;
    bool m_adjusting = false;
};

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

// The round button that bends a selected arrow to the other side.
class CurveToggle : public FloatingPanel {
    Q_OBJECT

public:
    explicit CurveToggle(MarkupViewModel &viewModel, QWidget *parent = nullptr);

    void sync(const MarkupAnnotation &annotation, QSizeF canvasSize);
    PanelButton *button() const { return m_button; }

private:
    PanelButton *m_button = nullptr;
};

// The marker on the label bubble's bottom-right corner. It takes no input: the canvas's own
// pointer handling recognises the width drag in a box around the same corner.
class LabelWidthHandle : public FloatingPanel {
    Q_OBJECT

public:
    explicit LabelWidthHandle(QWidget *parent = nullptr);

    // Returns false (and leaves the rectangle) when the annotation has no label bubble.
    bool sync(const MarkupAnnotation &annotation, QSizeF canvasSize);

protected:
    void paintEvent(QPaintEvent *event) override;
};
