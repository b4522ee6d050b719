#pragma once

#include "canvas/InlineLabelTextEdit.h"
#include "model/MarkupAnnotation.h"
#include "ui/ColorSwatchButton.h"
#include "ui/FloatingPanel.h"
#include "ui/PanelButton.h"

#include <QSizeF>

#include <vector>

class MarkupViewModel;

// The inline label editor over the canvas: the text field with its confirm button, and a row of
// the four colour presets. The field is bound to the selected annotation's text. Typing records
// one undo step per editing session (from the moment an annotation's label starts being edited
// until the edited annotation changes or editing ends), not one per keystroke, so a long label
// cannot push the annotation's own creation out of the bounded undo history.
//
// When an edit starts (the view model names a pending focus that is the selected annotation) the
// field takes the keyboard focus by itself, once the panel is on screen; when the selection moves
// to an annotation that is not being edited the field gives the focus up.
class InlineTextPanel : public FloatingPanel {
    Q_OBJECT

public:
    explicit InlineTextPanel(MarkupViewModel &viewModel, QWidget *parent = nullptr);

    // Shows the annotation's text and colour and stands at its label point on a canvas of this
    // size. The field's text is replaced only when it differs (replacing resets the cursor).
    void sync(const MarkupAnnotation &annotation, QSizeF canvasSize);

    InlineLabelTextEdit *textEdit() const { return m_edit; }
    PanelButton *confirmButton() const { return m_confirm; }
    const std::vector<ColorSwatchButton *> &swatches() const { return m_swatches; }
    bool isTextFocused() const;

    // The confirm button's and the shortcut's action: the field lets the focus go, then the view
    // model ends editing (the annotation stays selected).
    void endEditing();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void textEdited();
    void pendingFocusChanged();
    void selectionChanged();
    void takeFocus();

    MarkupViewModel &m_viewModel;
    QWidget *m_fieldFrame = nullptr;
    InlineLabelTextEdit *m_edit = nullptr;
    PanelButton *m_confirm = nullptr;
    std::vector<ColorSwatchButton *> m_swatches;
    bool m_sessionRecorded = false;
    bool m_focusWhenShown = false;
};
