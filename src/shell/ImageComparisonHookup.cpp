#include "shell/ImageComparisonHookup.h"

#include "comparison/widgets/BatchComparisonSheet.h"
#include "comparison/widgets/ComparisonSetupSheet.h"
#include "comparison/widgets/ImageComparisonWorkspace.h"
#include "comparison/widgets/ModalComparisonDialogs.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "shell/ContentView.h"
#include "shell/ShellHooks.h"
#include "ui/EmptyStateButton.h"
#include "ui/EmptyStateColumn.h"
#include "ui/PanelChrome.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

ImageComparisonHookup::ImageComparisonHookup(ContentView &view, std::unique_ptr<ComparisonDialogs> dialogs)
    : QObject(&view)
    , m_view(view)
{
    // A chooser belongs over its sheet, or over the window while the sheet is not built.
    const auto overSheet = [this](QWidget *sheet) { return sheet ? sheet : m_view.window(); };
    ImageComparisonSession::DialogParents parents;
    parents.setupSheet = [this, overSheet] { return overSheet(m_setupSheet); };
    parents.batchSheet = [this, overSheet] { return overSheet(m_batchSheet); };
    parents.window = [this] { return m_view.window(); };
    if (!dialogs)
        dialogs = std::make_unique<ModalComparisonDialogs>();
    m_session = std::make_unique<ImageComparisonSession>(view.viewModel(), std::move(dialogs), std::move(parents));
    connectSession();
}

// The session goes first: a run still decoding is waited for before the sheets go.
ImageComparisonHookup::~ImageComparisonHookup()
{
    m_session.reset();
    delete m_setupSheet.data();
    delete m_batchSheet.data();
}

ComparisonSetupSheet *ImageComparisonHookup::setupSheet() const { return m_setupSheet; }
BatchComparisonSheet *ImageComparisonHookup::batchSheet() const { return m_batchSheet; }
ImageComparisonWorkspace *ImageComparisonHookup::workspace() const { return m_workspace; }

void ImageComparisonHookup::install(ShellHooks &hooks)
{
    hooks.imageComparisonWorkspace = [this] { return makeWorkspace(); };
    hooks.presentComparisonSetup = [this](bool useCurrentImage) { m_session->presentComparisonSetup(useCurrentImage); };
}

void ImageComparisonHookup::connectSession()
{
    ImageComparisonSession *session = m_session.get();
    connect(session, &ImageComparisonSession::setupPresentedChanged, this,
            &ImageComparisonHookup::setupPresentedChanged);
    connect(session, &ImageComparisonSession::setupDraftsChanged, this, &ImageComparisonHookup::refreshSetupSheet);
    connect(session, &ImageComparisonSession::batchPresentedChanged, this,
            &ImageComparisonHookup::batchPresentedChanged);
    connect(session, &ImageComparisonSession::batchStateChanged, this, &ImageComparisonHookup::refreshBatchSheet);
    connect(session, &ImageComparisonSession::comparisonPairsAdded, this, &ImageComparisonHookup::showAddedPairs);
}

// New pairs are shown with the divider in the middle; a batch also centres the canvas.
void ImageComparisonHookup::showAddedPairs(bool centreCanvas)
{
    m_view.setComparisonFraction(0.5);
    m_view.setWorkspaceMode(WorkspaceMode::ImageComparison);
    if (centreCanvas)
        m_view.setPanOffset(QSizeF(0, 0));
}

// ---- Workspace and empty state --------------------------------------------------------------------

QWidget *ImageComparisonHookup::makeWorkspace()
{
    ImageComparisonWorkspace::Bindings bindings;
    bindings.panOffset = [this] { return m_view.panOffset(); };
    bindings.setPanOffset = [this](QSizeF offset) { m_view.setPanOffset(offset); };
    bindings.fraction = [this] { return m_view.comparisonFraction(); };
    bindings.setFraction = [this](double fraction) { m_view.setComparisonFraction(fraction); };
    ImageComparisonWorkspace::Actions actions;
    actions.addComparison = [this] { m_session->presentComparisonSetup(false); };
    actions.batchAddComparison = [this] { m_session->presentBatchComparisonSheet(); };
    actions.selectComparison = [this](const QUuid &id) {
        m_view.setPanOffset(QSizeF(0, 0));
        m_view.viewModel().selectComparisonPair(id);
    };
    actions.deleteComparison = [this](const QUuid &id) {
        m_view.setPanOffset(QSizeF(0, 0));
        m_view.viewModel().deleteComparisonPair(id);
    };
    auto *workspace = new ImageComparisonWorkspace(m_view.viewModel(), std::move(bindings), std::move(actions),
                                                   makeEmptyState());
    connect(&m_view, &ContentView::panOffsetChanged, workspace, &ImageComparisonWorkspace::panOffsetChanged);
    connect(&m_view, &ContentView::comparisonFractionChanged, workspace, &ImageComparisonWorkspace::fractionChanged);
    m_workspace = workspace;
    return workspace;
}

QWidget *ImageComparisonHookup::makeEmptyState()
{
    auto *empty = new QWidget;
    QVBoxLayout *column = emptyStateColumn(empty, QStringLiteral("imageComparisonEmptyState"),
                                           QStringLiteral("rectangle.split.2x1"), 52, 18);

    QLabel *hint = PanelChrome::label(QStringLiteral("上传修改前和修改后的图片，然后拖动中线查看差异。"),
                                      AppFont::font(TypeScale::emphasis, QFont::DemiBold), AppTheme::secondaryText(), empty);
    column->addWidget(hint, 0, Qt::AlignHCenter);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    auto *upload = new EmptyStateButton(QStringLiteral("上传对比图"), QStringLiteral("photo.on.rectangle"), empty);
    upload->setObjectName(QStringLiteral("uploadComparisonButton"));
    upload->setColors(Qt::white, AppTheme::green(), AppTheme::green());
    upload->setToolTip(QStringLiteral("上传修改前和修改后的图片，开始滑动对比"));
    connect(upload, &QAbstractButton::clicked, this, [this] { m_session->presentComparisonSetup(false); });
    auto *batch = new EmptyStateButton(QStringLiteral("批量添加"), QStringLiteral("folder.badge.plus"), empty);
    batch->setObjectName(QStringLiteral("batchComparisonButton"));
    batch->setColors(AppTheme::darkSlate(), AppTheme::surface(), AppTheme::lightSlate());
    batch->setToolTip(QStringLiteral("选择两个文件夹，按文件名批量添加图片对比"));
    connect(batch, &QAbstractButton::clicked, this, [this] { m_session->presentBatchComparisonSheet(); });
    buttons->addStretch(1);
    buttons->addWidget(upload);
    buttons->addWidget(batch);
    buttons->addStretch(1);
    column->addLayout(buttons);
    column->addStretch(1);
    return empty;
}

// ---- Sheets ----------------------------------------------------------------------------------------

void ImageComparisonHookup::setupPresentedChanged(bool presented)
{
    if (!presented) {
        if (m_setupSheet)
            m_setupSheet->hide();
        return;
    }
    if (!m_setupSheet) {
        m_setupSheet = new ComparisonSetupSheet(m_view.window());
        m_setupSheet->closeAction = [this] { m_session->closeComparisonSetup(); };
        m_setupSheet->chooseAction = [this](bool isAfter) { m_session->chooseComparisonImage(isAfter); };
        m_setupSheet->commitAction = [this] { m_session->commitComparisonSetup(); };
    }
    refreshSetupSheet();
    m_setupSheet->open();
}

void ImageComparisonHookup::refreshSetupSheet()
{
    if (m_setupSheet)
        m_setupSheet->refresh({m_session->comparisonSetupUsesCurrentImageAsBefore(), m_session->comparisonDraftBefore(),
                               m_session->comparisonDraftAfter(), m_session->canCommitComparisonSetup()});
}

void ImageComparisonHookup::batchPresentedChanged(bool presented)
{
    if (!presented) {
        if (m_batchSheet)
            m_batchSheet->hide();
        return;
    }
    if (!m_batchSheet) {
        m_batchSheet = new BatchComparisonSheet(m_view.window());
        m_batchSheet->closeAction = [this] { m_session->closeBatchComparisonSheet(); };
        m_batchSheet->chooseAction = [this](bool isAfter) { m_session->chooseBatchComparisonFolder(isAfter); };
        m_batchSheet->runAction = [this] { m_session->runBatchComparison(); };
    }
    refreshBatchSheet();
    m_batchSheet->open();
}

void ImageComparisonHookup::refreshBatchSheet()
{
    if (m_batchSheet)
        m_batchSheet->refresh({m_session->batchComparisonBeforeFolder(), m_session->batchComparisonAfterFolder(),
                               m_session->isRunningBatchComparison(), m_session->canRunBatchComparison()});
}
