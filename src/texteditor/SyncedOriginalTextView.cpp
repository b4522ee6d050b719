#include "texteditor/SyncedOriginalTextView.h"

#include "texteditor/TextComparisonScrollSync.h"
#include "textengine/CarriedChanges.h"
#include "texteditor/TextPaneDocumentFill.h"
#include "texteditor/TextPaneDocumentLayout.h"
#include "textengine/TextAnnotationCalloutLayout.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <cmath>
#include <utility>
#include <vector>

namespace PaneText {

QString rawText(const QTextDocument *document)
{
    QString text = document->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

bool replaceDifferingMiddle(QTextDocument *document, const QString &current, const QString &text)
{
    if (current == text)
        return false;
    auto [prefix, suffix] = CarriedChanges::commonEnds(current, text);
    // Never split a surrogate pair.
    if (prefix > 0 && current.at(prefix - 1).isHighSurrogate())
        --prefix;
    if (suffix > 0 && current.at(current.size() - suffix).isLowSurrogate())
        --suffix;
    QTextCursor cursor(document);
    cursor.setPosition(int(prefix));
    cursor.setPosition(int(current.size() - suffix), QTextCursor::KeepAnchor);
    cursor.insertText(text.mid(prefix, text.size() - suffix - prefix));
    return true;
}

bool changeEmptyRows(QTextDocument *document, const QString &current, const QString &text)
{
    if (current == text)
        return false;
    // The edits, in the order of `current`: rows added before the line at an offset (one past the
    // end of `current` for rows after its last line), or empty lines from an offset taken away.
    struct RowEdit {
        qsizetype line;
        int added;
        int removed;
    };
    std::vector<RowEdit> edits;
    const QStringView shown(current);
    const QStringView wanted(text);
    auto lineAt = [](QStringView in, qsizetype at) {
        const qsizetype end = in.indexOf(QLatin1Char('\n'), at);
        return in.mid(at, (end < 0 ? in.size() : end) - at);
    };
    qsizetype shownAt = 0; // start of the first line of `current` not yet matched
    qsizetype wantedAt = 0;
    while (shownAt <= shown.size() || wantedAt <= wanted.size()) {
        const bool shownLeft = shownAt <= shown.size();
        const bool wantedLeft = wantedAt <= wanted.size();
        const QStringView shownLine = shownLeft ? lineAt(shown, shownAt) : QStringView();
        const QStringView wantedLine = wantedLeft ? lineAt(wanted, wantedAt) : QStringView();
        if (shownLeft && wantedLeft && shownLine == wantedLine) {
            shownAt += shownLine.size() + 1;
            wantedAt += wantedLine.size() + 1;
        } else if (wantedLeft && wantedLine.isEmpty()) {
            if (!edits.empty() && edits.back().line == shownAt && edits.back().added > 0)
                ++edits.back().added;
            else
                edits.push_back({ shownAt, 1, 0 });
            wantedAt += 1;
        } else if (shownLeft && shownLine.isEmpty()) {
            if (!edits.empty() && edits.back().removed > 0 && edits.back().line + edits.back().removed == shownAt)
                ++edits.back().removed;
            else
                edits.push_back({ shownAt, 0, 1 });
            shownAt += 1;
        } else {
            return false;
        }
    }
    // Every line taken away leaves none (a text has one line at least).
    if (!edits.empty() && edits.front().line == 0 && edits.front().removed - 1 == shown.count(QLatin1Char('\n')))
        return false;
    // From the bottom up, so that the offsets still to come stay where they were.
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (auto edit = edits.rbegin(); edit != edits.rend(); ++edit) {
        if (edit->added > 0) {
            // Rows go in at the end of the line before them, which keeps the lines already there
            // the blocks they were (but for the first line, when rows go above it).
            cursor.setPosition(int(std::max<qsizetype>(edit->line - 1, 0)));
            cursor.insertText(QString(edit->added, QLatin1Char('\n')));
        } else {
            // Empty lines go with the breaks after them, or before them when the last goes.
            const bool last = edit->line + edit->removed - 1 == shown.size();
            const qsizetype from = last ? edit->line - 1 : edit->line;
            cursor.setPosition(int(from));
            cursor.setPosition(int(from + edit->removed), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
    }
    cursor.endEditBlock();
    return true;
}

bool spliceEdit(QString &text, const QTextDocument *document, int from, int removed, int added, QChar lineEnd)
{
    // The document's text leaves out the end of its last block, which a report may count (a
    // whole document replaced reports it removed and added).
    const qsizetype length = document->characterCount() - 1;
    if (from < 0 || removed < 0 || added < 0 || from > text.size() || from > length)
        return false;
    const qsizetype removedEnd = std::min<qsizetype>(qsizetype(from) + removed, text.size());
    QTextCursor cursor(const_cast<QTextDocument *>(document));
    cursor.setPosition(from);
    cursor.setPosition(int(std::min<qsizetype>(qsizetype(from) + added, length)), QTextCursor::KeepAnchor);
    QString piece = cursor.selectedText();
    if (lineEnd != QChar::ParagraphSeparator)
        piece.replace(QChar::ParagraphSeparator, lineEnd);
    if (text.isDetached()) {
        text.replace(from, removedEnd - from, piece);
    } else {
        // Shared with the text handed out last (the model's): the new text is written once, not
        // copied whole and then moved again behind the edit.
        QString edited;
        edited.reserve(text.size() - (removedEnd - from) + piece.size());
        edited.append(QStringView(text).left(from)).append(piece).append(QStringView(text).mid(removedEnd));
        text = std::move(edited);
    }
    return text.size() == length;
}

} // namespace PaneText

SyncedOriginalTextView::SyncedOriginalTextView(std::shared_ptr<TextComparisonScrollSync> scrollSync, QWidget *parent)
    : QTextEdit(parent)
    , m_scrollSync(std::move(scrollSync))
    , m_fill(new TextPaneDocumentFill(this, [this](QTextDocument *document, const QString &text) {
        adoptFilled(document, text);
    }))
{
    TextPaneMetrics::setUpPane(this);
    connect(m_fill, &TextPaneDocumentFill::fillingChanged, this, &SyncedOriginalTextView::fillingChanged);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_scrollSync->originalScrollView = this;
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { m_scrollSync->sync(this); });
}

SyncedOriginalTextView::~SyncedOriginalTextView()
{
    disconnect(m_fill, nullptr, this, nullptr);
    m_fill->cancel();
    disconnect(verticalScrollBar(), nullptr, this, nullptr);
}

void SyncedOriginalTextView::adoptDocument(QTextDocument *adopted, std::optional<QString> text)
{
    TextPaneMetrics::adoptDocument(this, adopted);
    m_renderedText = std::move(text);
    m_renderedAnnotations.clear();
    m_renderedWidth = 0;
}

void SyncedOriginalTextView::setFillExecutor(std::shared_ptr<TextComparisonExecutor> executor)
{
    m_fill->setExecutor(std::move(executor));
}

bool SyncedOriginalTextView::isFilling() const { return m_fill->isFilling(); }

void SyncedOriginalTextView::adoptFilled(QTextDocument *document, const QString &text)
{
    auto wanted = std::exchange(m_wanted, std::nullopt);
    const int scroll = verticalScrollBar()->value();
    if (document) {
        // Qt would delete its own first document on the spot; it goes in an event of its own.
        QTextDocument *previous = this->document();
        previous->setParent(nullptr);
        adoptDocument(document, text);
        m_fill->dispose(previous);
    } else {
        PaneText::replaceDifferingMiddle(this->document(), PaneText::rawText(this->document()), text);
    }
    m_renderedText = text;
    verticalScrollBar()->setValue(scroll);
    if (wanted)
        render(wanted->first, wanted->second);
}

TextPaneDocumentLayout *SyncedOriginalTextView::paneLayout() const
{
    return static_cast<TextPaneDocumentLayout *>(document()->documentLayout());
}

void SyncedOriginalTextView::render(const QString &text, const std::vector<TextMarkupAnnotation> &annotations)
{
    if (m_fill->isFilling()) {
        m_wanted.emplace(text, annotations);
        if (TextPaneDocumentFill::needsNewDocument(m_fill->fillingText(), text))
            m_fill->start(text);
        return;
    }
    const qreal width = paneLayout()->textWidth();
    if (m_renderedText && *m_renderedText == text && m_renderedAnnotations == annotations
        && std::abs(width - m_renderedWidth) <= 0.5)
        return;
    if (!m_renderedText || *m_renderedText != text) {
        const int scroll = verticalScrollBar()->value();
        const QString current = m_renderedText ? *m_renderedText : PaneText::rawText(document());
        // An aligned original differs from the one shown, or from the original, only in the empty
        // rows that stand level with the edited text's own lines: changing just those rows keeps
        // the rest of the pane. A text far from the one shown is filled in off the thread.
        const bool rowsOnly = PaneText::changeEmptyRows(document(), current, text);
        if (!rowsOnly && m_fill->hasExecutor() && TextPaneDocumentFill::needsNewDocument(current, text)) {
            m_wanted.emplace(text, annotations);
            m_fill->start(text);
            return;
        }
        if (!rowsOnly)
            PaneText::replaceDifferingMiddle(document(), current, text);
        verticalScrollBar()->setValue(scroll);
    }
    m_renderedText = text;
    m_renderedAnnotations = annotations;
    applySpacing();
}

void SyncedOriginalTextView::applySpacing()
{
    const qreal width = paneLayout()->textWidth();
    m_renderedWidth = width;
    if (!m_renderedText)
        return;
    paneLayout()->setSpacing(
        TextAnnotationCalloutLayout::calloutSpacing(*m_renderedText, m_renderedAnnotations, width));
}

void SyncedOriginalTextView::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    if (std::abs(paneLayout()->textWidth() - m_renderedWidth) > 0.5)
        applySpacing();
}
