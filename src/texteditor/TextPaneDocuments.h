#pragma once

#include "textengine/TextComparisonChange.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class HighlightedTextEditor;
class QTextDocument;
class SyncedOriginalTextView;

// The documents of the two text panes, kept while the text comparison workspace is away: entering
// it again shows them as they were laid out instead of building and laying out the whole text
// anew. With them goes the comparison they showed, which a new surface takes as "the changes
// found last" until its own comparison answers.
class TextPaneDocuments {
public:
    struct Shown {
        QString originalText; // the original the aligned text was made from
        std::vector<TextComparisonChange> changes;
        QString alignedOriginal;
        QString editedText; // the edited text the changes were found in
    };

    TextPaneDocuments();
    ~TextPaneDocuments();
    TextPaneDocuments(const TextPaneDocuments &) = delete;
    TextPaneDocuments &operator=(const TextPaneDocuments &) = delete;

    // Takes the documents of a surface's panes as the surface goes.
    void keep(SyncedOriginalTextView *original, HighlightedTextEditor *edited, Shown shown);
    // Hands the kept documents, if any, to a new surface's panes before their first render; the
    // comparison they showed when it was made from the same original.
    std::optional<Shown> lend(SyncedOriginalTextView *original, HighlightedTextEditor *edited,
                              const QString &originalText);
    bool holdsDocuments() const { return bool(m_original); }

private:
    std::unique_ptr<QTextDocument> m_original;
    std::unique_ptr<QTextDocument> m_edited;
    // What the documents hold, when the panes knew it: read out of a long document again, it
    // would hold the window for a moment on entry.
    std::optional<QString> m_originalText;
    std::optional<QString> m_editedText;
    std::optional<Shown> m_shown;
};
