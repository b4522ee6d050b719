#include "canvas/CanvasSurface.h"

#include "canvas/CanvasFramePainting.h"
#include "canvas/CanvasFrameSource.h"
#include "canvas/CanvasInputWidget.h"
#include "canvas/CanvasPanelMount.h"
#include "canvas/CanvasPointerCoordinator.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "platform/PaintBands.h"
#include "platform/ParallelWork.h"
#include "ui/CardShadow.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr double canvasCornerRadius = 6;
// The card's shadow: black at 0.12, blurred by 18 points, 10 points down.
constexpr int canvasShadowBlur = 18;
constexpr double canvasShadowOffsetY = 10;
constexpr int shadowPad = 2 * canvasShadowBlur;
// How long the wheel must rest before the annotations are drawn exactly at the new zoom.
constexpr int transientZoomRestMs = 150;

const std::vector<MarkupAnnotation> &noAnnotations()
{
    static const std::vector<MarkupAnnotation> none;
    return none;
}

} // namespace

CanvasSurface::CanvasSurface(MarkupViewModel *viewModel, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel), m_areaBackground(AppTheme::paleSlate())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("图片标注画布"));
    m_input = new CanvasInputWidget(this);
    m_input->hide();
    if (viewModel) {
        m_coordinator = std::make_unique<CanvasPointerCoordinator>(*viewModel, [this] { return canvasSize(); });
        m_coordinator->deleteAction = [this] { return m_deleteAction ? m_deleteAction() : false; };
        CanvasPointerCoordinator *c = m_coordinator.get();
        m_input->onLeftDown = [this, c](QPointF p, int clicks, Qt::KeyboardModifiers m) {
            c->setCropping(m_isCropping);
            c->handleLeftDown(p, clicks, m);
            m_isCropping = c->isCropping();
        };
        m_input->onLeftDragChanged = [this, c](QPointF p, Qt::KeyboardModifiers m) {
            c->handleLeftDrag(p, m);
            m_isCropping = c->isCropping();
        };
        m_input->onLeftDragEnded = [this, c](QPointF p) {
            c->handleLeftUp(p);
            m_isCropping = c->isCropping();
        };
        m_input->onHoverChanged = [c](std::optional<QPointF> p) { c->handleHover(p); };
        m_input->onEscape = [this, c] {
            c->handleEscape();
            m_isCropping = false;
        };
        m_input->onDelete = [c] { c->handleDelete(); };

        for (auto signal : {&MarkupViewModel::itemsChanged, &MarkupViewModel::selectedItemIDChanged,
                            &MarkupViewModel::selectedAnnotationIDChanged,
                            &MarkupViewModel::selectedAnnotationIDsChanged, &MarkupViewModel::draftAnnotationChanged,
                            &MarkupViewModel::selectionRectChanged, &MarkupViewModel::cropRectChanged,
                            &MarkupViewModel::editingTextAnnotationIDChanged, &MarkupViewModel::zoomChanged,
                            &MarkupViewModel::colorSamplePreviewChanged, &MarkupViewModel::selectedToolChanged})
            connect(viewModel, signal, this, &CanvasSurface::scheduleSync);
        // The floating panels of the current state (editors, inline text, eyedropper, crop).
        CanvasPanelMount::mount(*this, *viewModel);
    }
    scheduleSync();
}

CanvasSurface::~CanvasSurface() = default;

void CanvasSurface::beginTransientZoom(double zoom)
{
    if (!m_transientZoomRest) {
        m_transientZoomRest = new QTimer(this);
        m_transientZoomRest->setSingleShot(true);
        m_transientZoomRest->setInterval(transientZoomRestMs);
        connect(m_transientZoomRest, &QTimer::timeout, this, [this] {
            m_transientZoom.reset();
            scheduleSync();
            update();
        });
    }
    m_transientZoom = zoom;
    m_transientZoomRest->start();
}

bool CanvasSurface::isTransientZoom() const
{
    return m_transientZoom && m_viewModel && m_viewModel->zoom() == *m_transientZoom;
}

void CanvasSurface::setCanvasPlacement(QSizeF fitSize, QPointF centre)
{
    if (fitSize == m_fitSize && centre == m_centre)
        return;
    m_fitSize = fitSize;
    m_centre = centre;
    layoutInput();
    scheduleSync();
    update();
    Q_EMIT canvasGeometryChanged();
}

QSizeF CanvasSurface::canvasSize() const
{
    const double zoom = m_viewModel ? m_viewModel->zoom() : 1.0;
    return QSizeF(std::max(m_fitSize.width() * zoom, 1.0), std::max(m_fitSize.height() * zoom, 1.0));
}

QPointF CanvasSurface::canvasOrigin() const
{
    const QSizeF size = canvasSize();
    return m_centre - QPointF(size.width() / 2, size.height() / 2);
}

QRectF CanvasSurface::canvasRect() const
{
    return QRectF(canvasOrigin(), canvasSize());
}

Rect CanvasSurface::visibleCanvasRect() const
{
    const QPointF origin = canvasOrigin();
    const Rect visible = Rect(origin, canvasSize()).intersected(Rect(0, 0, width(), height()));
    if (visible.isNull() || visible.isEmpty())
        return Rect::null();
    return visible.offsetBy(-origin.x(), -origin.y());
}

void CanvasSurface::setFrameSource(CanvasFrameSource *source, bool shows)
{
    if (m_frameSource)
        disconnect(m_frameSource, nullptr, this, nullptr);
    m_frameSource = source;
    m_showsFrameSource = shows;
    if (source)
        connect(source, &CanvasFrameSource::frameChanged, this, [this] { update(canvasRect().toAlignedRect()); });
    update();
}

void CanvasSurface::setAreaBackground(const QColor &color)
{
    m_areaBackground = color;
    update();
}

void CanvasSurface::setPanel(CanvasPanel panel, QWidget *widget)
{
    if (QWidget *old = m_panels[panel])
        old->hide();
    m_panels[panel] = widget;
    if (widget) {
        widget->setParent(this);
        // A press on a panel's background must not fall through to the canvas.
        widget->setAttribute(Qt::WA_NoMousePropagation);
    }
    // Stack in layer order above the input widget.
    m_input->raise();
    for (auto &[kind, w] : m_panels) {
        if (w)
            w->raise();
    }
    updatePanels();
}

QWidget *CanvasSurface::panel(CanvasPanel panel) const
{
    const auto it = m_panels.find(panel);
    return it == m_panels.end() ? nullptr : it->second.data();
}

CanvasPanelState CanvasSurface::panelState() const
{
    CanvasPanelState state;
    if (!m_viewModel)
        return state;
    state.selectedTool = m_viewModel->selectedTool();
    state.hasColorSamplePreview = m_viewModel->colorSamplePreview().has_value();
    state.selectedAnnotation = m_viewModel->selectedAnnotation();
    state.editingTextAnnotationID = m_viewModel->editingTextAnnotationID();
    state.cropRect = m_viewModel->cropRect();
    return state;
}

void CanvasSurface::updatePanels()
{
    if (m_panels.empty())
        return;
    const std::set<CanvasPanel> visible = CanvasPanels::visiblePanels(panelState());
    for (auto &[kind, widget] : m_panels) {
        if (widget)
            widget->setVisible(visible.count(kind) > 0);
    }
}

void CanvasSurface::layoutInput()
{
    const Rect visible = visibleCanvasRect();
    m_input->setCanvasSize(canvasSize());
    if (visible.isNull()) {
        // Nothing of the canvas is on screen: it takes no pointer or key input.
        m_input->hide();
        return;
    }
    const QPointF origin = canvasOrigin();
    const QRect geometry = QRectF(visible.x + origin.x(), visible.y + origin.y(), visible.width, visible.height)
                               .toAlignedRect()
                               .intersected(rect());
    m_input->setGeometry(geometry);
    // The widget covers whole pixels; its origin is taken back into canvas points exactly.
    m_input->setCanvasOrigin(QPointF(geometry.topLeft()) - origin);
    // Shown again without taking the focus: an inline editor may be typing.
    m_input->show();
}

void CanvasSurface::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutInput();
    scheduleSync();
}

void CanvasSurface::scheduleSync()
{
    if (m_syncPending)
        return;
    m_syncPending = true;
    QTimer::singleShot(0, this, [this] { flushPendingChanges(); });
}

const std::vector<MarkupAnnotation> &CanvasSurface::currentAnnotations() const
{
    if (!m_viewModel)
        return noAnnotations();
    const std::optional<qsizetype> index = m_viewModel->selectedIndex();
    if (!index)
        return noAnnotations();
    return m_viewModel->items()[size_t(*index)].annotations;
}

void CanvasSurface::syncPicture()
{
    const ImageHandle handle = m_viewModel ? m_viewModel->image() : ImageHandle();
    if (handle.sharesPictureWith(m_pictureHandle) && !m_pyramid.isNull() == !handle.isNull())
        return;
    m_pictureHandle = handle;
    m_pyramid = handle.isNull() ? ImagePyramid() : ImagePyramid(handle.image());
    update();
}

QRegion CanvasSurface::flushPendingChanges()
{
    m_syncPending = false;
    if (!m_viewModel)
        return {};
    syncPicture();
    const QSizeF size = canvasSize();
    if (size != m_syncedCanvasSize) {
        m_syncedCanvasSize = size;
        layoutInput();
        update();
        Q_EMIT canvasGeometryChanged();
    }
    // During a wheel burst the annotations are shown scaled from the kept picture; they are built
    // again for the new size once the wheel rests (the rest makes this run again).
    AnnotationOverlay::Damage damage;
    if (isTransientZoom())
        damage.everything = true;
    else
        damage = m_overlay.update(currentAnnotations(), currentDecorations(), size);
    updatePanels();

    QRegion region;
    const QRectF card = canvasRect();
    if (damage.everything) {
        region = QRegion(card.toAlignedRect().adjusted(-1, -1, 1, 1)).intersected(rect());
    } else if (!damage.area.isNull()) {
        const QRectF area = damage.area.toQRectF().translated(card.topLeft()).intersected(card);
        region = QRegion(area.toAlignedRect().adjusted(-1, -1, 1, 1)).intersected(rect());
    }
    if (!region.isEmpty())
        update(region);
    return region;
}

AnnotationOverlayDecorations CanvasSurface::currentDecorations() const
{
    return {m_viewModel->draftAnnotation(),       m_viewModel->selectedAnnotationID(),
            m_viewModel->selectedAnnotationIDs(), m_viewModel->selectionRect(),
            m_viewModel->cropRect(),              m_viewModel->editingTextAnnotationID()};
}

void CanvasSurface::setControlShadows(std::vector<QRectF> rects)
{
    if (rects == m_controlShadows)
        return;
    for (const QRectF &r : m_controlShadows)
        update(r.adjusted(-20, -20, 20, 24).toAlignedRect());
    m_controlShadows = std::move(rects);
    for (const QRectF &r : m_controlShadows)
        update(r.adjusted(-20, -20, 20, 24).toAlignedRect());
}

void CanvasSurface::paintEvent(QPaintEvent *event)
{
    if (m_syncPending)
        flushPendingChanges();
    QPainter painter(this);
    const QRect clip = event->rect();
    const QRectF card = canvasRect();
    const QRect visible = card.toAlignedRect().intersected(rect());
    const QRect area = visible.intersected(clip);

    // Drawing the annotations' picture whole (after a zoom, a pan or a new list) is most of such a
    // paint. It goes to the worker threads while this one paints the background and the image
    // below, and is shown when both are done.
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const bool transient = isTransientZoom();
    std::optional<ParallelWork::Background> overlayWork;
    if (!area.isEmpty() && !transient && m_overlay.needsPreparation(card.topLeft(), visible, dpr))
        overlayWork.emplace([this, origin = card.topLeft(), visible, dpr] { m_overlay.prepare(origin, visible, dpr); });

    if (m_cardShadow.isNull()) {
        m_cardShadow = QPixmap::fromImage(CardShadow::image(canvasShadowBlur, canvasCornerRadius));
        m_controlShadow = QPixmap::fromImage(CardShadow::image(8, 8));
    }
    if (!card.contains(QRectF(clip))) {
        painter.fillRect(clip, m_areaBackground);
        if (card.adjusted(-shadowPad, -shadowPad, shadowPad, shadowPad + canvasShadowOffsetY).intersects(QRectF(clip)))
            CardShadow::paint(painter, card, m_cardShadow, canvasShadowBlur, canvasShadowOffsetY);
    }

    if (area.isEmpty())
        return;

    painter.save();
    // The rounded corners need a path clip, which is slow; take it only where a corner is repainted.
    const double r = canvasCornerRadius;
    const QRectF corners[] = {QRectF(card.left(), card.top(), r, r), QRectF(card.right() - r, card.top(), r, r),
                              QRectF(card.left(), card.bottom() - r, r, r),
                              QRectF(card.right() - r, card.bottom() - r, r, r)};
    QPainterPath rounded;
    rounded.addRoundedRect(card, r, r);
    bool needsRoundClip = false;
    for (const QRectF &corner : corners)
        needsRoundClip = needsRoundClip || corner.intersects(QRectF(area));
    if (needsRoundClip) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setClipPath(rounded, Qt::IntersectClip);
    } else {
        painter.setClipRect(card, Qt::IntersectClip);
    }
    // While the worker threads are busy, the large draws below go in bands, so that the painter
    // does not wait for them; the rounded clip breaks rows into several spans and needs narrower
    // bands. An idle pool shares the draws out at once.
    const int bandRows = !PaintBands::workersBusy() ? 0
                       : needsRoundClip             ? PaintBands::roundedClipRows
                                                    : PaintBands::rectClipRows;
    painter.fillRect(area, Qt::white);

    const bool showsFrame = m_frameSource && m_showsFrameSource;
    if (showsFrame) {
        const QImage frame = m_frameSource->currentFrame();
        if (!frame.isNull())
            CanvasFramePainting::paint(painter, *m_frameSource, frame, card, dpr);
    } else {
        m_pyramid.draw(painter, card, QRectF(area), bandRows);
    }
    if (overlayWork)
        overlayWork->wait();
    if (!transient || !m_overlay.paintScaled(painter, card.topLeft(), card.size(), visible, area, bandRows)) {
        // Nothing kept to scale: the annotations are brought to the new size now.
        if (transient && m_viewModel)
            m_overlay.update(currentAnnotations(), currentDecorations(), card.size());
        m_overlay.paint(painter, card.topLeft(), visible, area, bandRows);
    }
    painter.restore();

    if (needsRoundClip || !card.adjusted(1, 1, -1, -1).contains(QRectF(clip))) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPen border(AppTheme::lightSlate(), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        border.setMiterLimit(10);
        painter.setPen(border);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(rounded);
    }
    // Floating controls of the owner (the fit button) cast their small shadows onto the canvas.
    for (const QRectF &control : m_controlShadows) {
        if (control.adjusted(-16, -16, 16, 20).intersects(QRectF(clip)))
            CardShadow::paint(painter, control, m_controlShadow, 8, 4);
    }
    CanvasPanelMount::paintShadows(painter, *this, clip);
}
