#include "comparison/widgets/ImageComparisonWorkspace.h"

#include "comparison/widgets/ComparisonPairListView.h"
#include "comparison/widgets/ComparisonSurface.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "ui/ActionButton.h"
#include "ui/PanelChrome.h"
#include "ui/WorkspaceViewportEventLayer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

constexpr int sidebarWidth = 126;

// A plain coloured panel.
class FilledPanel final : public QWidget {
public:
    FilledPanel(QColor color, QWidget *parent = nullptr) : QWidget(parent), m_color(color) {}

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), m_color); }

private:
    QColor m_color;
};

ActionButton *sidebarButton(const QString &title, const QString &symbol, const QString &help, QWidget *parent)
{
    auto *button = new ActionButton(title, symbol, parent);
    button->setFont(AppFont::font(TypeScale::body, QFont::Bold));
    button->setColors(AppTheme::darkSlate(), AppTheme::surface(), AppTheme::lightSlate());
    button->setToolTip(help);
    button->setAccessibleName(title);
    button->setMinimumHeight(34);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

} // namespace

using PanelChrome::label;

ImageComparisonWorkspace::ImageComparisonWorkspace(MarkupViewModel &viewModel, Bindings bindings, Actions actions,
                                                   QWidget *emptyState, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_bindings(std::move(bindings))
    , m_actions(std::move(actions))
    , m_emptyState(emptyState)
{
    setObjectName(QStringLiteral("imageComparisonWorkspace"));
    m_stack = new QStackedLayout(this);

    auto *emptyPage = new QWidget(this);
    auto *emptyLayout = new QVBoxLayout(emptyPage);
    emptyLayout->setContentsMargins(0, 0, 0, 0);
    if (emptyState)
        emptyLayout->addWidget(emptyState);
    m_stack->addWidget(emptyPage);

    m_content = new QWidget(this);
    auto *row = new QHBoxLayout(m_content);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(makeSidebar());
    auto *divider = new FilledPanel(AppTheme::lightSlate(), m_content);
    divider->setFixedWidth(1);
    row->addWidget(divider);
    m_surface = new ComparisonSurface(m_content);
    row->addWidget(m_surface, 1);
    m_stack->addWidget(m_content);

    m_surface->fractionEdited = [this](double fraction) {
        if (m_bindings.setFraction)
            m_bindings.setFraction(fraction);
    };

    m_viewportLayer = new WorkspaceViewportEventLayer(m_surface);
    m_viewportLayer->setPointerSettings(PointerInteractionSettings{});
    m_viewportLayer->zoom = [this] { return m_viewModel.zoom(); };
    m_viewportLayer->setZoom = [this](double zoom) { m_viewModel.setZoom(zoom); };
    m_viewportLayer->panOffset = [this] { return m_bindings.panOffset ? m_bindings.panOffset() : QSizeF(0, 0); };
    m_viewportLayer->setPanOffset = [this](QSizeF offset) {
        if (m_bindings.setPanOffset)
            m_bindings.setPanOffset(offset);
    };
    m_viewportLayer->sideButtonAction = [](CanvasMouseButtonAction) { return false; };

    connect(&viewModel, &MarkupViewModel::comparisonPairsChanged, this, &ImageComparisonWorkspace::pairsChanged);
    connect(&viewModel, &MarkupViewModel::selectedComparisonPairIDChanged, this, &ImageComparisonWorkspace::pairsChanged);
    connect(&viewModel, &MarkupViewModel::zoomChanged, this, [this] { m_surface->setZoom(m_viewModel.zoom()); });
    m_surface->setZoom(viewModel.zoom());
    panOffsetChanged();
    fractionChanged();
    pairsChanged();
}

ImageComparisonWorkspace::~ImageComparisonWorkspace() = default;

QWidget *ImageComparisonWorkspace::makeSidebar()
{
    auto *sidebar = new FilledPanel(AppTheme::background(), m_content);
    sidebar->setObjectName(QStringLiteral("comparisonSidebar"));
    sidebar->setFixedWidth(sidebarWidth);
    auto *column = new QVBoxLayout(sidebar);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    auto *title = new QHBoxLayout;
    title->setContentsMargins(10, 12, 10, 0);
    title->addWidget(label(QStringLiteral("对比"), AppFont::font(TypeScale::body, QFont::DemiBold), AppTheme::primaryText(), sidebar));
    title->addStretch(1);
    m_count = label(QString(), PanelChrome::monospaceFont(11, QFont::DemiBold), AppTheme::secondaryText(), sidebar);
    m_count->setObjectName(QStringLiteral("comparisonPairCount"));
    title->addWidget(m_count);
    column->addLayout(title);

    m_model = new ComparisonPairListModel(m_viewModel, this);
    m_list = new ComparisonPairListView(*m_model, sidebar);
    m_list->selectAction = [this](const QUuid &id) {
        if (m_actions.selectComparison)
            m_actions.selectComparison(id);
    };
    m_list->deleteAction = [this](const QUuid &id) {
        if (m_actions.deleteComparison)
            m_actions.deleteComparison(id);
    };
    auto *listRow = new QHBoxLayout;
    // The cards keep their 8 px on the left; the right margin leaves room for the scroll indicator.
    listRow->setContentsMargins(8, 0, 2, 2);
    listRow->addWidget(m_list);
    column->addLayout(listRow, 1);

    auto *buttons = new QVBoxLayout;
    buttons->setContentsMargins(8, 0, 8, 10);
    buttons->setSpacing(8);
    auto *add = sidebarButton(QStringLiteral("添加对比"), QStringLiteral("plus"), QStringLiteral("添加一组新的图片对比"), sidebar);
    add->setObjectName(QStringLiteral("addComparisonButton"));
    connect(add, &QAbstractButton::clicked, this, [this] {
        if (m_actions.addComparison)
            m_actions.addComparison();
    });
    auto *batch = sidebarButton(QStringLiteral("批量添加"), QStringLiteral("folder.badge.plus"),
                                QStringLiteral("选择两个文件夹，按文件名批量生成图片对比"), sidebar);
    batch->setObjectName(QStringLiteral("batchAddComparisonButton"));
    connect(batch, &QAbstractButton::clicked, this, [this] {
        if (m_actions.batchAddComparison)
            m_actions.batchAddComparison();
    });
    buttons->addWidget(add);
    buttons->addWidget(batch);
    column->addLayout(buttons);
    return sidebar;
}

bool ImageComparisonWorkspace::isShowingPair() const
{
    return m_stack->currentWidget() == m_content;
}

void ImageComparisonWorkspace::pairsChanged()
{
    const std::optional<ComparisonPairState> pair = m_viewModel.comparisonPair();
    m_stack->setCurrentWidget(pair ? m_content : m_stack->widget(0));
    m_count->setText(QString::number(m_viewModel.comparisonPairCount()));
    m_surface->setPair(pair);
    m_viewportLayer->setActive(pair.has_value());
}

void ImageComparisonWorkspace::panOffsetChanged()
{
    m_surface->setPanOffset(m_bindings.panOffset ? m_bindings.panOffset() : QSizeF(0, 0));
}

void ImageComparisonWorkspace::fractionChanged()
{
    m_surface->setFraction(m_bindings.fraction ? m_bindings.fraction() : 0.5);
}

void ImageComparisonWorkspace::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), AppTheme::paleSlate());
}
