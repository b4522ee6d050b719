#pragma once

#include "model/TextComparisonState.h"
#include "textengine/TextComparisonImport.h"
#include "textengine/TextComparisonRules.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

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
    // Written before the call returns (true when a file was written), or in the background
    // (true when a file was chosen; the outcome shows when it is written).
    enum class ProjectWrite { Waited, InBackground };
    bool presentSaveProjectPanel(ProjectWrite write = ProjectWrite::Waited);
    void presentTextImportPanel();

private:
    QWidget *makeWorkspace();
    QWidget *makeEmptyState();
    // The source text read off the window's thread becomes the document (or its error shows).
    void applyImport(const QString &path, const TextComparisonImport::ImportResult &read,
                     const std::optional<TextComparisonState> &asked);
    // Writes the export once the document's comparison is known, without holding the window;
    // dropped, with a status that says so, when another document replaces this one meanwhile.
    void exportWhenCompared(TextComparisonExportKind kind, TextComparisonExportFormat format, const QString &title);
    void writeExport(TextComparisonExportKind kind, TextComparisonExportFormat format, const QString &title,
                     const TextComparisonResult &comparison);
    void exportWritten(const TextComparisonRules::DesktopExport &written);
    // Another document is about to replace this one: the exports waiting for its comparison go.
    // True when there were any.
    bool dropWaitingExports();

    ContentView &m_view;
    TextComparisonSession *m_session = nullptr;
    std::unique_ptr<TextProjectPanels> m_panels;
    // Shared with the workspaces built, which keep it while they live.
    std::shared_ptr<TextExportDialogs> m_exportDialogs;
    // The panes' documents between two entries of the workspace.
    std::shared_ptr<TextPaneDocuments> m_paneDocuments;
    // Counts the documents that replaced one another: an export asked for under one is not
    // written under the next.
    quint64 m_documentSerial = 0;
    bool m_projectDroppedExports = false;
    // Raised when the window closes: exports not yet written are not written.
    std::shared_ptr<std::atomic<bool>> m_exportsCancelled = std::make_shared<std::atomic<bool>>(false);
};
