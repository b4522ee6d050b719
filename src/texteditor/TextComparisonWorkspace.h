#pragma once

#include "texteditor/TextComparisonSurface.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class TextComparisonSession;
class TextExportDialogs;
class TextPaneDocuments;

// The text comparison workspace: the empty state while there is no document, else the surface.
// It holds no document state; the surface keeps its editor state while a document stays open,
// also when a new source replaces it, and is dropped when the document goes.
class TextComparisonWorkspace final : public QWidget {
    Q_OBJECT

public:
    // `cancelSignal` is the root view's counter as it stands now; later changes call `cancelAction`.
    // `session` compares the document's texts for the surface; it outlives the workspace.
    TextComparisonWorkspace(QWidget *emptyState, TextComparisonSession &session, TextComparisonActions actions,
                            std::function<void()> cancelAction, std::shared_ptr<TextExportDialogs> dialogs,
                            int cancelSignal, QWidget *parent = nullptr);

    // Where the surfaces leave their panes' documents for the next entry (before setComparison).
    void setPaneDocuments(std::shared_ptr<TextPaneDocuments> documents) { m_paneDocuments = std::move(documents); }
    void setComparison(const std::optional<TextComparisonState> &comparison);
    void setCancelSignal(int signal);

    TextComparisonSurface *surface() const { return m_surface; }
    QWidget *emptyState() const { return m_emptyState; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TextComparisonSession &m_session;
    TextComparisonActions m_actions;
    std::function<void()> m_cancelAction;
    std::shared_ptr<TextExportDialogs> m_dialogs;
    std::shared_ptr<TextPaneDocuments> m_paneDocuments;
    int m_cancelSignal;
    QWidget *m_emptyState;
    QPointer<TextComparisonSurface> m_surface;
};
