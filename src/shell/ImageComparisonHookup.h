#pragma once

#include "comparison/ComparisonDialogs.h"
#include "comparison/ImageComparisonSession.h"

#include <QObject>
#include <QPointer>

#include <memory>

class BatchComparisonSheet;
class ComparisonSetupSheet;
class ContentView;
class ImageComparisonWorkspace;
struct ShellHooks;

// Joins the image comparison workspace to the window: builds the workspace and the two sheets,
// fills the shell's slots and connects the comparison session to them. Lives as long as the root
// view (its child); the workspace widget is built afresh on every entry, the sheets on first use.
class ImageComparisonHookup final : public QObject {
    Q_OBJECT

public:
    // Null dialogs: the program's own file dialogs and message boxes.
    explicit ImageComparisonHookup(ContentView &view, std::unique_ptr<ComparisonDialogs> dialogs = nullptr);
    ~ImageComparisonHookup() override;

    void install(ShellHooks &hooks);

    ImageComparisonSession &session() const { return *m_session; }
    ComparisonSetupSheet *setupSheet() const;
    BatchComparisonSheet *batchSheet() const;
    ImageComparisonWorkspace *workspace() const;

private:
    QWidget *makeWorkspace();
    QWidget *makeEmptyState();
    void connectSession();
    void showAddedPairs(bool centreCanvas);
    void setupPresentedChanged(bool presented);
    void batchPresentedChanged(bool presented);
    void refreshSetupSheet();
    void refreshBatchSheet();

    ContentView &m_view;
    std::unique_ptr<ImageComparisonSession> m_session;
    QPointer<ComparisonSetupSheet> m_setupSheet;
    QPointer<BatchComparisonSheet> m_batchSheet;
    QPointer<ImageComparisonWorkspace> m_workspace;
};
