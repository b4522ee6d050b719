#include "shell/ImageComparisonHookup.h"

#include "ui/PanelWidgets.h"
#include "comparison/widgets/ModalComparisonDialogs.h"
#include "comparison/widgets/ComparisonSheets.h"
#include "comparison/widgets/ComparisonWidgets.h"
#include "comparison/widgets/ImageComparisonWorkspace.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "platform/ParallelWork.h"
#include "shell/ContentView.h"
#include "shell/ShellHooks.h"
#include "ui/ShellWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

ImageComparisonHookup::ImageComparisonHookup(ContentView &view, std::unique_ptr<ComparisonDialogs> dialogs)
    : QObject(&view)
    , m_view(view)
    , m_dialogs(dialogs ? std::move(dialogs) : std::make_unique<ModalComparisonDialogs>())
{
}

// A run still decoding is waited for; its queued result dies with this object.
ImageComparisonHookup::~ImageComparisonHookup()
{
    m_batchWork.reset();
    delete m_setupSheet.data();
    delete m_batchSheet.data();
}

ComparisonSetupSheet *ImageComparisonHookup::setupSheet() const { return m_setupSheet; }
BatchComparisonSheet *ImageComparisonHookup::batchSheet() const { return m_batchSheet; }
ImageComparisonWorkspace *ImageComparisonHookup::workspace() const { return m_workspace; }

void ImageComparisonHookup::install(ShellHooks &hooks)
{
    hooks.imageComparisonWorkspace = [this] { return makeWorkspace(); };
    hooks.presentComparisonSetup = [this](bool useCurrentImage) { presentComparisonSetup(useCurrentImage); };
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
    actions.addComparison = [this] { presentComparisonSetup(false); };
    actions.batchAddComparison = [this] { presentBatchComparisonSheet(); };
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
                                      AppFont::font(13, QFont::DemiBold), AppTheme::secondaryText(), empty);
    column->addWidget(hint, 0, Qt::AlignHCenter);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    auto *upload = new EmptyStateButton(QStringLiteral("上传对比图"), QStringLiteral("photo.on.rectangle"), empty);
    upload->setObjectName(QStringLiteral("uploadComparisonButton"));
    upload->setColors(Qt::white, AppTheme::green(), AppTheme::green());
    upload->setToolTip(QStringLiteral("上传修改前和修改后的图片，开始滑动对比"));
    connect(upload, &QAbstractButton::clicked, this, [this] { presentComparisonSetup(false); });
    auto *batch = new EmptyStateButton(QStringLiteral("批量添加"), QStringLiteral("folder.badge.plus"), empty);
    batch->setObjectName(QStringLiteral("batchComparisonButton"));
    batch->setColors(AppTheme::darkSlate(), AppTheme::surface(), AppTheme::lightSlate());
    batch->setToolTip(QStringLiteral("选择两个文件夹，按文件名批量添加图片对比"));
    connect(batch, &QAbstractButton::clicked, this, [this] { presentBatchComparisonSheet(); });
    buttons->addStretch(1);
    buttons->addWidget(upload);
    buttons->addWidget(batch);
    buttons->addStretch(1);
    column->addLayout(buttons);
    column->addStretch(1);
    return empty;
}

// ---- Setup sheet -----------------------------------------------------------------------------------

void ImageComparisonHookup::presentComparisonSetup(bool useCurrentImage)
{
    MarkupViewModel &model = m_view.viewModel();
    m_usesCurrentImageAsBefore = useCurrentImage;
    m_draftBefore.reset();
    if (const std::optional<qsizetype> index = model.selectedIndex(); useCurrentImage && index) {
        const ImageMarkupItem &item = model.items().at(size_t(*index));
        m_draftBefore = ComparisonImageState{item.fileName, item.image, item.pixelSize, item.thumbnail};
    }
    m_draftAfter.reset();
    setSetupPresented(true);
}

void ImageComparisonHookup::chooseComparisonImage(bool isAfter)
{
    QWidget *parent = m_setupSheet ? static_cast<QWidget *>(m_setupSheet.data()) : m_view.window();
    const std::optional<QString> path =
        m_dialogs->chooseImage(isAfter ? QStringLiteral("选择修改后的图片。") : QStringLiteral("选择修改前图片。"), parent);
    if (!path)
        return;
    MarkupViewModel &model = m_view.viewModel();
    std::optional<ComparisonImageState> image = model.makeComparisonImage(*path);
    if (!image) {
        // The window's own alert waits until no sheet is open; this one belongs over the sheet now.
        const QString message = ComparisonPairing::undecodableMessage();
        m_dialogs->showError(message, parent);
        if (model.errorMessage() == message)
            model.setErrorMessage(std::nullopt);
        return;
    }
    if (isAfter) {
        m_draftAfter = std::move(image);
        refreshSetupSheet();
        if (m_usesCurrentImageAsBefore)
            commitComparisonSetup();
    } else {
        m_draftBefore = std::move(image);
        refreshSetupSheet();
    }
}

void ImageComparisonHookup::commitComparisonSetup()
{
    if (!m_draftBefore || !m_draftAfter)
        return;
    m_view.viewModel().appendComparisonPairs({ComparisonPairState{QUuid::createUuid(), *m_draftBefore, *m_draftAfter}});
    m_view.setComparisonFraction(0.5);
    m_view.setWorkspaceMode(WorkspaceMode::ImageComparison);
    m_usesCurrentImageAsBefore = false;
    setSetupPresented(false);
}

void ImageComparisonHookup::closeComparisonSetup()
{
    m_usesCurrentImageAsBefore = false;
    setSetupPresented(false);
}

void ImageComparisonHookup::setSetupPresented(bool presented)
{
    m_isSetupPresented = presented;
    if (!presented) {
        if (m_setupSheet)
            m_setupSheet->hide();
        return;
    }
    if (!m_setupSheet) {
        m_setupSheet = new ComparisonSetupSheet(m_view.window());
        m_setupSheet->closeAction = [this] { closeComparisonSetup(); };
        m_setupSheet->chooseAction = [this](bool isAfter) { chooseComparisonImage(isAfter); };
        m_setupSheet->commitAction = [this] { commitComparisonSetup(); };
    }
    refreshSetupSheet();
    m_setupSheet->open();
}

void ImageComparisonHookup::refreshSetupSheet()
{
    if (m_setupSheet)
        m_setupSheet->refresh({m_usesCurrentImageAsBefore, m_draftBefore, m_draftAfter});
}

// ---- Batch sheet -----------------------------------------------------------------------------------

void ImageComparisonHookup::presentBatchComparisonSheet()
{
    if (!m_isBatchPresented) {
        m_beforeFolder.reset();
        m_afterFolder.reset();
    }
    setBatchPresented(true);
}

void ImageComparisonHookup::chooseBatchComparisonFolder(bool isAfter)
{
    QWidget *parent = m_batchSheet ? static_cast<QWidget *>(m_batchSheet.data()) : m_view.window();
    const std::optional<QString> folder = m_dialogs->chooseFolder(
        isAfter ? QStringLiteral("选择修改后图片文件夹") : QStringLiteral("选择修改前图片文件夹"), parent);
    // A cancelled chooser empties the slot.
    (isAfter ? m_afterFolder : m_beforeFolder) = folder;
    refreshBatchSheet();
}

void ImageComparisonHookup::closeBatchComparisonSheet()
{
    if (isRunningBatchComparison())
        return;
    setBatchPresented(false);
    m_beforeFolder.reset();
    m_afterFolder.reset();
}

void ImageComparisonHookup::runBatchComparison()
{
    if (!m_beforeFolder || !m_afterFolder || isRunningBatchComparison())
        return;
    const QString before = *m_beforeFolder;
    const QString after = *m_afterFolder;
    m_batchWork = std::make_unique<ParallelWork::Background>([this, before, after] {
        auto batch = std::make_shared<ComparisonPairing::DecodedBatch>(ComparisonPairing::decodeFolders(before, after));
        QMetaObject::invokeMethod(
            this, [this, batch] { finishBatchComparison(std::move(*batch)); }, Qt::QueuedConnection);
    });
    refreshBatchSheet();
}

void ImageComparisonHookup::finishBatchComparison(ComparisonPairing::DecodedBatch batch)
{
    m_batchWork.reset();
    MarkupViewModel &model = m_view.viewModel();
    const ComparisonBatchImportResult result = model.finishComparisonBatch(std::move(batch));
    const bool didAdd = !result.pairs.empty();
    if (didAdd) {
        model.appendComparisonPairs(result.pairs);
        m_view.setComparisonFraction(0.5);
        m_view.setWorkspaceMode(WorkspaceMode::ImageComparison);
        m_view.setPanOffset(QSizeF(0, 0));
        setBatchPresented(false);
        m_beforeFolder.reset();
        m_afterFolder.reset();
    } else {
        setBatchPresented(false);
    }
    refreshBatchSheet();
    Q_EMIT batchComparisonFinished();
    m_dialogs->showBatchResult(didAdd ? QStringLiteral("批量添加完成") : QStringLiteral("没有匹配成功"),
                               ComparisonPairing::batchResultMessage(result, didAdd), !didAdd, m_view.window());
}

void ImageComparisonHookup::setBatchPresented(bool presented)
{
    m_isBatchPresented = presented;
    if (!presented) {
        if (m_batchSheet)
            m_batchSheet->hide();
        return;
    }
    if (!m_batchSheet) {
        m_batchSheet = new BatchComparisonSheet(m_view.window());
        m_batchSheet->closeAction = [this] { closeBatchComparisonSheet(); };
        m_batchSheet->chooseAction = [this](bool isAfter) { chooseBatchComparisonFolder(isAfter); };
        m_batchSheet->runAction = [this] { runBatchComparison(); };
    }
    refreshBatchSheet();
    m_batchSheet->open();
}

void ImageComparisonHookup::refreshBatchSheet()
{
    if (m_batchSheet)
        m_batchSheet->refresh({m_beforeFolder, m_afterFolder, isRunningBatchComparison()});
}
