#pragma once

#include <QObject>

#include <memory>

class ContentView;
class QWidget;
class TextExportDialogs;
class TextPaneDocuments;
class TextProjectPanels;
struct ShellHooks;

// Joins the text comparison workspace to the window: the workspace (built afresh on every entry,
// its panes showing the documents laid out last time), the empty state, and the root view's
// project and source commands with their panels. Lives as long as the root view (its child).
class TextComparisonHookup final : public QObject {
    Q_OBJECT

public:
    explicit TextComparisonHookup(ContentView &view);
    ~TextComparisonHookup() override;

    void install(ShellHooks &hooks);
    // Tests answer the panels and the export questions.
    void setPanels(std::unique_ptr<TextProjectPanels> panels);
    void setExportDialogs(std::unique_ptr<TextExportDialogs> dialogs);

    void presentOpenProjectPanel();
    // True when a file was written.
    bool presentSaveProjectPanel();
    void presentTextImportPanel();

private:
    QWidget *makeWorkspace();
    QWidget *makeEmptyState();

    ContentView &m_view;
    std::unique_ptr<TextProjectPanels> m_panels;
    // Shared with the workspaces built, which keep it while they live.
    std::shared_ptr<TextExportDialogs> m_exportDialogs;
    // The panes' documents between two entries of the workspace.
    std::shared_ptr<TextPaneDocuments> m_paneDocuments;
};
