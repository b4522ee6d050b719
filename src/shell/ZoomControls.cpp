#include "shell/ZoomControls.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "shell/ShellRules.h"
#include "ui/ControlPainting.h"
#include "ui/SymbolButton.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

ZoomControls::ZoomControls(MarkupViewModel &viewModel, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
{
    setFixedHeight(44);
    // Exactly as wide as its parts: the header narrows it through the slider alone.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 0, 10, 0);
    layout->setSpacing(8);

    auto *zoomOut = new SymbolButton(QStringLiteral("minus.magnifyingglass"), 32, 17, AppTheme::darkSlate(), 8, this);
    zoomOut->setToolTip(QStringLiteral("缩小画布视图，不改变图片实际大小"));
    zoomOut->setAccessibleName(QStringLiteral("缩小"));
    m_zoomOut = zoomOut;

    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(int(MarkupViewModel::minimumZoom * sliderScale), int(MarkupViewModel::maximumZoom * sliderScale));
    // 132 wide when there is room; the header squeezes it (setSliderWidth) before any title.
    m_slider->setFixedWidth(preferredSliderWidth);
    m_slider->setToolTip(QStringLiteral("拖动调整画布缩放比例"));
    m_slider->setAccessibleName(QStringLiteral("缩放"));
    m_slider->setFocusPolicy(Qt::NoFocus);

    m_percent = new QLabel(this);
    QFont mono = AppFont::font(TypeScale::body, QFont::DemiBold);
    mono.setStyleHint(QFont::Monospace);
    m_percent->setFont(mono);
    m_percent->setStyleSheet(QStringLiteral("color: #334155;"));
    m_percent->setFixedWidth(56);
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto *zoomIn = new SymbolButton(QStringLiteral("plus.magnifyingglass"), 32, 17, AppTheme::darkSlate(), 8, this);
    zoomIn->setToolTip(QStringLiteral("放大画布视图，方便查看细节"));
    zoomIn->setAccessibleName(QStringLiteral("放大"));
    m_zoomIn = zoomIn;

    layout->addWidget(m_zoomOut);
    layout->addWidget(m_slider);
    layout->addWidget(m_percent);
    layout->addWidget(m_zoomIn);

    connect(m_zoomOut, &QAbstractButton::clicked, this,
            [this] { m_viewModel.setZoom(ShellRules::steppedZoom(m_viewModel.zoom(), -0.1)); });
    connect(m_zoomIn, &QAbstractButton::clicked, this,
            [this] { m_viewModel.setZoom(ShellRules::steppedZoom(m_viewModel.zoom(), 0.1)); });
    // Only moves made by the user reach the model; syncFromModel() blocks the slider's signals.
    connect(m_slider, &QSlider::valueChanged, this,
            [this](int value) { m_viewModel.setZoom(double(value) / sliderScale); });
    connect(&m_viewModel, &MarkupViewModel::zoomChanged, this, &ZoomControls::syncFromModel);
    syncFromModel();
}

QString ZoomControls::percentText() const { return m_percent->text(); }

void ZoomControls::setSliderWidth(int width)
{
    width = std::clamp(width, minimumSliderWidth, preferredSliderWidth);
    if (m_slider->minimumWidth() == width)
        return;
    m_slider->setFixedWidth(width);
    // The cluster's own width changes with it; tell the header's layout at once.
    layout()->invalidate();
    updateGeometry();
}

void ZoomControls::syncFromModel()
{
    const QSignalBlocker blocker(m_slider);
    const double zoom = m_viewModel.zoom();
    m_slider->setValue(std::isfinite(zoom) ? int(std::lround(zoom * sliderScale)) : m_slider->minimum());
    m_percent->setText(ShellRules::zoomPercentText(zoom));
}

void ZoomControls::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    ControlPainting::roundedPanel(painter, rect(), 8, AppTheme::paleGray(), QColor());
}
