#include "model/MarkupViewModel.h"

#include "model/FileSupport.h"
#include "platform/NewFile.h"
#include "textengine/TextComparisonImport.h"
#include "textengine/TextComparisonRules.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

void requestAutosave(MarkupViewModel &model)
{
    model.scheduleProjectAutosave();
}

// Marks the view model as re-applying history for one scope, so that an edit the editor sends
// back while it reacts to the published text records no history of its own.
class HistoryApplication {
public:
    explicit HistoryApplication(MarkupViewModel &model)
        : m_model(model)
    {
        m_model.setApplyingTextComparisonHistory(true);
    }
    ~HistoryApplication() { m_model.setApplyingTextComparisonHistory(false); }
    HistoryApplication(const HistoryApplication &) = delete;
    HistoryApplication &operator=(const HistoryApplication &) = delete;

private:
    MarkupViewModel &m_model;
};

std::optional<QString> exportToDesktop(MarkupViewModel &model, TextComparisonExportKind kind,
                                       TextComparisonExportFormat format, const TextComparisonResult &comparison,
                                       const std::optional<QString> &givenTitle)
{
    const TextComparisonRules::DesktopExport written = TextComparisonRules::exportToDesktop(
        model.textComparison(), comparison, kind, format, givenTitle, FileSupport::exportTimestamp());
    if (!written.path)
        model.setErrorMessage(written.message);
    else
        model.setStatusMessage(written.message);
    return written.path;
}

} // namespace

QStringList MarkupViewModel::textComparisonUndoTexts() const
{
    return m_textComparison ? m_textComparisonHistory.undoTexts(m_textComparison->editedText) : QStringList();
}

QStringList MarkupViewModel::textComparisonRedoTexts() const
{
    return m_textComparison ? m_textComparisonHistory.redoTexts(m_textComparison->editedText) : QStringList();
}

bool MarkupViewModel::canExportTextComparison() const
{
    return m_textComparison.has_value();
}

void MarkupViewModel::setTextComparison(const QString &sourceName, const QString &text)
{
    // A new source is a new document: the open project file keeps the document it holds (its
    // pending autosave written now), and the new one goes to no file until it is saved by name.
    // Work that could not be written stays on screen, with the write error.
    if (!leaveProjectFile())
        return;
    const QString content = TextComparisonRules::newDocumentText(text);
    setTextComparison(TextComparisonState(sourceName, content, std::nullopt, {}));
    m_textComparisonHistory.clear();
    setStatusMessage(QStringLiteral("已载入文案：") + sourceName);
    requestAutosave(*this);
}

void MarkupViewModel::importTextComparison(const QString &path)
{
    const TextComparisonImport::ImportResult result = TextComparisonImport::importFile(path);
    if (!result.text) {
        setErrorMessage(result.errorMessage);
        return;
    }
    setTextComparison(QFileInfo(path).fileName(), *result.text);
}

void MarkupViewModel::updateEditedComparisonText(const QString &text)
{
    // Code-unit equality on purpose: a canonically equal but differently encoded text must still
    // be stored, or the editor and the document would hold different offsets.
    if (m_textComparison && m_textComparison->editedText == text)
        return;
    if (m_textComparison) {
        // The step holds only what changed: a keystroke in a long text costs a code unit or two.
        // The editor's answer to an undo or redo is no step of its own; the history follows it.
        if (m_isApplyingTextComparisonHistory)
            m_textComparisonHistory.follow(text);
        else
            m_textComparisonHistory.record(m_textComparison->editedText, text);
        TextComparisonState state = *m_textComparison;
        state.editedText = text;
        setTextComparison(TextComparisonRules::clampedToEditedText(std::move(state)));
    }
    setStatusMessage(QStringLiteral("文案已修改"));
    requestAutosave(*this);
}

bool MarkupViewModel::undoTextComparisonEdit()
{
    std::optional<QString> stepped;
    if (m_textComparison)
        stepped = m_textComparisonHistory.undo(m_textComparison->editedText);
    if (!stepped) {
        setStatusMessage(QStringLiteral("没有可撤回的文案修改"));
        return true;
    }
    TextComparisonState state = *m_textComparison;
    state.editedText = std::move(*stepped);
    {
        const HistoryApplication applying(*this);
        setTextComparison(TextComparisonRules::clampedToEditedText(std::move(state)));
    }
    setStatusMessage(QStringLiteral("已撤回文案修改"));
    requestAutosave(*this);
    return true;
}

bool MarkupViewModel::redoTextComparisonEdit()
{
    std::optional<QString> stepped;
    if (m_textComparison)
        stepped = m_textComparisonHistory.redo(m_textComparison->editedText);
    if (!stepped) {
        setStatusMessage(QStringLiteral("没有可重做的文案修改"));
        return true;
    }
    TextComparisonState state = *m_textComparison;
    state.editedText = std::move(*stepped);
    {
        const HistoryApplication applying(*this);
        setTextComparison(TextComparisonRules::clampedToEditedText(std::move(state)));
    }
    setStatusMessage(QStringLiteral("已重做文案修改"));
    requestAutosave(*this);
    return true;
}

std::optional<TextMarkupAnnotation> MarkupViewModel::addTextMarkupAnnotation(qint64 location, qint64 length)
{
    if (!m_textComparison || !TextComparisonRules::isValidMarkupRange(m_textComparison->editedText, location, length)) {
        setErrorMessage(QStringLiteral("请先框选要标注的文案"));
        return std::nullopt;
    }
    for (const TextMarkupAnnotation &existing : m_textComparison->annotations) {
        if (existing.location == location && existing.length == length)
            return existing;
    }
    const TextMarkupAnnotation added = TextComparisonRules::newMarkup(location, length);
    TextComparisonState state = *m_textComparison;
    state.annotations.push_back(added);
    setTextComparison(TextComparisonRules::normalizedTextComparison(std::move(state)));
    setStatusMessage(QStringLiteral("已添加文案标注"));
    requestAutosave(*this);
    return added;
}

void MarkupViewModel::updateTextMarkupAnnotation(const QUuid &id, const std::optional<QString> &note,
                                                 std::optional<bool> highlight,
                                                 const std::optional<QString> &highlightColorHex,
                                                 std::optional<bool> underline,
                                                 const std::optional<QString> &underlineColorHex,
                                                 std::optional<bool> strikethrough)
{
    if (!m_textComparison)
        return;
    TextComparisonState state = *m_textComparison;
    const auto found = std::find_if(state.annotations.begin(), state.annotations.end(),
                                    [&id](const TextMarkupAnnotation &annotation) { return annotation.id == id; });
    if (found == state.annotations.end())
        return;
    TextComparisonRules::applyMarkupUpdate(*found, note, highlight, highlightColorHex, underline, underlineColorHex,
                                           strikethrough);
    setTextComparison(TextComparisonRules::normalizedTextComparison(std::move(state)));
    setStatusMessage(QStringLiteral("文案标注已更新"));
    requestAutosave(*this);
}

void MarkupViewModel::deleteTextMarkupAnnotation(const QUuid &id)
{
    if (!m_textComparison)
        return;
    TextComparisonState state = *m_textComparison;
    std::erase_if(state.annotations, [&id](const TextMarkupAnnotation &annotation) { return annotation.id == id; });
    setTextComparison(TextComparisonRules::normalizedTextComparison(std::move(state)));
    setStatusMessage(QStringLiteral("文案标注已删除"));
    requestAutosave(*this);
}

std::optional<QString> MarkupViewModel::saveTextComparisonToDesktop(TextComparisonExportKind kind,
                                                                    const TextComparisonResult &comparison,
                                                                    const std::optional<QString> &title)
{
    return exportToDesktop(*this, kind, TextComparisonExportFormat::Png, comparison, title);
}

std::optional<QString> MarkupViewModel::saveEditedComparisonPDFToDesktop(TextComparisonExportKind kind,
                                                                         const TextComparisonResult &comparison,
                                                                         const std::optional<QString> &title)
{
    return exportToDesktop(*this, kind, TextComparisonExportFormat::Pdf, comparison, title);
}

std::optional<QString> MarkupViewModel::saveTextComparisonWordToDesktop(TextComparisonExportKind kind,
                                                                        const TextComparisonResult &comparison,
                                                                        const std::optional<QString> &title)
{
    return exportToDesktop(*this, kind, TextComparisonExportFormat::Docx, comparison, title);
}

void MarkupViewModel::restoreTextComparisonFromProject(std::optional<TextComparisonState> state)
{
    if (state)
        state = TextComparisonRules::openedProjectState(std::move(*state));
    m_textComparisonHistory.clear();
    setTextComparison(std::move(state));
}
