#include "texteditor/SyncedOriginalTextView.h"

#include "texteditor/TextComparisonScrollSync.h"
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
    const qsizetype shorter = std::min(current.size(), text.size());
    qsizetype prefix = 0;
    while (prefix < shorter && current.at(prefix) == text.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && current.at(current.size() - 1 - suffix) == text.at(text.size() - 1 - suffix))
        ++suffix;
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

bool insertEmptyRows(QTextDocument *document, const QString &current, const QString &text)
{
    if (text.size() <= current.size())
        return false;
    // Each run of added rows: the offset in `current` of the line it goes before (one past the
    // end of `current` for rows after its last line) and how many rows it holds.
    std::vector<std::pair<qsizetype, int>> runs;
    const QStringView shown(current);
    const QStringView wanted(text);
    qsizetype shownAt = 0; // start of the first line of `current` not yet matched
    bool shownDone = false;
    for (qsizetype wantedAt = 0; wantedAt <= wanted.size();) {
        qsizetype wantedEnd = wanted.indexOf(QLatin1Char('\n'), wantedAt);
        if (wantedEnd < 0)
            wantedEnd = wanted.size();
        const QStringView line = wanted.mid(wantedAt, wantedEnd - wantedAt);
        wantedAt = wantedEnd + 1;
        if (!shownDone) {
            qsizetype shownEnd = shown.indexOf(QLatin1Char('\n'), shownAt);
            if (shownEnd < 0)
                shownEnd = shown.size();
            if (line == shown.mid(shownAt, shownEnd - shownAt)) {
                shownAt = shownEnd + 1;
                shownDone = shownAt > shown.size();
                continue;
            }
        }
        if (!line.isEmpty())
            return false;
        const qsizetype before = shownDone ? shown.size() + 1 : shownAt;
        if (!runs.empty() && runs.back().first == before)
            ++runs.back().second;
        else
            runs.emplace_back(before, 1);
    }
    if (!shownDone)
        return false;
    // From the bottom up, so that the offsets still to come stay where they were.
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        // Rows go in at the end of the line before them, which keeps the lines already there the
        // blocks they were (but for the first line, when rows go above it).
        cursor.setPosition(int(std::max<qsizetype>(run->first - 1, 0)));
        cursor.insertText(QString(run->second, QLatin1Char('\n')));
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
    text.replace(from, removedEnd - from, piece);
    return text.size() == length;
}

} // namespace PaneText

SyncedOriginalTextView::SyncedOriginalTextView(std::shared_ptr<TextComparisonScrollSync> scrollSync, QWidget *parent)
    : QTextEdit(parent)
    , m_scrollSync(std::move(scrollSync))
{
    TextPaneMetrics::setUpPane(this);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_scrollSync->originalScrollView = this;
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { m_scrollSync->sync(this); });
}

SyncedOriginalTextView::~SyncedOriginalTextView()
{
    disconnect(verticalScrollBar(), nullptr, this, nullptr);
}

void SyncedOriginalTextView::adoptDocument(QTextDocument *adopted)
{
    TextPaneMetrics::adoptDocument(this, adopted);
    m_renderedText.reset();
}

TextPaneDocumentLayout *SyncedOriginalTextView::paneLayout() const
{
    return static_cast<TextPaneDocumentLayout *>(document()->documentLayout());
}

void SyncedOriginalTextView::render(const QString &text, const std::vector<TextMarkupAnnotation> &annotations)
{
    const qreal width = paneLayout()->textWidth();
    if (m_renderedText && *m_renderedText == text && m_renderedAnnotations == annotations
        && std::abs(width - m_renderedWidth) <= 0.5)
        return;
    if (!m_renderedText || *m_renderedText != text) {
        const int scroll = verticalScrollBar()->value();
        const QString current = m_renderedText ? *m_renderedText : PaneText::rawText(document());
        // The aligned original of a new document is the original with empty rows added where the
        // edited text has lines of its own: adding just those rows keeps the rest of the pane.
        if (!PaneText::insertEmptyRows(document(), current, text))
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
