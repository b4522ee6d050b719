// The markup tools, the note popover's rules and the selection that ties the tools to a markup.

#include "texteditor/AnnotationNoteInput.h"
#include "texteditor/TextComparisonSurface.h"

std::optional<TextRange> TextComparisonSurface::markupTargetRange() const
{
    if (m_state.selectionRange && m_state.selectionRange->length > 0)
        return m_state.selectionRange;
    return m_state.pendingSelectionRange;
}

std::optional<QRectF> TextComparisonSurface::markupTargetRect() const
{
    if (m_state.selectionRange && m_state.selectionRange->length >= 1 && m_state.selectionRect)
        return m_state.selectionRect;
    return m_state.pendingSelectionRect;
}

const TextMarkupAnnotation *TextComparisonSurface::annotationWithID(const QUuid &id) const
{
    for (const TextMarkupAnnotation &annotation : m_comparison.annotations) {
        if (annotation.id == id)
            return &annotation;
    }
    return nullptr;
}

std::optional<QUuid> TextComparisonSurface::annotationID(qint64 location, qint64 length) const
{
    for (const TextMarkupAnnotation &annotation : m_comparison.annotations) {
        if (annotation.location == location && annotation.length == length)
            return annotation.id;
    }
    return std::nullopt;
}

void TextComparisonSurface::selectionReported(std::optional<TextRange> range, std::optional<QRectF> rect)
{
    const std::optional<TextRange> previous = m_state.selectionRange;
    m_state.selectionRange = range;
    m_state.selectionRect = rect;
    const auto location
        = [](const std::optional<TextRange> &r) { return r ? std::optional<qint64>(r->location) : std::nullopt; };
    const auto length
        = [](const std::optional<TextRange> &r) { return r ? std::optional<qint64>(r->length) : std::nullopt; };
    if (location(previous) != location(range))
        syncActiveAnnotationWithSelection();
    if (length(previous) != length(range))
        syncActiveAnnotationWithSelection();
    refreshChrome();
}

void TextComparisonSurface::syncActiveAnnotationWithSelection()
{
    const std::optional<TextRange> selection = m_state.selectionRange;
    if (!selection || selection->length < 1) {
        m_state.isNotePopoverPresented = false;
        return;
    }
    const std::optional<TextRange> previous = m_state.pendingSelectionRange;
    m_state.pendingSelectionRange = selection;
    if (m_state.selectionRect)
        m_state.pendingSelectionRect = m_state.selectionRect;
    if (previous != selection)
        m_state.isNotePopoverPresented = false;
    for (const TextMarkupAnnotation &annotation : m_comparison.annotations) {
        if (annotation.location == selection->location && annotation.length == selection->length) {
            m_state.activeAnnotationID = annotation.id;
            m_state.activeNote = annotation.note;
            return;
        }
    }
    m_state.activeAnnotationID.reset();
    m_state.activeNote.clear();
}

void TextComparisonSurface::clearSelectionState()
{
    m_state.selectionRange.reset();
    m_state.selectionRect.reset();
    m_state.pendingSelectionRange.reset();
    m_state.pendingSelectionRect.reset();
    m_state.activeAnnotationID.reset();
    m_state.activeNote.clear();
}

void TextComparisonSurface::resetTransientState()
{
    m_state.isNotePopoverPresented = false;
    clearSelectionState();
    m_state.annotationRects.clear();
    m_state.calloutRects.clear();
    ++m_state.textCancelSignal;
    refreshChrome();
}

void TextComparisonSurface::applyMarkupTool(TextComparisonMarkupTool tool)
{
    const std::optional<TextRange> range = markupTargetRange();
    if (!range || range->length < 1)
        return;
    switch (tool) {
    case TextComparisonMarkupTool::Note:
        openNoteEditor(range->location, range->length);
        break;
    case TextComparisonMarkupTool::Underline:
        applyUnderline(range->location, range->length);
        break;
    case TextComparisonMarkupTool::Strikethrough:
        applyStrikethrough(range->location, range->length);
        break;
    }
}

bool TextComparisonSurface::applyMarkupShortcut(const QString &key)
{
    TextComparisonMarkupTool tool;
    if (key == QLatin1String("1"))
        tool = TextComparisonMarkupTool::Note;
    else if (key == QLatin1String("2"))
        tool = TextComparisonMarkupTool::Underline;
    else if (key == QLatin1String("3"))
        tool = TextComparisonMarkupTool::Strikethrough;
    else
        return false;
    applyMarkupTool(tool);
    return true;
}

void TextComparisonSurface::openNoteEditor(qint64 location, qint64 length)
{
    m_state.isNotePopoverPresented = true;
    const TextMarkupAnnotation *active
        = m_state.activeAnnotationID ? annotationWithID(*m_state.activeAnnotationID) : nullptr;
    if (active) {
        m_state.activeNote = active->note;
    } else if (const std::optional<QUuid> id = annotationID(location, length)) {
        m_state.activeAnnotationID = id;
        m_state.activeNote = annotationWithID(*id)->note;
    } else {
        m_state.activeAnnotationID.reset();
        m_state.activeNote.clear();
    }
    ++m_state.noteFocusSignal;
    refreshChrome();
}

std::optional<std::pair<QUuid, bool>> TextComparisonSurface::toolTarget(qint64 location, qint64 length)
{
    if (m_state.activeAnnotationID)
        return std::make_pair(*m_state.activeAnnotationID, true);
    if (const std::optional<QUuid> id = annotationID(location, length))
        return std::make_pair(*id, true);
    if (m_actions.addAnnotation) {
        if (const std::optional<TextMarkupAnnotation> created = m_actions.addAnnotation(TextRange { location, length }))
            return std::make_pair(created->id, false);
    }
    return std::nullopt;
}

void TextComparisonSurface::applyUnderline(qint64 location, qint64 length)
{
    m_state.isNotePopoverPresented = false;
    if (const auto target = toolTarget(location, length); target && m_actions.updateAnnotation)
        m_actions.updateAnnotation(target->first, std::nullopt, std::nullopt, std::nullopt, true,
                                   m_state.selectedMarkupColorHex, std::nullopt);
    clearSelectionState();
    refreshChrome();
}

void TextComparisonSurface::applyStrikethrough(qint64 location, qint64 length)
{
    m_state.isNotePopoverPresented = false;
    if (const auto target = toolTarget(location, length)) {
        const TextMarkupAnnotation *existing = target->second ? annotationWithID(target->first) : nullptr;
        const bool alreadyStruck = existing && existing->strikethrough;
        if (!alreadyStruck && m_actions.updateAnnotation)
            m_actions.updateAnnotation(target->first, std::nullopt, false, QStringLiteral("none"), std::nullopt,
                                       std::nullopt, true);
    }
    clearSelectionState();
    refreshChrome();
}

void TextComparisonSurface::commitNote(qint64 location, qint64 length)
{
    const QString note = m_state.activeNote.trimmed();
    if (note.isEmpty()) {
        dismissNoteEditor();
        return;
    }
    std::optional<QUuid> taken;
    if (m_state.activeAnnotationID) {
        const QUuid id = *m_state.activeAnnotationID;
        if (m_actions.updateAnnotation)
            m_actions.updateAnnotation(id, note, true, m_state.selectedMarkupColorHex, std::nullopt, std::nullopt,
                                       std::nullopt);
        if (annotationWithID(id))
            taken = id;
    } else if (m_actions.addAnnotation) {
        if (const std::optional<TextMarkupAnnotation> created
            = m_actions.addAnnotation(TextRange { location, length })) {
            if (m_actions.updateAnnotation)
                m_actions.updateAnnotation(created->id, note, true, m_state.selectedMarkupColorHex, std::nullopt,
                                           std::nullopt, std::nullopt);
            taken = created->id;
        }
    }
    if (taken) {
        clearSelectionState();
        m_state.isNotePopoverPresented = false;
    }
    refreshChrome();
}

void TextComparisonSurface::dismissNoteEditor()
{
    m_state.isNotePopoverPresented = false;
    clearSelectionState();
    refreshChrome();
}

void TextComparisonSurface::editAnnotationNote(const TextMarkupAnnotation &annotation)
{
    m_state.activeAnnotationID = annotation.id;
    m_state.activeNote = annotation.note;
    m_state.selectionRange = TextRange { annotation.location, annotation.length };
    m_state.pendingSelectionRange = m_state.selectionRange;
    if (const auto it = m_state.annotationRects.find(annotation.id); it != m_state.annotationRects.end())
        m_state.pendingSelectionRect = it->second;
    else if (const auto callout = m_state.calloutRects.find(annotation.id); callout != m_state.calloutRects.end())
        m_state.pendingSelectionRect = callout->second;
    else
        m_state.pendingSelectionRect.reset();
    m_state.isNotePopoverPresented = true;
    ++m_state.noteFocusSignal;
    refreshChrome();
}

void TextComparisonSurface::deleteAnnotation(const QUuid &id)
{
    if (m_actions.deleteAnnotation)
        m_actions.deleteAnnotation(id);
    if (m_state.activeAnnotationID == id)
        dismissNoteEditor();
}

void TextComparisonSurface::applyQuickNote(const QString &phrase)
{
    m_state.activeNote = phrase;
    const std::optional<TextRange> range = markupTargetRange();
    if (range && range->length >= 1) {
        commitNote(range->location, range->length);
        return;
    }
    m_state.isNotePopoverPresented = true;
    refreshChrome();
}

void TextComparisonSurface::selectMarkupColor(const QString &hex)
{
    m_state.selectedMarkupColorHex = hex;
    m_state.isNotePopoverPresented = false;
    refreshChrome();
}

void TextComparisonSurface::toggleAnnotationList()
{
    m_state.showAnnotationList = !m_state.showAnnotationList;
    refreshChrome();
}

void TextComparisonSurface::setActiveNote(const QString &note)
{
    m_state.activeNote = note;
    m_noteInput->showText(note);
}
