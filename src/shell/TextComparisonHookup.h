#pragma once

#include <QObject>

#include <functional>
#include <memory>

class ContentView;
class QWidget;
class TextComparisonSession;
struct TextComparisonResult;
class TextExportDialogs;
class TextPaneDocuments;
class TextProjectPanels;
struct ShellHooks;

// Joins the text comparison workspace to the window: the workspace (built afresh on every entry,
// its panes showing the documents laid out last time), the empty state, the root view's project
// and source commands with their panels, and the session that compares the document's texts
// (searching while the workspace shows, cancelled when the window closes; the exports wait for
// its result). Lives as long as the root view (its child).
class TextComparisonHookup final : public QObject {
    Q_OBJECT

public:
    explicit TextComparisonHookup(ContentView &view);
    ~TextComparisonHookup() override;

    void install(ShellHooks &hooks);
    // Tests answer the panels and the export questions.
    void setPanels(std::unique_ptr<TextProjectPanels> panels);
    void setExportDialogs(std::unique_ptr<TextExportDialogs> dialogs);
    // Tests give it an executor of their own.
    TextComparisonSession &comparisonSession() const { return *m_session; }

    void presentOpenProjectPanel();
    // True when a file was written.
    bool presentSaveProjectPanel();
    void presentTextImportPanel();

private:
    QWidget *makeWorkspace();
    QWidget *makeEmptyState();
    // Runs `save` with the document's comparison once it is known, without holding the window.
    void exportWhenCompared(std::function<void(const TextComparisonResult &)> save);

    ContentView &m_view;
    TextComparisonSession *m_session = nullptr;
    std::unique_ptr<TextProjectPanels> m_panels;
    // Shared with the workspaces built, which keep it while they live.
    std::shared_ptr<TextExportDialogs> m_exportDialogs;
    // The panes' documents between two entries of the workspace.
    std::shared_ptr<TextPaneDocuments> m_paneDocuments;
};
