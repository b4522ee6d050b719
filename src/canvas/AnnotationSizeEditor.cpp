#include "canvas/AnnotationSizeEditor.h"

#include "canvas/AnnotationEditorChrome.h"
#include "canvas/EditorSliderRow.h"
#include "canvas/PanelPlacement.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "ui/PanelChrome.h"

#include <QVBoxLayout>

AnnotationSizeEditor::AnnotationSizeEditor(MarkupViewModel &viewModel, QWidget *parent)
    : FloatingPanel(parent)
    , m_viewModel(viewModel)
{
    setChrome(AnnotationEditorChrome::panelFill(), 8, AppTheme::lightSlate(), 1.2);
    setShadow({0.12, 8, QPointF(0, 4)});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(3);
    MarkupViewModel *model = &viewModel;
    m_lineWidth = new EditorSliderRow(viewModel, QStringLiteral("箭头大小"), MarkupViewModel::minimumArrowLineWidth,
                                      MarkupViewModel::maximumArrowLineWidth,
                                      [model](double value, bool recordsUndo) {
                                          model->updateDrawingLineWidth(value, recordsUndo);
                                      },
                                      this);
    m_fontSize = new EditorSliderRow(viewModel, QStringLiteral("文字大小"), MarkupViewModel::minimumArrowFontSize,
                                     MarkupViewModel::maximumArrowFontSize,
                                     [model](double value, bool recordsUndo) {
                                         model->updateArrowFontSize(value, recordsUndo);
                                     },
                                     this);
    layout->addWidget(m_lineWidth);
    layout->addWidget(m_fontSize);
    // A drag that outlives its annotation's selection must not swallow the next one's step.
    connect(&viewModel, &MarkupViewModel::selectedAnnotationIDChanged, this, &AnnotationSizeEditor::endAdjusting);
}

void AnnotationSizeEditor::sync(const MarkupAnnotation &annotation, QSizeF canvasSize)
{
    const bool brush = annotation.kind == AnnotationKind::Brush;
    m_lineWidth->setLabelText(brush ? QStringLiteral("画笔粗细") : QStringLiteral("箭头大小"));
    m_lineWidth->setValues(m_viewModel.effectiveArrowLineWidth(), PanelChrome::formatNumber(annotation.lineWidth, 1));
    m_fontSize->setVisible(annotation.kind == AnnotationKind::Arrow);
    m_fontSize->setValues(m_viewModel.effectiveArrowFontSize(), PanelChrome::formatNumber(annotation.fontSize, 0));
    setToolTip(brush ? QStringLiteral("调整画笔粗细") : QStringLiteral("调整箭头和文字大小"));
    setBorderColor(AnnotationEditorChrome::annotationBorder(annotation));
    setCanvasRect(PanelPlacement::rectAround(PanelPlacement::sizeEditorCentre(annotation, canvasSize),
                                             PanelPlacement::sizeEditorSize(annotation.kind)));
}

void AnnotationSizeEditor::endAdjusting()
{
    m_lineWidth->endAdjusting();
    m_fontSize->endAdjusting();
}
