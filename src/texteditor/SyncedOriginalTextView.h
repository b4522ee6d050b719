#pragma once

#include "model/TextComparisonState.h"

#include <QTextEdit>

#include <memory>
#include <optional>
#include <vector>

class TextComparisonExecutor;
class TextComparisonScrollSync;
class TextPaneDocumentFill;
class TextPaneDocumentLayout;

// The read-only original pane. It shows the aligned original and widens the lines that hold
// note locations exactly as the edited pane does, so that the two stay level.
class SyncedOriginalTextView final : public QTextEdit {
    Q_OBJECT

public:
    explicit SyncedOriginalTextView(std::shared_ptr<TextComparisonScrollSync> scrollSync, QWidget *parent = nullptr);
    ~SyncedOriginalTextView() override;

    // Replaces only the differing middle of the shown text.
    void render(const QString &text, const std::vector<TextMarkupAnnotation> &annotations);
    // Shows a document another original pane laid out, before the first render; `text` is what
    // it holds when known.
    void adoptDocument(QTextDocument *adopted, std::optional<QString> text = std::nullopt);
    // The text the document holds, when known without reading it.
    const std::optional<QString> &knownText() const { return m_renderedText; }
    TextPaneDocumentLayout *paneLayout() const;
    // Where a text far from the one shown is filled in; none fills in place, at once.
    void setFillExecutor(std::shared_ptr<TextComparisonExecutor> executor);
    bool isFilling() const;

Q_SIGNALS:
    // A new text is being filled in off the window's thread (true) or is shown (false).
    void fillingChanged(bool filling);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void applySpacing();
    void adoptFilled(QTextDocument *document, const QString &text);

    std::shared_ptr<TextComparisonScrollSync> m_scrollSync;
    std::optional<QString> m_renderedText;
    std::vector<TextMarkupAnnotation> m_renderedAnnotations;
    qreal m_renderedWidth = 0;
    TextPaneDocumentFill *m_fill = nullptr;
    // The render asked for while a fill runs, made once it is shown.
    std::optional<std::pair<QString, std::vector<TextMarkupAnnotation>>> m_wanted;
};

namespace PaneText {
// The document's text as stored: block breaks as "\n", every other character untouched.
QString rawText(const QTextDocument *document);
// Makes the document hold `text` in one edit of its differing middle. False when nothing differed.
bool replaceDifferingMiddle(QTextDocument *document, const QString &current, const QString &text);
// Makes the document hold `text` by adding and taking away only empty rows when `text` is
// `current` with empty rows added or taken away (all in one edit, the other lines kept as they
// are). False, and nothing done, when `text` is not that or is `current`.
bool changeEmptyRows(QTextDocument *document, const QString &current, const QString &text);
// Brings `text`, the document's text before an edit the document reported as (from, removed,
// added), to its text after it, copying out of the document only what the edit added (a keystroke
// in a long text costs no copy of the whole text). Block breaks are written as `lineEnd`. False
// when the result cannot be the document's text (its length disagrees): then read it whole.
bool spliceEdit(QString &text, const QTextDocument *document, int from, int removed, int added, QChar lineEnd);
} // namespace PaneText
