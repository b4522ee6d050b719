#include "texteditor/HighlightedTextEditor.h"

#include "model/HexColor.h"
#include "texteditor/AnnotationTextView.h"
#include "texteditor/SyncedOriginalTextView.h"
#include "texteditor/TextComparisonScrollSync.h"
#include "texteditor/TextPaneDocumentFill.h"
#include "texteditor/TextPaneDocumentLayout.h"
#include "textengine/TextAnnotationCalloutLayout.h"

#include <QEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include <cmath>

namespace {

QRectF reported(const QRectF &rect)
{
    return QRectF(rect.x(), rect.y(), std::max(rect.width(), qreal(24)), std::max(rect.height(), qreal(18)));
}

// Runs a change to the editor's own state without it being taken for the user's.
class Guard {
public:
    explicit Guard(bool &flag)
        : m_flag(flag)
        , m_previous(flag)
    {
        m_flag = true;
    }
    ~Guard() { m_flag = m_previous; }

private:
    bool &m_flag;
    bool m_previous;
};

} // namespace

HighlightedTextEditor::HighlightedTextEditor(std::shared_ptr<TextComparisonScrollSync> scrollSync, Callbacks callbacks,
                                             QWidget *parent)
    : QWidget(parent)
    , m_scrollSync(std::move(scrollSync))
    , m_callbacks(std::move(callbacks))
    , m_view(new AnnotationTextView(this))
    , m_fill(new TextPaneDocumentFill(m_view, [this](QTextDocument *document, const QString &text) {
        adoptFilled(document, text);
    }))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->handleMarkupShortcut = m_callbacks.shortcut;
    m_view->editCalloutAction = m_callbacks.editCallout;
    m_view->deleteCalloutAction = m_callbacks.deleteCallout;
    m_view->undoEditAction = m_callbacks.undo;
    m_view->redoEditAction = m_callbacks.redo;
    m_view->replaceLongSelectionAction = [this](const QString &inserted) { return replaceSelection(inserted); };
    connect(m_fill, &TextPaneDocumentFill::fillingChanged, this, [this](bool filling) {
        if (m_callbacks.fillingChanged)
            m_callbacks.fillingChanged(filling);
    });
    m_scrollSync->editedScrollView = m_view;

    connectDocument();
    connect(m_view, &QTextEdit::cursorPositionChanged, this, [this] { reportSelection(); });
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        m_scrollSync->sync(m_view);
        if (!highlightsCoverShownText())
            applyShownHighlights();
        const bool anyNote = std::any_of(m_annotations.begin(), m_annotations.end(),
                                         [](const TextMarkupAnnotation &a) { return !a.note.trimmed().isEmpty(); });
        if (anyNote)
            updateAnnotationRects();
        if (m_view->textCursor().hasSelection())
            reportSelection();
    });
    m_view->installEventFilter(this);
    m_view->viewport()->installEventFilter(this);
}

void HighlightedTextEditor::connectDocument()
{
    QTextDocument *document = m_view->document();
    // contentsChange names real edits; the write happens once the layout has caught up.
    connect(document, &QTextDocument::contentsChange, this, [this](int from, int removed, int added) {
        if (!m_applyingModelText && (removed > 0 || added > 0)) {
            m_textEditedPending = true;
            // The text follows the edit by the stretch it touched; a report it cannot follow
            // has the text read whole.
            if (!m_textStale
                && !PaneText::spliceEdit(m_text, m_view->document(), from, removed, added, QLatin1Char('\n')))
                m_textStale = true;
        }
    });
    connect(document, &QTextDocument::contentsChanged, this, [this] {
        if (m_textEditedPending && !m_applyingModelText) {
            m_textEditedPending = false;
            documentEdited();
        }
    });
}

void HighlightedTextEditor::adoptDocument(QTextDocument *adopted, std::optional<QString> text)
{
    disconnect(m_view->document(), nullptr, this, nullptr);
    m_view->adoptDocument(adopted);
    connectDocument();
    // The next render repaints in full, and reads the text the document holds when it is not
    // known (a long text takes a moment to copy out).
    m_text = text.value_or(QString());
    m_textStale = false;
    m_renderedText.reset();
}

std::optional<QString> HighlightedTextEditor::knownText() const
{
    if (m_textStale || (!m_renderedText && m_text.isEmpty()))
        return std::nullopt;
    return m_text;
}

void HighlightedTextEditor::setFillExecutor(std::shared_ptr<TextComparisonExecutor> executor)
{
    m_fill->setExecutor(std::move(executor));
}

bool HighlightedTextEditor::isFilling() const { return m_fill->isFilling(); }

HighlightedTextEditor::~HighlightedTextEditor()
{
    disconnect(m_fill, nullptr, this, nullptr);
    m_fill->cancel();
    // The view goes with this widget; nothing may call back into a half-destroyed editor.
    m_view->removeEventFilter(this);
    m_view->viewport()->removeEventFilter(this);
    disconnect(m_view->document(), nullptr, this, nullptr);
    disconnect(m_view, nullptr, this, nullptr);
    disconnect(m_view->verticalScrollBar(), nullptr, this, nullptr);
}

bool HighlightedTextEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == m_view->viewport()) {
        const qreal width = m_view->paneLayout()->textWidth();
        if (m_renderedText && std::abs(width - m_renderedWidth) > 0.5) {
            m_renderedWidth = width;
            applyHighlights();
            updateAnnotationRects();
        } else if (m_renderedText && !highlightsCoverShownText()) {
            applyShownHighlights();
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString HighlightedTextEditor::currentText() const { return m_text; }

void HighlightedTextEditor::render(const QString &text, const QString &originalText,
                                   const std::vector<TextComparisonChange> &changes,
                                   const std::vector<TextMarkupAnnotation> &annotations)
{
    if (m_fill->isFilling()) {
        // The newest wish is made once the text being filled in is shown; a text far from that
        // one is filled in instead.
        m_wanted = Wanted { text, originalText, changes, annotations };
        if (TextPaneDocumentFill::needsNewDocument(m_fill->fillingText(), text))
            m_fill->start(text);
        return;
    }
    const qreal width = m_view->paneLayout()->textWidth();
    if (m_renderedText && *m_renderedText == text && m_renderedOriginalText == originalText
        && m_renderedChanges == changes && m_renderedAnnotations == annotations && m_text == text
        && std::abs(width - m_renderedWidth) <= 0.5)
        return;
    m_originalText = originalText;
    m_changes = changes;
    m_annotations = annotations;
    if ((!m_renderedText && m_text.isEmpty()) || m_textStale) {
        m_text = PaneText::rawText(m_view->document());
        m_textStale = false;
    }
    if (m_text != text && m_fill->hasExecutor() && TextPaneDocumentFill::needsNewDocument(m_text, text)) {
        startFill(Wanted { text, originalText, changes, annotations });
        return;
    }
    if (m_text != text) {
        Guard guard(m_applyingModelText);
        const int scroll = m_view->verticalScrollBar()->value();
        PaneText::replaceDifferingMiddle(m_view->document(), m_text, text);
        m_text = text;
        m_view->verticalScrollBar()->setValue(scroll);
    }
    m_view->setTextAnnotations(annotations);
    applyHighlights();
    updateAnnotationRects();
    m_renderedText = text;
    m_renderedOriginalText = originalText;
    m_renderedChanges = changes;
    m_renderedAnnotations = annotations;
    m_renderedWidth = width;
}

void HighlightedTextEditor::startFill(Wanted wanted)
{
    // Until the new text is shown, the pane shows the one before and takes no typing; what is
    // selected there is no longer a place in the text.
    m_view->setReadOnly(true);
    if (m_callbacks.selectionReported)
        m_callbacks.selectionReported(std::nullopt, std::nullopt);
    const QString text = wanted.text;
    m_wanted = std::move(wanted);
    m_fill->start(text);
}

void HighlightedTextEditor::adoptFilled(QTextDocument *document, const QString &text)
{
    std::optional<Wanted> wanted = std::exchange(m_wanted, std::nullopt);
    const std::optional<int> caret = std::exchange(m_caretAfterFill, std::nullopt);
    // Where the text before stood (a new source has put it at its top meanwhile).
    const int scroll = m_view->verticalScrollBar()->value();
    if (document) {
        // Qt would delete its own first document on the spot; it goes in an event of its own.
        QTextDocument *previous = m_view->document();
        previous->setParent(nullptr);
        adoptDocument(document, text);
        m_fill->dispose(previous);
    } else {
        // No document could be made off the thread: the text goes in here.
        Guard guard(m_applyingModelText);
        PaneText::replaceDifferingMiddle(m_view->document(), m_text, text);
    }
    m_text = text;
    m_textStale = false;
    m_view->setReadOnly(false);
    if (caret) {
        QTextCursor cursor(m_view->document());
        cursor.setPosition(std::clamp(*caret, 0, int(m_text.size())));
        m_view->setTextCursor(cursor);
    } else {
        m_view->verticalScrollBar()->setValue(scroll);
    }
    if (wanted)
        render(wanted->text, wanted->originalText, wanted->changes, wanted->annotations);
    if (caret && !m_fill->isFilling())
        m_view->ensureCursorVisible();
    if (const std::optional<TextRange> focus = std::exchange(m_focusAfterFill, std::nullopt); focus && !m_fill->isFilling())
        applyFocusRange(focus);
}

bool HighlightedTextEditor::replaceSelection(const QString &inserted)
{
    if (!m_fill->hasExecutor() || m_fill->isFilling() || m_textStale || !m_callbacks.textEdited)
        return false;
    const QTextCursor cursor = m_view->textCursor();
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    if (start < 0 || end > m_text.size())
        return false;
    // The text as the document would hold it after its own edit; the model takes it as one step
    // and hands it back, and the pane fills it in off the window's thread.
    const QString put = PaneText::asBlockText(inserted);
    // One copy at most (none when the whole text is replaced).
    QString edited;
    if (start == 0 && end == m_text.size()) {
        edited = put;
    } else {
        edited.reserve(m_text.size() - (end - start) + put.size());
        edited.append(QStringView(m_text).left(start)).append(put).append(QStringView(m_text).mid(end));
    }
    m_caretAfterFill = start + int(put.size());
    m_callbacks.textEdited(edited);
    if (!m_fill->isFilling() && m_text != edited) {
        // The model did not take the text (nothing changes) or it was small after all: the
        // document's own edit makes it.
        m_caretAfterFill.reset();
        return false;
    }
    return true;
}

void HighlightedTextEditor::documentEdited()
{
    // As PaneText::rawText, line ends as "\n".
    if (m_textStale) {
        m_text = PaneText::rawText(m_view->document());
        m_textStale = false;
    }
    // The surface answers with a render of the new text; its changes follow once the comparison
    // of the new text arrives (never computed here, so a keystroke never waits for one).
    if (m_callbacks.textEdited)
        m_callbacks.textEdited(m_text);
}

void HighlightedTextEditor::applyHighlights()
{
    // The bands first: they move the lines, and with them the stretch that is shown.
    const qreal width = m_view->paneLayout()->textWidth();
    m_view->paneLayout()->setSpacing(TextAnnotationCalloutLayout::calloutSpacing(m_text, m_annotations, width));
    applyShownHighlights();
    m_view->viewport()->update();
}

TextRange HighlightedTextEditor::shownStretch(qreal margin) const
{
    const TextPaneDocumentLayout *layout = m_view->paneLayout();
    const QTextDocument *document = m_view->document();
    const qreal top = m_view->scrollOffset().y();
    const qreal bottom = top + m_view->viewport()->height();
    const int first = layout->hitTest(QPointF(0, top - margin), Qt::FuzzyHit);
    const int last = layout->hitTest(QPointF(0, bottom + margin), Qt::FuzzyHit);
    if (first < 0 || last < 0)
        return TextRange { 0, m_text.size() };
    // Whole blocks: a line's extra selections are drawn block by block.
    const QTextBlock from = document->findBlock(first);
    const QTextBlock to = document->findBlock(last);
    const qint64 start = from.isValid() ? from.position() : 0;
    const qint64 end = to.isValid() ? std::min<qint64>(to.position() + to.length(), m_text.size()) : m_text.size();
    return TextRange { start, std::max<qint64>(end - start, 0) };
}

bool HighlightedTextEditor::highlightsCoverShownText() const
{
    const TextRange shown = shownStretch(0);
    return shown.location >= m_highlightStretch.location && shown.end() <= m_highlightStretch.end();
}

// Only the runs of the lines shown, and a screen's height above and below, become selections:
// what a repaint and an edit cost then follows the screen, not the number of changes.
void HighlightedTextEditor::applyShownHighlights()
{
    const TextRange stretch = shownStretch(std::max(m_view->viewport()->height(), 200));
    QList<QTextEdit::ExtraSelection> selections;
    const QColor underline = HexColor::drawingColor(QStringLiteral("#D97706"));
    for (const EditorTextRules::HighlightRun &run :
         EditorTextRules::highlightRuns(m_text, m_changes, m_annotations, stretch)) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(m_view->document());
        selection.cursor.setPosition(run.start);
        selection.cursor.setPosition(run.end, QTextCursor::KeepAnchor);
        if (run.background)
            selection.format.setBackground(*run.background);
        if (run.changeUnderline) {
            selection.format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
            selection.format.setUnderlineColor(underline);
        }
        selections.append(selection);
    }
    m_view->setExtraSelections(selections);
    m_highlightStretch = stretch;
}

void HighlightedTextEditor::updateAnnotationRects()
{
    const QPointF offset = m_view->scrollOffset();
    std::map<QUuid, QRectF> annotationRects;
    for (const TextMarkupAnnotation &annotation : m_annotations) {
        const std::optional<TextRange> range
            = EditorTextRules::clippedRange(annotation.location, annotation.length, m_text.size());
        if (!range)
            continue;
        const auto segments = m_view->paneLayout()->segments(int(range->location), int(range->end()));
        if (segments.empty())
            continue;
        QRectF rect = segments.front().line;
        for (const auto &segment : segments)
            rect = rect.united(segment.glyphs);
        annotationRects[annotation.id] = reported(rect.translated(-offset));
    }
    std::map<QUuid, QRectF> calloutRects;
    for (const TextAnnotationCalloutPlacement &placement : m_view->calloutPlacements())
        calloutRects[placement.annotation.id] = placement.bubbleRect.translated(-offset);
    if (m_callbacks.rectsReported)
        m_callbacks.rectsReported(annotationRects, calloutRects);
}

void HighlightedTextEditor::reportSelection()
{
    if (m_trimmingSelection)
        return;
    const QTextCursor cursor = m_view->textCursor();
    std::optional<TextRange> trimmed;
    if (cursor.hasSelection())
        trimmed = EditorTextRules::trimmedSelection(m_text, cursor.selectionStart(),
                                                    cursor.selectionEnd() - cursor.selectionStart());
    if (!trimmed) {
        if (m_callbacks.selectionReported)
            m_callbacks.selectionReported(std::nullopt, std::nullopt);
        return;
    }
    if (trimmed->location != cursor.selectionStart() || trimmed->end() != cursor.selectionEnd()) {
        Guard guard(m_trimmingSelection);
        QTextCursor narrowed = cursor;
        narrowed.setPosition(int(trimmed->location));
        narrowed.setPosition(int(trimmed->end()), QTextCursor::KeepAnchor);
        m_view->setTextCursor(narrowed);
    }
    // The rectangle of what of it is shown (a screen around): a long selection (all of a long
    // text) is not laid out line by line for it.
    const TextRange shown = shownStretch(m_view->viewport()->height());
    qint64 from = std::max(trimmed->location, shown.location);
    qint64 to = std::min(trimmed->end(), shown.end());
    if (from >= to) {
        from = trimmed->location;
        to = trimmed->end();
    }
    QRectF rect;
    for (const auto &segment : m_view->paneLayout()->segments(int(from), int(to)))
        rect = rect.isNull() ? segment.glyphs : rect.united(segment.glyphs);
    if (m_callbacks.selectionReported)
        m_callbacks.selectionReported(trimmed, reported(rect.translated(-m_view->scrollOffset())));
}

void HighlightedTextEditor::applyCancelSignal(int signal)
{
    if (signal == m_appliedCancelSignal)
        return;
    m_appliedCancelSignal = signal;
    if (m_callbacks.selectionReported)
        m_callbacks.selectionReported(std::nullopt, std::nullopt);
    if (m_callbacks.rectsReported)
        m_callbacks.rectsReported({}, {});
    QTextCursor cursor(m_view->document());
    cursor.setPosition(0);
    m_view->setTextCursor(cursor);
}

void HighlightedTextEditor::applyFocusRange(const std::optional<TextRange> &range)
{
    if (m_fill->isFilling()) {
        // A place in the text being filled in: taken once it is shown.
        m_focusAfterFill = range;
        return;
    }
    if (!range || range == m_appliedFocusRange || range->location < 0 || range->location >= m_text.size())
        return;
    // Remembered first: the selection report below reaches the surface, which hands the range in again.
    m_appliedFocusRange = range;
    const qint64 length = std::min(std::max<qint64>(range->length, 0), qint64(m_text.size()) - range->location);
    QTextCursor cursor(m_view->document());
    cursor.setPosition(int(range->location));
    cursor.setPosition(int(range->location + length), QTextCursor::KeepAnchor);
    m_view->setTextCursor(cursor);
    m_view->ensureCursorVisible();
    reportSelection();
}
