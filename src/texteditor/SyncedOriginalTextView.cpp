#include "texteditor/SyncedOriginalTextView.h"

#include "texteditor/TextComparisonScrollSync.h"
#include "texteditor/TextPaneDocumentLayout.h"
#include "textengine/TextAnnotationCalloutLayout.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <cmath>

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
        PaneText::replaceDifferingMiddle(document(), m_renderedText ? *m_renderedText : PaneText::rawText(document()),
                                         text);
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
