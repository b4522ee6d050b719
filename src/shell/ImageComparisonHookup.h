#pragma once

#include "comparison/ComparisonDialogs.h"
#include "comparison/ComparisonPairing.h"
#include "model/ImageItems.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class BatchComparisonSheet;
class ComparisonSetupSheet;
class ContentView;
class ImageComparisonWorkspace;
struct ShellHooks;
namespace ParallelWork {
class Background;
}

// Joins the image comparison workspace to the window. It holds the root view's comparison state
// (the two sheets' flags, the drafts of the setup sheet, the batch sheet's folders), runs the
// sheets and fills the shell's slots. Lives as long as the root view (its child); the workspace
// widget is built afresh on every entry.
class ImageComparisonHookup final : public QObject {
    Q_OBJECT

public:
    // Null dialogs: the program's own file dialogs and message boxes.
    explicit ImageComparisonHookup(ContentView &view, std::unique_ptr<ComparisonDialogs> dialogs = nullptr);
    ~ImageComparisonHookup() override;

    void install(ShellHooks &hooks);

    // ---- Setup sheet ---------------------------------------------------------------------------
    bool isComparisonSetupPresented() const { return m_isSetupPresented; }
    bool comparisonSetupUsesCurrentImageAsBefore() const { return m_usesCurrentImageAsBefore; }
    const std::optional<ComparisonImageState> &comparisonDraftBefore() const { return m_draftBefore; }
    const std::optional<ComparisonImageState> &comparisonDraftAfter() const { return m_draftAfter; }
    bool canCommitComparisonSetup() const { return m_draftBefore && m_draftAfter; }
    // Opens the sheet with an empty after slot; the before slot is the selected markup image in
    // the current-image variant, else empty.
    void presentComparisonSetup(bool useCurrentImage);
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
    void chooseBatchComparisonFolder(bool isAfter);
    void closeBatchComparisonSheet();
    // Decodes on worker threads while the sheet stays up; the outcome is applied in one step.
    void runBatchComparison();

    ComparisonSetupSheet *setupSheet() const;
    BatchComparisonSheet *batchSheet() const;
    ImageComparisonWorkspace *workspace() const;

Q_SIGNALS:
    // A batch run was applied (tests and the benchmark wait for it).
    void batchComparisonFinished();

private:
    QWidget *makeWorkspace();
    QWidget *makeEmptyState();
    void finishBatchComparison(ComparisonPairing::DecodedBatch batch);
    void setSetupPresented(bool presented);
    void setBatchPresented(bool presented);
    void refreshSetupSheet();
    void refreshBatchSheet();

    ContentView &m_view;
    std::unique_ptr<ComparisonDialogs> m_dialogs;
    bool m_isSetupPresented = false;
    bool m_usesCurrentImageAsBefore = false;
    std::optional<ComparisonImageState> m_draftBefore;
    std::optional<ComparisonImageState> m_draftAfter;
    bool m_isBatchPresented = false;
    std::optional<QString> m_beforeFolder;
    std::optional<QString> m_afterFolder;
    std::unique_ptr<ParallelWork::Background> m_batchWork;
    QPointer<ComparisonSetupSheet> m_setupSheet;
    QPointer<BatchComparisonSheet> m_batchSheet;
    QPointer<ImageComparisonWorkspace> m_workspace;
};
