#include "canvas/EditorSliderRow.h"

#include "canvas/AnnotationEditorChrome.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "ui/PanelChrome.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

#include <cmath>

namespace {

constexpr int sliderScale = 100;

} // namespace

EditorSliderRow::EditorSliderRow(MarkupViewModel &viewModel, const QString &label, double minimum, double maximum,
                                 Apply apply, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_apply(std::move(apply))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_label = AnnotationEditorChrome::rowLabel(label, this);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setFixedWidth(100);
    m_slider->setRange(int(std::lround(minimum * sliderScale)), int(std::lround(maximum * sliderScale)));
    m_slider->setSingleStep(10);
    m_slider->setPageStep(100);
    m_slider->setAccessibleName(label);
    m_slider->setFocusPolicy(Qt::NoFocus);
    m_value = new QLabel(this);
    m_value->setFont(PanelChrome::monospaceFont(11, QFont::DemiBold));
    QPalette palette = m_value->palette();
    palette.setColor(QPalette::WindowText, AppTheme::darkSlate());
    m_value->setPalette(palette);
    m_value->setFixedWidth(28);
    m_value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(m_label);
    layout->addWidget(m_slider);
    layout->addWidget(m_value);
    layout->addStretch(1);

    // A press starts a new drag and a release ends it; both forget the previous drag, so a drag
    // after a keyboard step or a groove click still records its own step.
    connect(m_slider, &QSlider::sliderPressed, this, [this] { m_adjusting = false; });
    connect(m_slider, &QSlider::sliderReleased, this, [this] { m_adjusting = false; });
    connect(m_slider, &QSlider::valueChanged, this, &EditorSliderRow::valueChanged);
}

void EditorSliderRow::valueChanged(int value)
{
    const bool dragging = m_slider->isSliderDown();
    const bool recordsUndo = !(dragging && m_adjusting);
    const std::optional<MarkupAnnotation> before = m_viewModel.selectedAnnotation();
    m_apply(double(value) / sliderScale, recordsUndo);
    // The view model records a snapshot exactly when it changes the annotation, so only a change
    // proves the drag's step was taken; an unchanged value leaves the next change to record it.
    if (dragging && recordsUndo && m_viewModel.selectedAnnotation() != before)
        m_adjusting = true;
    if (!dragging)
        m_adjusting = false;
}

void EditorSliderRow::setValues(double sliderValue, const QString &valueText)
{
    const QSignalBlocker blocker(m_slider);
    m_slider->setValue(int(std::lround(sliderValue * sliderScale)));
    m_value->setText(valueText);
}

void EditorSliderRow::setLabelText(const QString &text)
{
    m_label->setText(text);
    m_slider->setAccessibleName(text);
}
