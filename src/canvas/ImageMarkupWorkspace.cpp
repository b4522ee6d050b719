#include "canvas/ImageMarkupWorkspace.h"

#include "canvas/CanvasSurface.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "platform/SymbolIcons.h"
#include "ui/FeedbackButton.h"
#include "ui/WorkspaceViewportEventLayer.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

// The fit button: a white rounded square with a thin border and the viewfinder symbol.
class FitButton final : public FeedbackButton {
public:
    explicit FitButton(QWidget *parent) : FeedbackButton(QString(), 8, parent) {}

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override
    {
        QPainterPath path;
        path.addRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        painter.fillPath(path, Qt::white);
        painter.setPen(QPen(AppTheme::lightSlate(), 1));
        painter.drawPath(path);
        FeedbackButton::paintContent(painter, rect);
    }
};

} // namespace


ImageMarkupWorkspace::ImageMarkupWorkspace(MarkupViewModel *viewModel, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_surface = new CanvasSurface(viewModel, this);
    m_fitButton = new FitButton(this);
    m_fitButton->setFixedSize(38, 38);
    m_fitButton->setIcon(SymbolIcons::icon(QStringLiteral("viewfinder"), AppTheme::darkSlate()));
    m_fitButton->setIconSize(QSize(18, 18));
    m_fitButton->setFont(AppFont::font(TypeScale::title, QFont::DemiBold));
    m_fitButton->setToolTip(QStringLiteral("图片自适应窗口"));
    m_fitButton->setAccessibleName(QStringLiteral("图片自适应窗口"));
    m_fitButton->setFocusPolicy(Qt::NoFocus);
    connect(m_fitButton, &QAbstractButton::clicked, this, [this] {
        if (m_fitCanvasAction)
            m_fitCanvasAction();
    });

    m_viewport = new WorkspaceViewportEventLayer(this);
    m_viewport->zoom = [this] { return m_viewModel ? m_viewModel->zoom() : 1.0; };
    m_viewport->setZoom = [this](double zoom) {
        if (!m_viewModel)
            return;
        // Wheel and pinch steps come in bursts: the surface scales its kept annotations meanwhile.
        m_viewModel->setZoom(zoom);
        m_surface->beginTransientZoom(m_viewModel->zoom());
    };
    m_viewport->panOffset = [this] { return m_panOffset; };
    m_viewport->setPanOffset = [this](QSizeF offset) { setPanOffset(offset); };
    m_viewport->sideButtonAction = [this](CanvasMouseButtonAction action) {
        return m_mouseButtonAction ? m_mouseButtonAction(action) : false;
    };

    if (viewModel) {
        m_viewport->setPointerSettings(viewModel->pointerInteractionSettings());
        connect(viewModel, &MarkupViewModel::pointerInteractionSettingsChanged, this,
                [this] { m_viewport->setPointerSettings(m_viewModel->pointerInteractionSettings()); });
        for (auto signal : {&MarkupViewModel::zoomChanged, &MarkupViewModel::selectedItemIDChanged,
                            &MarkupViewModel::itemsChanged})
            connect(viewModel, signal, this, &ImageMarkupWorkspace::relayout);
    }
    relayout();
}

ImageMarkupWorkspace::~ImageMarkupWorkspace() = default;

namespace {

// The current image's pixel size, read without copying its annotations (this runs on every
// change of the image list, so on every drag step).
std::optional<QSizeF> currentPixelSize(const MarkupViewModel *viewModel)
{
    if (!viewModel)
        return std::nullopt;
    const std::optional<qsizetype> index = viewModel->selectedIndex();
    if (!index)
        return std::nullopt;
    return viewModel->items()[size_t(*index)].pixelSize;
}

} // namespace

bool ImageMarkupWorkspace::hasCanvas() const
{
    return currentPixelSize(m_viewModel) && !m_viewModel->image().isNull();
}

void ImageMarkupWorkspace::setPanOffset(QSizeF offset)
{
    if (offset == m_panOffset)
        return;
    m_panOffset = offset;
    relayout();
    Q_EMIT panOffsetChanged(offset);
}

void ImageMarkupWorkspace::setCancelSignal(int signal)
{
    if (signal == m_cancelSignal)
        return;
    m_cancelSignal = signal;
    setPanOffset(QSizeF(0, 0));
}

void ImageMarkupWorkspace::setEmptyState(QWidget *emptyState)
{
    if (m_emptyState && m_emptyState != emptyState)
        m_emptyState->hide();
    m_emptyState = emptyState;
    if (emptyState)
        emptyState->setParent(this);
    relayout();
}

void ImageMarkupWorkspace::setDeleteAction(std::function<bool()> action)
{
    m_surface->setDeleteAction(std::move(action));
}

void ImageMarkupWorkspace::setMouseButtonAction(std::function<bool(CanvasMouseButtonAction)> action)
{
    m_mouseButtonAction = std::move(action);
}

WorkspaceCanvasGeometry ImageMarkupWorkspace::canvasGeometry() const
{
    const QSizeF pixelSize = currentPixelSize(m_viewModel).value_or(QSizeF(0, 0));
    return WorkspaceGeometry::compute(QSizeF(size()), pixelSize, m_viewModel ? m_viewModel->zoom() : 1.0,
                                      m_panOffset);
}

void ImageMarkupWorkspace::relayout()
{
    const bool canvas = hasCanvas();
    m_surface->setVisible(canvas);
    m_fitButton->setVisible(canvas);
    // Without an image there is nothing to zoom or pan: wheel and side buttons do nothing here.
    m_viewport->setActive(canvas);
    if (m_emptyState) {
        m_emptyState->setVisible(!canvas);
        m_emptyState->setGeometry(rect());
    }
    if (!canvas) {
        update();
        return;
    }
    const WorkspaceCanvasGeometry geometry = canvasGeometry();
    m_surface->setGeometry(rect());
    m_surface->setCanvasPlacement(geometry.fitSize, geometry.centre);
    m_fitButton->move(width() - 18 - 38, height() - 18 - 38);
    m_fitButton->raise();
    m_surface->setControlShadows({QRectF(m_fitButton->geometry())});
}

void ImageMarkupWorkspace::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void ImageMarkupWorkspace::paintEvent(QPaintEvent *)
{
    // Only seen while there is no canvas (the canvas paints the whole area itself).
    QPainter painter(this);
    painter.fillRect(rect(), AppTheme::paleSlate());
}
