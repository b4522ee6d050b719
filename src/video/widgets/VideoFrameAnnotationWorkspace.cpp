#include "video/widgets/VideoFrameAnnotationWorkspace.h"

#include "canvas/CanvasFrameSource.h"
#include "canvas/CanvasSurface.h"
#include "canvas/ToolColumn.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "platform/SymbolIcons.h"
#include "ui/WorkspaceViewportEventLayer.h"
#include "video/VideoFrameAnnotationStore.h"
#include "video/widgets/VideoTransportPanel.h"

#include <QChildEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace VideoCanvasGeometry {

WorkspaceCanvasGeometry compute(QSizeF area, QSizeF pixelSize, double zoom, QSizeF panOffset)
{
    WorkspaceCanvasGeometry g;
    g.fitSize = QSizeF(0, 0);
    const double available = area.height() - 104;
    if (pixelSize.width() > 0 && pixelSize.height() > 0) {
        const double scale = std::min(std::max(area.width() - 64, 240.0) / pixelSize.width(),
                                      std::max(available - 48, 240.0) / pixelSize.height());
        g.fitSize = QSizeF(pixelSize.width() * scale, pixelSize.height() * scale);
    }
    g.displayedSize = QSizeF(std::max(g.fitSize.width() * zoom, 1.0), std::max(g.fitSize.height() * zoom, 1.0));
    g.centre = QPointF(area.width() / 2 + panOffset.width(), available / 2 + panOffset.height());
    g.canvasRect = QRectF(g.centre - QPointF(g.displayedSize.width() / 2, g.displayedSize.height() / 2),
                          g.displayedSize);
    g.visibleCanvasRect = WorkspaceGeometry::visibleCanvasPart(g.canvasRect, area);
    return g;
}

} // namespace VideoCanvasGeometry

namespace {

// Paints one flat colour behind its children.
class FilledWidget final : public QWidget {
public:
    FilledWidget(QColor color, QWidget *parent) : QWidget(parent), m_color(std::move(color)) {}

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), m_color); }

private:
    QColor m_color;
};

} // namespace

VideoFrameAnnotationWorkspace::VideoFrameAnnotationWorkspace(VideoFrameAnnotationStore *store,
                                                             MarkupViewModel *viewModel,
                                                             CanvasFrameSource *frameSource,
                                                             VideoWorkspaceActions actions, QWidget *parent)
    : QWidget(parent), m_store(store), m_viewModel(viewModel), m_frameSource(frameSource), m_actions(std::move(actions))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    buildToolColumn();
    row->addWidget(m_toolColumn);
    auto *divider = new FilledWidget(AppTheme::lightSlate(), this);
    divider->setFixedWidth(1);
    row->addWidget(divider);
    buildArea();
    row->addWidget(m_area, 1);

    if (viewModel) {
        connect(viewModel, &MarkupViewModel::toolOrderChanged, this, &VideoFrameAnnotationWorkspace::rebuildToolButtons);
        connect(viewModel, &MarkupViewModel::selectedToolChanged, this,
                &VideoFrameAnnotationWorkspace::refreshToolButtons);
        connect(viewModel, &MarkupViewModel::pointerInteractionSettingsChanged, this,
                [this] { m_viewport->setPointerSettings(m_viewModel->pointerInteractionSettings()); });
        for (auto signal : {&MarkupViewModel::zoomChanged, &MarkupViewModel::selectedItemIDChanged,
                            &MarkupViewModel::itemsChanged})
            connect(viewModel, signal, this, &VideoFrameAnnotationWorkspace::relayout);
    }
    ensureVideoToolSelected();
    if (store)
        connect(store, &VideoFrameAnnotationStore::playerChanged, this, &VideoFrameAnnotationWorkspace::relayout);
    relayout();
}

VideoFrameAnnotationWorkspace::~VideoFrameAnnotationWorkspace() = default;

// ---- Tool column ------------------------------------------------------------------------------

void VideoFrameAnnotationWorkspace::buildToolColumn()
{
    m_toolColumn = new FilledWidget(AppTheme::paleGray(), this);
    m_toolColumn->setFixedWidth(toolColumnWidth);
    auto *column = new QVBoxLayout(m_toolColumn);
    column->setContentsMargins(0, 14, 0, 14);
    column->setSpacing(8);
    column->addStretch(1);
    rebuildToolButtons();
}

void VideoFrameAnnotationWorkspace::rebuildToolButtons()
{
    auto *column = static_cast<QVBoxLayout *>(m_toolColumn->layout());
    for (ToolColumnButton *button : m_toolButtons)
        delete button;
    m_toolButtons.clear();
    if (!m_viewModel)
        return;
    const std::vector<MarkupTool> tools = m_viewModel->videoFrameToolOrder();
    for (size_t index = 0; index < tools.size(); ++index) {
        auto *button = new ToolColumnButton(tools[index], m_toolColumn);
        button->setBadgeText(QString::number(index + 1));
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QAbstractButton::clicked, this, [this, tool = tools[index]] { selectTool(tool); });
        column->insertWidget(int(index), button, 0, Qt::AlignHCenter);
        m_toolButtons.push_back(button);
    }
    refreshToolButtons();
}

void VideoFrameAnnotationWorkspace::refreshToolButtons()
{
    for (ToolColumnButton *button : m_toolButtons)
        button->setCurrent(m_viewModel && m_viewModel->selectedTool() == button->tool());
}

std::vector<ToolColumnButton *> VideoFrameAnnotationWorkspace::toolButtons() const
{
    return m_toolButtons;
}

void VideoFrameAnnotationWorkspace::selectTool(MarkupTool tool)
{
    if (!m_viewModel)
        return;
    m_viewModel->setSelectedTool(tool);
    m_viewModel->setDraftAnnotation(std::nullopt);
}

void VideoFrameAnnotationWorkspace::ensureVideoToolSelected()
{
    if (!m_viewModel)
        return;
    // The video frame's tool list holds exactly the tools that work on a frame.
    const std::vector<MarkupTool> tools = m_viewModel->videoFrameToolOrder();
    if (std::find(tools.begin(), tools.end(), m_viewModel->selectedTool()) == tools.end())
        m_viewModel->setSelectedTool(MarkupTool::Arrow);
}

// ---- Canvas area ------------------------------------------------------------------------------

void VideoFrameAnnotationWorkspace::buildArea()
{
    m_area = new FilledWidget(AppTheme::paleSlate(), this);
    m_area->installEventFilter(this);

    m_surface = new CanvasSurface(m_viewModel, m_area);
    m_surface->setAreaBackground(AppTheme::paleSlate());
    watchCanvasInput(m_surface);
    m_surface->setDeleteAction([this] { return m_actions.deleteAction ? m_actions.deleteAction() : false; });

    // Pan and zoom over the part of the area above the transport panel; clicks pass through.
    m_viewportArea = new QWidget(m_area);
    m_viewportArea->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_viewport = new WorkspaceViewportEventLayer(m_viewportArea);
    m_viewport->zoom = [this] { return m_viewModel ? m_viewModel->zoom() : 1.0; };
    m_viewport->setZoom = [this](double zoom) {
        if (m_viewModel)
            m_viewModel->setZoom(zoom);
    };
    m_viewport->panOffset = [this] { return m_panOffset; };
    m_viewport->setPanOffset = [this](QSizeF offset) { setPanOffset(offset); };
    m_viewport->sideButtonAction = [this](CanvasMouseButtonAction action) {
        return m_actions.mouseButtonAction ? m_actions.mouseButtonAction(action) : false;
    };
    if (m_viewModel)
        m_viewport->setPointerSettings(m_viewModel->pointerInteractionSettings());

    m_fitButton = new TransportButton({QStringLiteral("viewfinder"), QString(), AppTheme::darkSlate(), Qt::white,
                                       AppTheme::lightSlate()},
                                      m_area);
    m_fitButton->setFixedSize(38, 38);
    m_fitButton->setFont(AppFont::font(TypeScale::title, QFont::DemiBold));
    m_fitButton->setToolTip(QStringLiteral("当前帧自适应窗口"));
    m_fitButton->setAccessibleName(QStringLiteral("当前帧自适应窗口"));
    connect(m_fitButton, &QAbstractButton::clicked, this, [this] {
        if (m_actions.fitCanvasAction)
            m_actions.fitCanvasAction();
    });

    m_emptyState = new QWidget(m_area);
    auto *empty = new QVBoxLayout(m_emptyState);
    empty->setContentsMargins(24, 24, 24, 24);
    empty->setSpacing(14);
    empty->addStretch(1);
    auto *symbol = new QLabel(m_emptyState);
    symbol->setPixmap(SymbolIcons::icon(QStringLiteral("video.badge.plus"), AppTheme::navy())
                          .pixmap(QSize(52, 52), devicePixelRatioF()));
    empty->addWidget(symbol, 0, Qt::AlignHCenter);
    m_emptyButton = new TransportButton(
        {QStringLiteral("video.badge.plus"), QStringLiteral("导入视频"), Qt::white, AppTheme::green()}, m_emptyState);
    m_emptyButton->setFont(AppFont::font(TypeScale::emphasis, QFont::Bold));
    m_emptyButton->setFixedSize(132, 42);
    m_emptyButton->setToolTip(QStringLiteral("导入 MP4、MOV 或 M4V 视频，选择画面后保存为图片"));
    connect(m_emptyButton, &QAbstractButton::clicked, this, [this] {
        if (m_actions.importAction)
            m_actions.importAction();
    });
    empty->addWidget(m_emptyButton, 0, Qt::AlignHCenter);
    empty->addStretch(1);

    m_transport = new VideoTransportPanel(m_store, m_viewModel, m_actions, m_area);
}

bool VideoFrameAnnotationWorkspace::hasCanvas() const
{
    return m_viewModel && m_viewModel->selectedIndex() && !m_viewModel->image().isNull();
}

WorkspaceCanvasGeometry VideoFrameAnnotationWorkspace::canvasGeometry() const
{
    QSizeF pixelSize(0, 0);
    if (m_viewModel)
        if (const std::optional<qsizetype> index = m_viewModel->selectedIndex())
            pixelSize = m_viewModel->items()[size_t(*index)].pixelSize;
    return VideoCanvasGeometry::compute(QSizeF(m_area->size()), pixelSize, m_viewModel ? m_viewModel->zoom() : 1.0,
                                        m_panOffset);
}

void VideoFrameAnnotationWorkspace::setPanOffset(QSizeF offset)
{
    if (offset == m_panOffset)
        return;
    m_panOffset = offset;
    relayout();
    Q_EMIT panOffsetChanged(offset);
}

void VideoFrameAnnotationWorkspace::setCancelSignal(int signal)
{
    if (signal == m_cancelSignal)
        return;
    m_cancelSignal = signal;
    setPanOffset(QSizeF(0, 0));
}

void VideoFrameAnnotationWorkspace::relayout()
{
    const QRect area = m_area->rect();
    const bool canvas = hasCanvas();
    m_surface->setVisible(canvas);
    m_fitButton->setVisible(canvas);
    m_emptyState->setVisible(!canvas);
    m_viewport->setActive(canvas);
    // Handed over only when it changes: the surface repaints everything when given a source.
    const bool showsPlayer = m_store && m_store->player() != nullptr;
    if (!m_frameSourceSet || showsPlayer != m_showsPlayer) {
        m_surface->setFrameSource(m_frameSource, showsPlayer);
        m_frameSourceSet = true;
        m_showsPlayer = showsPlayer;
    }

    const int available = std::max(area.height() - 104, 1);
    m_viewportArea->setGeometry(0, (area.height() - available) / 2, area.width(), available);
    const int panelHeight = m_transport->sizeHint().height();
    m_transport->setGeometry(18, area.height() - 16 - panelHeight, std::max(area.width() - 36, 0), panelHeight);
    m_transport->raise();
    m_emptyState->setGeometry(area);

    if (canvas) {
        const WorkspaceCanvasGeometry geometry = canvasGeometry();
        m_surface->setGeometry(area);
        m_surface->setCanvasPlacement(geometry.fitSize, geometry.centre);
        m_fitButton->move(area.width() - 18 - 38, area.height() - 114 - 38);
        m_fitButton->raise();
        m_surface->setControlShadows({QRectF(m_fitButton->geometry()), QRectF(m_transport->geometry())});
    }
}

void VideoFrameAnnotationWorkspace::watchCanvasInput(QObject *object)
{
    object->installEventFilter(this);
    for (QWidget *child : object->findChildren<QWidget *>())
        child->installEventFilter(this);
}

bool VideoFrameAnnotationWorkspace::isCanvasInput(QObject *object) const
{
    auto *widget = qobject_cast<QWidget *>(object);
    return widget && m_surface && (widget == m_surface || m_surface->isAncestorOf(widget));
}

bool VideoFrameAnnotationWorkspace::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_area && event->type() == QEvent::Resize)
        relayout();
    bool asks = false;
    switch (event->type()) {
    case QEvent::ChildAdded:
        // Editors made later are watched too.
        if (isCanvasInput(watched))
            if (QObject *child = static_cast<QChildEvent *>(event)->child(); child && child->isWidgetType())
                watchCanvasInput(child);
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        asks = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        break;
    case QEvent::KeyPress: {
        // A modifier alone, or Escape, changes no annotation (nor does it stop playback).
        const int key = static_cast<QKeyEvent *>(event)->key();
        asks = key != Qt::Key_Escape && key != Qt::Key_Shift && key != Qt::Key_Control && key != Qt::Key_Meta
            && key != Qt::Key_Alt && key != Qt::Key_AltGr && key != Qt::Key_CapsLock;
        break;
    }
    case QEvent::InputMethod:
    case QEvent::TabletPress:
    case QEvent::TouchBegin:
        asks = true;
        break;
    default:
        break;
    }
    if (asks && m_actions.prepareEditAction && isCanvasInput(watched) && !m_actions.prepareEditAction()) {
        event->accept();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void VideoFrameAnnotationWorkspace::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), AppTheme::paleSlate());
}
