#pragma once

#include <QObject>
#include <QPointF>
#include <QSizeF>

#include <vector>

class AnnotationSizeEditor;
class CropToolbar;
class CurveToggle;
class EyedropperPanel;
class FloatingPanel;
class InlineTextPanel;
class LabelWidthHandle;
class MarkupViewModel;
class QWidget;
class TextStyleEditor;

// The floating panels of one canvas, made once and kept for the canvas's life (shown and hidden,
// never destroyed from their own handlers). sync() fills each panel whose subject exists from the
// view model and moves it to its place; which of them are visible is the canvas's decision.
class CanvasPanelSet : public QObject {
    Q_OBJECT

public:
    CanvasPanelSet(MarkupViewModel &viewModel, QWidget *host);

    // Fills the panels for a canvas of this size whose top-left corner is at `origin` in the
    // host's coordinates.
    void sync(QSizeF canvasSize, QPointF origin);

    EyedropperPanel *eyedropperPanel() const { return m_eyedropper; }
    // The size editor shown beside the inline editor while an arrow's or brush's label is edited.
    AnnotationSizeEditor *editingSizeEditor() const { return m_editingSize; }
    InlineTextPanel *inlineTextPanel() const { return m_inline; }
    AnnotationSizeEditor *arrowSizeEditor() const { return m_arrowSize; }
    CurveToggle *curveToggle() const { return m_curve; }
    TextStyleEditor *textStyleEditor() const { return m_textStyle; }
    LabelWidthHandle *labelWidthHandle() const { return m_labelHandle; }
    AnnotationSizeEditor *brushSizeEditor() const { return m_brushSize; }
    CropToolbar *cropToolbar() const { return m_crop; }
    // All of them, bottom to top.
    std::vector<FloatingPanel *> all() const;

private:
    // Moves the style and size editors of the selection off each other and off its other panels.
    void keepSelectionPanelsApart(QSizeF canvasSize);

    MarkupViewModel &m_viewModel;
    EyedropperPanel *m_eyedropper = nullptr;
    AnnotationSizeEditor *m_editingSize = nullptr;
    InlineTextPanel *m_inline = nullptr;
    AnnotationSizeEditor *m_arrowSize = nullptr;
    CurveToggle *m_curve = nullptr;
    TextStyleEditor *m_textStyle = nullptr;
    LabelWidthHandle *m_labelHandle = nullptr;
    AnnotationSizeEditor *m_brushSize = nullptr;
    CropToolbar *m_crop = nullptr;
};
