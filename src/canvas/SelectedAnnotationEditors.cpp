#include "canvas/SelectedAnnotationEditors.h"

#include "canvas/PanelPlacement.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/HexColor.h"
#include "model/MarkupViewModel.h"
#include "ui/PanelChrome.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace AnnotationColorPresets {

const std::vector<Preset> &all()
{
    static const std::vector<Preset> presets{
        {QStringLiteral("红色"), QStringLiteral("#DC2626")},
        {QStringLiteral("黄色"), QStringLiteral("#F59E0B")},
        {QStringLiteral("蓝色"), QStringLiteral("#2563EB")},
        {QStringLiteral("绿色"), QStringLiteral("#059669")},
    };
    return presets;
}

void apply(MarkupViewModel &viewModel, const QString &hex)
{
    StylePreset preset = viewModel.stylePreset();
    preset.colorHex = hex;
    viewModel.setStylePreset(preset);
    viewModel.saveStylePreset();
    const std::optional<MarkupAnnotation> selected = viewModel.selectedAnnotation();
    // Without a selected annotation there is nothing to recolour, and a snapshot would only add
    // an undo step that restores nothing.
    if (!selected || selected->colorHex == hex)
        return;
    viewModel.recordUndoSnapshot(std::nullopt);
    viewModel.setSelectedAnnotationColorHex(hex);
}

} // namespace AnnotationColorPresets

namespace {

constexpr int sliderScale = 100;

QColor panelFill()
{
    return PanelChrome::withAlpha(Qt::white, 0.7);
}

QColor annotationBorder(const MarkupAnnotation &annotation)
{
    return PanelChrome::withAlpha(HexColor::uiColor(annotation.colorHex), 0.72);
}

QLabel *rowLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(AppFont::font(11, QFont::Bold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, AppTheme::secondaryText());
    label->setPalette(palette);
    label->setFixedWidth(52);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

} // namespace

// ---- EditorSliderRow -------------------------------------------------------------------------------

EditorSliderRow::EditorSliderRow(MarkupViewModel &viewModel, const QString &label, double minimum, double maximum,
                                 Apply apply, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_apply(std::move(apply))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_label = rowLabel(label, this);
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

// ---- AnnotationSizeEditor ----------------------------------------------------------------------------

AnnotationSizeEditor::AnnotationSizeEditor(MarkupViewModel &viewModel, QWidget *parent)
    : FloatingPanel(parent)
    , m_viewModel(viewModel)
{
    setChrome(panelFill(), 8, AppTheme::lightSlate(), 1.2);
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
    setBorderColor(annotationBorder(annotation));
    setCanvasRect(PanelPlacement::rectAround(PanelPlacement::sizeEditorCentre(annotation, canvasSize),
                                             PanelPlacement::sizeEditorSize(annotation.kind)));
}

void AnnotationSizeEditor::endAdjusting()
{
    m_lineWidth->endAdjusting();
    m_fontSize->endAdjusting();
}

// ---- TextStyleEditor -------------------------------------------------------------------------------

TextStyleEditor::TextStyleEditor(MarkupViewModel &viewModel, QWidget *parent)
    : FloatingPanel(parent)
    , m_viewModel(viewModel)
{
    setChrome(panelFill(), 8, AppTheme::lightSlate(), 1.2);
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
    colorLayout->addWidget(rowLabel(QStringLiteral("颜色"), colorRow));
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
    setBorderColor(annotationBorder(annotation));
    setCanvasRect(PanelPlacement::rectAround(PanelPlacement::textStyleEditorCentre(annotation, canvasSize),
                                             PanelPlacement::textStyleEditorSize()));
}

// ---- CurveToggle -----------------------------------------------------------------------------------

CurveToggle::CurveToggle(MarkupViewModel &viewModel, QWidget *parent)
    : FloatingPanel(parent)
{
    setChrome(PanelChrome::withAlpha(Qt::white, 0.7), 16, AppTheme::lightSlate(), 1);
    setShadow({0.14, 5, QPointF(0, 2)});
    PanelButton::Look look;
    look.foreground = AppTheme::navy();
    look.circle = true;
    look.font = AppFont::font(13, QFont::Bold);
    look.iconSize = 15;
    m_button = new PanelButton(QStringLiteral("arrow.triangle.2.circlepath"), QString(), look, this);
    m_button->setCornerRadius(8);
    m_button->setGeometry(0, 0, 32, 32);
    m_button->setToolTip(QStringLiteral("切换箭头弧度方向"));
    m_button->setAccessibleName(QStringLiteral("切换箭头弧度方向"));
    MarkupViewModel *model = &viewModel;
    connect(m_button, &QAbstractButton::clicked, this, [model] { model->toggleSelectedArrowCurveDirection(); });
    resize(32, 32);
}

void CurveToggle::sync(const MarkupAnnotation &annotation, QSizeF canvasSize)
{
    setCanvasRect(PanelPlacement::rectAround(PanelPlacement::curveToggleCentre(annotation, canvasSize),
                                             PanelPlacement::curveToggleSize()));
}

// ---- LabelWidthHandle --------------------------------------------------------------------------------

LabelWidthHandle::LabelWidthHandle(QWidget *parent)
    : FloatingPanel(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setShadow({0.16, 3, QPointF(0, 1)});
    setToolTip(QStringLiteral("拖拽调整文字框宽度"));
    resize(16, 16);
}

bool LabelWidthHandle::sync(const MarkupAnnotation &annotation, QSizeF canvasSize)
{
    const std::optional<QPointF> centre = PanelPlacement::labelWidthHandleCentre(annotation, canvasSize);
    if (!centre)
        return false;
    setCanvasRect(PanelPlacement::rectAround(*centre, PanelPlacement::labelWidthHandleSize()));
    return true;
}

void LabelWidthHandle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(PanelChrome::withAlpha(Qt::white, 0.7));
    painter.setPen(QPen(AppTheme::navy(), 2));
    painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
}
