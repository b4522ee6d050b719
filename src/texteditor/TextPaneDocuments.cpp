#include "texteditor/TextPaneDocuments.h"

#include "texteditor/AnnotationTextView.h"
#include "texteditor/HighlightedTextEditor.h"
#include "texteditor/SyncedOriginalTextView.h"
#include "texteditor/TextPaneDocumentFill.h"

#include <QAbstractTextDocumentLayout>
#include <QTextDocument>

TextPaneDocuments::TextPaneDocuments() = default;
// The documents kept may be long: each goes in an event of its own once the window is closed.
TextPaneDocuments::~TextPaneDocuments()
{
    PaneText::disposeLater(m_original.release());
    PaneText::disposeLater(m_edited.release());
}

void TextPaneDocuments::keep(SyncedOriginalTextView *original, HighlightedTextEditor *edited, Shown shown)
{
    // The panes go right after this; their documents no longer go with them.
    QTextDocument *originalDocument = original->document();
    QTextDocument *editedDocument = edited->textView()->document();
    for (QTextDocument *document : { originalDocument, editedDocument }) {
        document->setParent(nullptr);
        document->documentLayout()->setPaintDevice(nullptr);
    }
    m_original.reset(originalDocument);
    m_edited.reset(editedDocument);
    m_originalText = original->knownText();
    m_editedText = edited->knownText();
    m_shown = std::move(shown);
}

std::optional<TextPaneDocuments::Shown> TextPaneDocuments::lend(SyncedOriginalTextView *original,
                                                                HighlightedTextEditor *edited,
                                                                const QString &originalText)
{
    if (!m_original || !m_edited)
        return std::nullopt;
    original->adoptDocument(m_original.release(), std::exchange(m_originalText, std::nullopt));
    edited->adoptDocument(m_edited.release(), std::exchange(m_editedText, std::nullopt));
    std::optional<Shown> shown = std::move(m_shown);
    m_shown.reset();
    if (shown && shown->originalText != originalText)
        return std::nullopt;
    return shown;
}
