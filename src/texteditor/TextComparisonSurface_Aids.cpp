// Search, the list of notes, the strip of changes and the export questions.

#include "texteditor/AnnotationListRow.h"
#include "texteditor/ChangeStrip.h"
#include "texteditor/EditorTextRules.h"
#include "texteditor/TextComparisonSurface.h"
#include "texteditor/TextExportDialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

void TextComparisonSurface::setSearchText(const QString &text)
{
    m_state.searchText = text;
    refreshChrome();
}

void TextComparisonSurface::performSearch()
{
    const std::optional<TextRange> match = EditorTextRules::findFirst(m_comparison.editedText, m_state.searchText);
    if (!match)
        return;
    m_state.focusRange = match;
    m_state.focusedAnnotationID.reset();
    refreshList();
    refreshChrome();
}

void TextComparisonSurface::jumpToAnnotation(const TextMarkupAnnotation &annotation)
{
    m_state.focusRange = TextRange { annotation.location, annotation.length };
    m_state.focusedAnnotationID = annotation.id;
    refreshList();
    refreshChrome();
    editAnnotationNote(annotation);
}

std::vector<AnnotationListRow *> TextComparisonSurface::annotationListRows() const
{
    std::vector<AnnotationListRow *> rows;
    for (int index = 0; index < m_listRows->count(); ++index) {
        if (auto *row = qobject_cast<AnnotationListRow *>(m_listRows->itemAt(index)->widget()))
            rows.push_back(row);
    }
    return rows;
}

void TextComparisonSurface::refreshList()
{
    const std::vector<TextMarkupAnnotation> noted = EditorTextRules::notedAnnotations(m_comparison.annotations);
    QStringList parts;
    std::vector<QString> snippets;
    for (const TextMarkupAnnotation &annotation : noted) {
        snippets.push_back(EditorTextRules::annotationSnippet(annotation, m_comparison.editedText));
        parts << annotation.id.toString() << QString::number(annotation.sequenceNumber) << annotation.note
              << snippets.back() << EditorTextRules::badgeColorHex(annotation);
    }
    parts << (m_state.focusedAnnotationID ? m_state.focusedAnnotationID->toString() : QString());
    const QString signature = parts.join(QChar(0x1F));
    if (signature == m_listSignature)
        return;
    m_listSignature = signature;
    m_listCount->setText(QString::number(noted.size()));
    // Rows are kept and refilled: typing moves the snippets of many notes at once.
    std::vector<AnnotationListRow *> rows = annotationListRows();
    while (rows.size() > noted.size()) {
        AnnotationListRow *row = rows.back();
        rows.pop_back();
        m_listRows->removeWidget(row);
        row->deleteLater();
        row->hide();
    }
    for (std::size_t index = 0; index < noted.size(); ++index) {
        const TextMarkupAnnotation &annotation = noted[index];
        const bool focused = m_state.focusedAnnotationID == annotation.id;
        if (index < rows.size()) {
            rows[index]->setContent(annotation, snippets[index], focused);
            continue;
        }
        auto *row = new AnnotationListRow(annotation, snippets[index], focused, m_listRows->parentWidget());
        connect(row, &QAbstractButton::clicked, this, [this, row] {
            const TextMarkupAnnotation shown = row->annotation();
            jumpToAnnotation(shown);
        });
        m_listRows->insertWidget(int(index), row);
    }
}

void TextComparisonSurface::refreshStrip() { m_strip->setChanges(m_comparison.editedText, m_changes); }

void TextComparisonSurface::confirmExportScope(ExportTarget target)
{
    if (m_comparison.annotations.empty()) {
        promptExportTitle(false, target);
        return;
    }
    static const QString titles[]
        = { QStringLiteral("保存图片"), QStringLiteral("导出 PDF"), QStringLiteral("导出 Word") };
    switch (m_dialogs.askScope(titles[int(target)], window())) {
    case TextExportDialogs::Scope::Full:
        promptExportTitle(false, target);
        break;
    case TextExportDialogs::Scope::EditedPage:
        promptExportTitle(true, target);
        break;
    case TextExportDialogs::Scope::Cancel:
        break;
    }
}

void TextComparisonSurface::promptExportTitle(bool editedPageOnly, ExportTarget target)
{
    static const QString titles[]
        = { QStringLiteral("保存图片"), QStringLiteral("导出 PDF"), QStringLiteral("导出 Word") };
    const QString defaultTitle = editedPageOnly ? QStringLiteral("修改文案页") : QStringLiteral("文案对比");
    const std::optional<QString> answer = m_dialogs.askTitle(titles[int(target)], defaultTitle, window());
    if (!answer)
        return;
    QString title = answer->trimmed();
    if (title.isEmpty())
        title = defaultTitle;
    const auto &action = target == ExportTarget::Image ? m_actions.save
        : target == ExportTarget::Pdf                  ? m_actions.downloadPDF
                                                       : m_actions.exportWord;
    if (action)
        action(editedPageOnly, title);
}
