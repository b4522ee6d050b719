#pragma once

#include "textengine/TextComparisonResult.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class MarkupViewModel;
class TextComparisonExecutor;

// The comparison of the view model's text document: one result per text version (the changes
// and the aligned original from one search), computed off the window's thread and shared by the
// panes, the strip, the header's counts and the exports.
//
// Every change of the original or the edited text (a keystroke, undo, redo, a new upload, a
// project open) raises the running search's cancel flag and starts a search of the new texts;
// markup changes keep the result, and so does a return to the texts of the last result (an undo
// right after a keystroke). Leaving the workspace and closing the window cancel the search
// too. Nothing waits for a search: it holds its texts by value and posts its answer, which is
// dropped unless it is the answer for the texts of now. Lives on the window's thread.
class TextComparisonSession final : public QObject {
    Q_OBJECT

public:
    using Search = std::function<std::optional<TextComparisonResult>(
        const QString &original, const QString &edited, const std::atomic<bool> *cancelled)>;

    TextComparisonSession(MarkupViewModel &model, std::shared_ptr<TextComparisonExecutor> executor,
                          QObject *parent = nullptr);
    ~TextComparisonSession() override;

    // Tests run the searches through an executor of their own, and may stand in for the search.
    void setExecutor(std::shared_ptr<TextComparisonExecutor> executor);
    // Where the searches run; the panes fill long texts in there too.
    const std::shared_ptr<TextComparisonExecutor> &executor() const { return m_executor; }
    void setSearch(Search search);

    // The result of these texts when it is the current document's and has arrived; else null.
    std::shared_ptr<const TextComparisonResult> resultFor(const QString &original, const QString &edited) const;
    // The current document's result, or null while it is being computed (or there is no document).
    std::shared_ptr<const TextComparisonResult> result() const { return m_result; }
    // A search of the current texts is under way.
    bool isComparing() const { return m_flag != nullptr; }

    // Searches run only while the workspace shows (or an export waits); leaving it cancels the
    // running one, coming back starts it again unless the result is known.
    void setActive(bool active);
    bool isActive() const { return m_active; }
    // The window closes: the running search is cancelled and nothing waits any more.
    void cancel();

    // Calls `done` with the current document's result: at once when it is known, else when it
    // arrives (after further edits, the result of the texts as they then stand). True when it
    // ran at once. Without a document `done` gets an empty result (the exports then fail with
    // their own message).
    bool whenCompared(std::function<void(const TextComparisonResult &)> done);
    // Forgets what waits for a result (another document replaces this one); how many there were.
    std::size_t dropWaiting();

Q_SIGNALS:
    // The result of the current document arrived, or the document's texts changed.
    void resultChanged();
    void comparingChanged(bool comparing);

private:
    void documentChanged();
    void startSearch();
    void stopSearch();
    void answer(quint64 version, std::shared_ptr<const TextComparisonResult> result, bool failed);
    void runWaiting();

    MarkupViewModel &m_model;
    std::shared_ptr<TextComparisonExecutor> m_executor;
    Search m_search;
    bool m_active = false;
    // The texts of the current version, and its number: answers carry the number they were
    // asked for, and only the current one is taken.
    bool m_hasDocument = false;
    QString m_original;
    QString m_edited;
    quint64 m_version = 0;
    std::shared_ptr<const TextComparisonResult> m_result;
    // The last result that arrived, with its texts: an undo back to them needs no search.
    std::shared_ptr<const TextComparisonResult> m_known;
    QString m_knownOriginal;
    QString m_knownEdited;
    // The cancel flag of the running search of the current version; null when none runs.
    std::shared_ptr<std::atomic<bool>> m_flag;
    std::vector<std::function<void(const TextComparisonResult &)>> m_waiting;
};
