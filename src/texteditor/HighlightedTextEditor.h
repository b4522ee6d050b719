#pragma once

#include "model/TextComparisonState.h"
#include "texteditor/EditorTextRules.h"
#include "textengine/TextComparisonChange.h"

#include <QRectF>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class AnnotationTextView;
class QTextDocument;
class TextComparisonExecutor;
class TextComparisonScrollSync;
class TextPaneDocumentFill;

// The edited pane: shows the edited text, writes every edit back at once, paints the changes
// and the markups, and reports the selection and the places of markups and bubbles (viewport
// coordinates) to the surface.
//
// The document never becomes the model: an edit writes the document's raw text through
// `textEdited`; a text that arrives from the model (undo, redo, a new source) replaces only the
// differing middle, in one edit that is not written back.
class HighlightedTextEditor final : public QWidget {
    Q_OBJECT

public:
    struct Callbacks {
        std::function<void(const QString &)> textEdited;
        std::function<void(std::optional<TextRange>, std::optional<QRectF>)> selectionReported;
        std::function<void(const std::map<QUuid, QRectF> &annotationRects, const std::map<QUuid, QRectF> &calloutRects)>
            rectsReported;
        std::function<void(const TextMarkupAnnotation &)> editCallout;
        std::function<void(const QUuid &)> deleteCallout;
        std::function<bool()> undo;
        std::function<bool()> redo;
        std::function<bool(const QString &)> shortcut;
        // A new text is being filled in off the window's thread (true) or is shown (false).
        std::function<void(bool)> fillingChanged;
    };

    HighlightedTextEditor(std::shared_ptr<TextComparisonScrollSync> scrollSync, Callbacks callbacks,
                          QWidget *parent = nullptr);
    ~HighlightedTextEditor() override;

    void render(const QString &text, const QString &originalText, const std::vector<TextComparisonChange> &changes,
                const std::vector<TextMarkupAnnotation> &annotations);
    // Shows a document another edited pane laid out, before the first render; `text` is what it
    // holds when known (else it is read from the document).
    void adoptDocument(QTextDocument *adopted, std::optional<QString> text = std::nullopt);
    // Where a text far from the one shown is filled in; none fills in place, at once.
    void setFillExecutor(std::shared_ptr<TextComparisonExecutor> executor);
    // A text is being filled in: the pane still shows the one before, and takes no typing.
    bool isFilling() const;
    void applyCancelSignal(int signal);
    void applyFocusRange(const std::optional<TextRange> &range);

    AnnotationTextView *textView() const { return m_view; }
    // The text the document holds, block breaks as "\n".
    QString currentText() const;
    // The same, when it is known without reading the document.
    std::optional<QString> knownText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Wanted {
        QString text;
        QString originalText;
        std::vector<TextComparisonChange> changes;
        std::vector<TextMarkupAnnotation> annotations;
    };
    void connectDocument();
    void startFill(Wanted wanted);
    void adoptFilled(QTextDocument *document, const QString &text);
    // Pastes, cuts and typing over a long selection, made as a new text for the model.
    bool replaceSelection(const QString &inserted);
    void documentEdited();
    void applyHighlights();
    void applyShownHighlights();
    // The whole blocks shown, widened by the margin above and below.
    TextRange shownStretch(qreal margin) const;
    bool highlightsCoverShownText() const;
    void updateAnnotationRects();
    void reportSelection();

    std::shared_ptr<TextComparisonScrollSync> m_scrollSync;
    Callbacks m_callbacks;
    AnnotationTextView *m_view = nullptr;
    TextPaneDocumentFill *m_fill = nullptr;
    // The render asked for while a fill runs, made once it is shown.
    std::optional<Wanted> m_wanted;
    // Where the caret goes once a paste made as a new text is shown.
    std::optional<int> m_caretAfterFill;
    std::optional<TextRange> m_focusAfterFill;

    QString m_text;
    QString m_originalText;
    std::vector<TextComparisonChange> m_changes;
    std::vector<TextMarkupAnnotation> m_annotations;
    std::optional<QString> m_renderedText;
    std::optional<QString> m_renderedOriginalText;
    std::vector<TextComparisonChange> m_renderedChanges;
    std::vector<TextMarkupAnnotation> m_renderedAnnotations;
    qreal m_renderedWidth = 0;
    // The stretch whose highlights are applied.
    TextRange m_highlightStretch;
    int m_appliedCancelSignal = 0;
    std::optional<TextRange> m_appliedFocusRange;
    bool m_applyingModelText = false;
    bool m_textEditedPending = false;
    // An edit's report could not be followed: m_text is read from the document again.
    bool m_textStale = false;
    bool m_trimmingSelection = false;
};
