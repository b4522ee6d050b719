#include "comparison/ImageComparisonSession.h"

#include "model/MarkupViewModel.h"
#include "platform/ParallelWork.h"

#include <QUuid>

ImageComparisonSession::ImageComparisonSession(MarkupViewModel &viewModel, std::unique_ptr<ComparisonDialogs> dialogs,
                                               DialogParents parents, QObject *parent)
    : QObject(parent)
    , m_viewModel(viewModel)
    , m_dialogs(std::move(dialogs))
    , m_parents(std::move(parents))
{
}

ImageComparisonSession::~ImageComparisonSession()
{
    m_batchWork.reset();
}

QWidget *ImageComparisonSession::parentFrom(const std::function<QWidget *()> &parent)
{
    return parent ? parent() : nullptr;
}

// ---- Setup sheet -----------------------------------------------------------------------------------

void ImageComparisonSession::presentComparisonSetup(bool useCurrentImage)
{
    m_usesCurrentImageAsBefore = useCurrentImage;
    m_draftBefore.reset();
    if (const std::optional<qsizetype> index = m_viewModel.selectedIndex(); useCurrentImage && index) {
        const ImageMarkupItem &item = m_viewModel.items().at(size_t(*index));
        m_draftBefore = ComparisonImageState{item.fileName, item.image, item.pixelSize, item.thumbnail};
    }
    m_draftAfter.reset();
    setSetupPresented(true);
}

void ImageComparisonSession::chooseComparisonImage(bool isAfter)
{
    QWidget *parent = parentFrom(m_parents.setupSheet);
    const std::optional<QString> path =
        m_dialogs->chooseImage(isAfter ? QStringLiteral("选择修改后的图片。") : QStringLiteral("选择修改前图片。"), parent);
    if (!path)
        return;
    std::optional<ComparisonImageState> image = m_viewModel.makeComparisonImage(*path);
    if (!image) {
        // The window's own alert waits until no sheet is open; this one belongs over the sheet now.
        const QString message = m_viewModel.errorMessage().value_or(ComparisonPairing::undecodableMessage());
        m_dialogs->showError(message, parent);
        if (m_viewModel.errorMessage() == message)
            m_viewModel.setErrorMessage(std::nullopt);
        return;
    }
    if (isAfter) {
        m_draftAfter = std::move(image);
        Q_EMIT setupDraftsChanged();
        if (m_usesCurrentImageAsBefore)
            commitComparisonSetup();
    } else {
        m_draftBefore = std::move(image);
        Q_EMIT setupDraftsChanged();
    }
}

void ImageComparisonSession::commitComparisonSetup()
{
    if (!m_draftBefore || !m_draftAfter)
        return;
    m_viewModel.appendComparisonPairs({ComparisonPairState{QUuid::createUuid(), *m_draftBefore, *m_draftAfter}});
    Q_EMIT comparisonPairsAdded(false);
    m_usesCurrentImageAsBefore = false;
    setSetupPresented(false);
}

void ImageComparisonSession::closeComparisonSetup()
{
    m_usesCurrentImageAsBefore = false;
    setSetupPresented(false);
}

void ImageComparisonSession::setSetupPresented(bool presented)
{
    m_isSetupPresented = presented;
    Q_EMIT setupPresentedChanged(presented);
}

// ---- Batch sheet -----------------------------------------------------------------------------------

void ImageComparisonSession::presentBatchComparisonSheet()
{
    if (!m_isBatchPresented) {
        m_beforeFolder.reset();
        m_afterFolder.reset();
    }
    setBatchPresented(true);
}

void ImageComparisonSession::chooseBatchComparisonFolder(bool isAfter)
{
    const std::optional<QString> folder =
        m_dialogs->chooseFolder(isAfter ? QStringLiteral("选择修改后图片文件夹") : QStringLiteral("选择修改前图片文件夹"),
                                parentFrom(m_parents.batchSheet));
    (isAfter ? m_afterFolder : m_beforeFolder) = folder;
    Q_EMIT batchStateChanged();
}

void ImageComparisonSession::closeBatchComparisonSheet()
{
    if (isRunningBatchComparison())
        return;
    setBatchPresented(false);
    m_beforeFolder.reset();
    m_afterFolder.reset();
}

void ImageComparisonSession::runBatchComparison()
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
    Q_EMIT batchStateChanged();
}

void ImageComparisonSession::finishBatchComparison(ComparisonPairing::DecodedBatch batch)
{
    m_batchWork.reset();
    const ComparisonBatchImportResult result = m_viewModel.finishComparisonBatch(std::move(batch));
    const bool didAdd = !result.pairs.empty();
    if (didAdd) {
        m_viewModel.appendComparisonPairs(result.pairs);
        Q_EMIT comparisonPairsAdded(true);
        setBatchPresented(false);
        m_beforeFolder.reset();
        m_afterFolder.reset();
    } else {
        setBatchPresented(false);
    }
    Q_EMIT batchStateChanged();
    Q_EMIT batchComparisonFinished();
    m_dialogs->showBatchResult(didAdd ? QStringLiteral("批量添加完成") : QStringLiteral("没有匹配成功"),
                               ComparisonPairing::batchResultMessage(result, didAdd), !didAdd,
                               parentFrom(m_parents.window));
}

void ImageComparisonSession::setBatchPresented(bool presented)
{
    m_isBatchPresented = presented;
    Q_EMIT batchPresentedChanged(presented);
}
