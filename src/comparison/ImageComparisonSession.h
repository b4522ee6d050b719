#pragma once

#include "comparison/ComparisonDialogs.h"
#include "comparison/ComparisonPairing.h"
#include "model/ImageItems.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class MarkupViewModel;
class QWidget;
namespace ParallelWork {
class Background;
}

// The comparison state of the window beside the pairs themselves: whether each sheet is up, the
// drafts of the setup sheet, the folders of the batch sheet and the batch run that decodes on
// worker threads. The pairs go to the view model. The session builds no widget: the sheets follow
// its signals, and the choosers and alerts appear over the widgets `DialogParents` names.
class ImageComparisonSession final : public QObject {
    Q_OBJECT

public:
    // Where a chooser or an alert appears; an empty function means no parent.
    struct DialogParents {
        // The choosers and the undecodable-file alert of the setup sheet.
        std::function<QWidget *()> setupSheet;
        // The folder choosers of the batch sheet.
        std::function<QWidget *()> batchSheet;
        // The batch result, shown after the sheet is gone.
        std::function<QWidget *()> window;
    };

    ImageComparisonSession(MarkupViewModel &viewModel, std::unique_ptr<ComparisonDialogs> dialogs,
                           DialogParents parents, QObject *parent = nullptr);
    // A run still decoding is waited for; its queued result dies with this object.
    ~ImageComparisonSession() override;

    // ---- Setup sheet ---------------------------------------------------------------------------
    bool isComparisonSetupPresented() const { return m_isSetupPresented; }
    bool comparisonSetupUsesCurrentImageAsBefore() const { return m_usesCurrentImageAsBefore; }
    const std::optional<ComparisonImageState> &comparisonDraftBefore() const { return m_draftBefore; }
    const std::optional<ComparisonImageState> &comparisonDraftAfter() const { return m_draftAfter; }
    bool canCommitComparisonSetup() const { return m_draftBefore && m_draftAfter; }
    // Opens the sheet with an empty after slot; the before slot is the selected markup image in
    // the current-image variant, else empty.
    void presentComparisonSetup(bool useCurrentImage);
    // Asks for one image; a file that cannot be decoded is reported over the sheet and keeps the
    // slot. In the current-image variant the after image commits at once.
    void chooseComparisonImage(bool isAfter);
    void commitComparisonSetup();
    void closeComparisonSetup();

    // ---- Batch sheet ---------------------------------------------------------------------------
    bool isBatchComparisonSheetPresented() const { return m_isBatchPresented; }
    const std::optional<QString> &batchComparisonBeforeFolder() const { return m_beforeFolder; }
    const std::optional<QString> &batchComparisonAfterFolder() const { return m_afterFolder; }
    bool canRunBatchComparison() const { return m_beforeFolder && m_afterFolder; }
    bool isRunningBatchComparison() const { return m_batchWork != nullptr; }
    // A sheet not yet showing starts with both folders empty.
    void presentBatchComparisonSheet();
    // A cancelled chooser empties the slot.
    void chooseBatchComparisonFolder(bool isAfter);
    // Ignored while a run decodes.
    void closeBatchComparisonSheet();
    // Decodes on worker threads while the sheet stays up; the outcome is applied in one step.
    void runBatchComparison();

Q_SIGNALS:
    // Emitted on every present and close, also when the flag keeps its value: a second present
    // brings the sheet up again with fresh drafts.
    void setupPresentedChanged(bool presented);
    // A chosen image became a draft.
    void setupDraftsChanged();
    // As setupPresentedChanged, for the batch sheet.
    void batchPresentedChanged(bool presented);
    // The folders or the running state changed.
    void batchStateChanged();
    // Pairs were appended to the view model; the window shows them with the divider in the middle,
    // and after a batch also with the canvas centred. Emitted before the sheet closes.
    void comparisonPairsAdded(bool centreCanvas);
    // A batch run was applied, just before its result alert (tests and the benchmark wait for it).
    void batchComparisonFinished();

private:
    void finishBatchComparison(ComparisonPairing::DecodedBatch batch);
    void setSetupPresented(bool presented);
    void setBatchPresented(bool presented);
    static QWidget *parentFrom(const std::function<QWidget *()> &parent);

    MarkupViewModel &m_viewModel;
    std::unique_ptr<ComparisonDialogs> m_dialogs;
    DialogParents m_parents;
    bool m_isSetupPresented = false;
    bool m_usesCurrentImageAsBefore = false;
    std::optional<ComparisonImageState> m_draftBefore;
    std::optional<ComparisonImageState> m_draftAfter;
    bool m_isBatchPresented = false;
    std::optional<QString> m_beforeFolder;
    std::optional<QString> m_afterFolder;
    std::unique_ptr<ParallelWork::Background> m_batchWork;
};
