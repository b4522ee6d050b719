#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class MarkupViewModel;
class QLabel;
class QSlider;

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
