#include "canvas/TextStyleEditor.h"

#include "canvas/AnnotationColorPresets.h"
#include "canvas/AnnotationEditorChrome.h"
#include "canvas/PanelPlacement.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "ui/PanelChrome.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

TextStyleEditor::TextStyleEditor(MarkupViewModel &viewModel, QWidget *parent)
    : FloatingPanel(parent)
    , m_viewModel(viewModel)
{
    setChrome(AnnotationEditorChrome::panelFill(), 8, AppTheme::lightSlate(), 1.2);
    setShadow({0.12, 8, QPointF(0, 4)});
    setToolTip(QStringLiteral("调整文字样式"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(5);
    MarkupViewModel *model = &viewModel;
    m_fontSize = new EditorSliderRow(viewModel, QStringLiteral("文字大小"), MarkupViewModel::minimumAnnotationFontSize,
                                     MarkupViewModel::maximumAnnotationFontSize,
                                     [model](double value, bool recordsUndo) {
                                         model->updateSelectedFontSize(value, recordsUndo);
                                     },
                                     this);
    layout->addWidget(m_fontSize);

    auto *colorRow = new QWidget(this);
    auto *colorLayout = new QHBoxLayout(colorRow);
    colorLayout->setContentsMargins(0, 0, 0, 0);
    colorLayout->setSpacing(8);
    colorLayout->addWidget(AnnotationEditorChrome::rowLabel(QStringLiteral("颜色"), colorRow));
    for (const AnnotationColorPresets::Preset &preset : AnnotationColorPresets::all()) {
        auto *swatch = new ColorSwatchButton(preset.name, preset.hex, ColorSwatchButton::Style::Small, colorRow);
        swatch->setToolTip(preset.name);
        const QString hex = preset.hex;
        connect(swatch, &QAbstractButton::clicked, this, [model, hex] { AnnotationColorPresets::apply(*model, hex); });
        colorLayout->addWidget(swatch);
        m_swatches.push_back(swatch);
    }
    colorLayout->addStretch(1);
    layout->addWidget(colorRow);
    connect(&viewModel, &MarkupViewModel::selectedAnnotationIDChanged, this, &TextStyleEditor::endAdjusting);
}

void TextStyleEditor::sync(const MarkupAnnotation &annotation, QSizeF canvasSize)
{
    const std::optional<MarkupAnnotation> selected = m_viewModel.selectedAnnotation();
    m_fontSize->setValues(selected ? selected->fontSize : 26, PanelChrome::formatNumber(annotation.fontSize, 0));
    for (ColorSwatchButton *swatch : m_swatches)
        swatch->setSelectedSwatch(swatch->hex() == annotation.colorHex);
    setBorderColor(AnnotationEditorChrome::annotationBorder(annotation));
    setCanvasRect(PanelPlacement::rectAround(PanelPlacement::textStyleEditorCentre(annotation, canvasSize),
                                             PanelPlacement::textStyleEditorSize()));
}
