#include "shell/TextComparisonHookup.h"

#include "markup/DesktopImageSave.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "shell/ContentView.h"
#include "shell/ShellHooks.h"
#include "texteditor/TextComparisonWorkspace.h"
#include "texteditor/TextExportDialogs.h"
#include "texteditor/TextPaneDocuments.h"
#include "texteditor/TextProjectPanels.h"
#include "textengine/TextComparisonExecutor.h"
#include "textengine/TextComparisonSession.h"
#include "ui/ActionButton.h"
#include "ui/EmptyStateColumn.h"
#include "ui/PanelChrome.h"

#include <QLabel>
#include <QVBoxLayout>

using DesktopImageSave::desktopFormat;

namespace {

QLabel *caption(const QString &text, double pixelSize, QWidget *parent)
{
    QLabel *label = PanelChrome::label(text, AppFont::font(pixelSize, QFont::DemiBold), AppTheme::secondaryText(), parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

TextComparisonExportKind exportKind(bool editedPageOnly)
{
    return editedPageOnly ? TextComparisonExportKind::EditedPage : TextComparisonExportKind::Full;
}

} // namespace

TextComparisonHookup::TextComparisonHookup(ContentView &view)
    : QObject(&view)
    , m_view(view)
    , m_panels(std::make_unique<FileDialogTextProjectPanels>())
    , m_exportDialogs(std::make_shared<ModalTextExportDialogs>())
    , m_paneDocuments(std::make_shared<TextPaneDocuments>())
{
    setObjectName(QStringLiteral("textComparisonHookup"));
    m_session = new TextComparisonSession(view.viewModel(), TextComparisonExecutors::threaded(), this);
    // The texts are compared while the workspace shows; leaving it or closing the window stops
    // the search at once (an export still waiting keeps it going after a switch).
    m_session->setActive(view.workspaceMode() == WorkspaceMode::TextComparison);
    connect(&view, &ContentView::workspaceModeChanged, m_session,
            [this](WorkspaceMode mode) { m_session->setActive(mode == WorkspaceMode::TextComparison); });
    connect(&view, &ContentView::terminationRequested, m_session, [this] { m_session->cancel(); });
}

TextComparisonHookup::~TextComparisonHookup() = default;

void TextComparisonHookup::setPanels(std::unique_ptr<TextProjectPanels> panels) { m_panels = std::move(panels); }

void TextComparisonHookup::setExportDialogs(std::unique_ptr<TextExportDialogs> dialogs)
{
    m_exportDialogs = std::move(dialogs);
}

void TextComparisonHookup::install(ShellHooks &hooks)
{
    hooks.textComparisonWorkspace = [this] { return makeWorkspace(); };
    hooks.presentTextImportPanel = [this] { presentTextImportPanel(); };
    hooks.presentOpenProjectPanel = [this] { presentOpenProjectPanel(); };
    hooks.presentSaveProjectPanel = [this] { return presentSaveProjectPanel(); };
}

void TextComparisonHookup::presentOpenProjectPanel()
{
    if (const std::optional<QString> path = m_panels->chooseProjectToOpen(m_view.window()))
        m_view.openProject(*path);
}

bool TextComparisonHookup::presentSaveProjectPanel()
{
    MarkupViewModel &model = m_view.viewModel();
    if (!model.hasProjectSaveContent()) {
        const ShellHooks &hooks = m_view.hooks();
        return hooks.saveSelectedImagesToDesktop
            && !hooks.saveSelectedImagesToDesktop(model, desktopFormat.format, desktopFormat.jpegQuality).isEmpty();
    }
    const std::optional<QString> path
        = m_panels->chooseProjectSaveLocation(model.suggestedProjectFileName(), m_view.window());
    return path && model.saveProject(*path);
}

void TextComparisonHookup::presentTextImportPanel()
{
    const std::optional<QString> path = m_panels->chooseSourceText(m_view.window());
    // Edits and markups that no project file holds are asked about before they are replaced.
    if (!path || !m_view.confirmReplacingWork(SaveQuestionCause::NewSource))
        return;
    // The workspace shows before the file is read, so a failed upload leaves it on screen.
    m_view.setWorkspaceMode(WorkspaceMode::TextComparison);
    m_view.setPanOffset(QSizeF(0, 0));
    m_view.viewModel().importTextComparison(*path);
}

QWidget *TextComparisonHookup::makeEmptyState()
{
    auto *empty = new QWidget;
    QVBoxLayout *column = emptyStateColumn(empty, QStringLiteral("textComparisonEmptyState"),
                                           QStringLiteral("doc.text.magnifyingglass"), 52, 16);
    column->addWidget(caption(QStringLiteral("上传原文后，左侧只读，右侧可直接修改并生成标记图片。"), 13, empty), 0,
                      Qt::AlignHCenter);
    auto *upload = new ActionButton(QStringLiteral("上传原文"), QStringLiteral("doc.badge.plus"), empty);
    upload->setObjectName(QStringLiteral("textUploadButton"));
    upload->setColors(Qt::white, AppTheme::green(), AppTheme::green());
    upload->setToolTip(QStringLiteral("上传 TXT、RTF 或 DOCX 原文，进入文案对比"));
    connect(upload, &QAbstractButton::clicked, this, [this] { presentTextImportPanel(); });
    column->addWidget(upload, 0, Qt::AlignHCenter);
    column->addWidget(caption(QStringLiteral("支持 TXT / RTF / DOCX"), 11, empty), 0, Qt::AlignHCenter);
    column->addStretch(1);
    return empty;
}

// A fresh workspace on every entry; it follows the document and the cancel counter while shown.
QWidget *TextComparisonHookup::makeWorkspace()
{
    MarkupViewModel &model = m_view.viewModel();
    TextComparisonActions actions;
    actions.editText = [&model](const QString &text) { model.updateEditedComparisonText(text); };
    actions.open = [this] { presentTextImportPanel(); };
    actions.save = [this, &model](bool editedPageOnly, const QString &title) {
        exportWhenCompared([&model, editedPageOnly, title](const TextComparisonResult &comparison) {
            model.saveTextComparisonToDesktop(exportKind(editedPageOnly), comparison, title);
        });
    };
    actions.downloadPDF = [this, &model](bool editedPageOnly, const QString &title) {
        exportWhenCompared([&model, editedPageOnly, title](const TextComparisonResult &comparison) {
            model.saveEditedComparisonPDFToDesktop(exportKind(editedPageOnly), comparison, title);
        });
    };
    actions.exportWord = [this, &model](bool editedPageOnly, const QString &title) {
        exportWhenCompared([&model, editedPageOnly, title](const TextComparisonResult &comparison) {
            model.saveTextComparisonWordToDesktop(exportKind(editedPageOnly), comparison, title);
        });
    };
    actions.addAnnotation
        = [&model](TextRange range) { return model.addTextMarkupAnnotation(range.location, range.length); };
    actions.updateAnnotation = [&model](const QUuid &id, const std::optional<QString> &note,
                                        std::optional<bool> highlight, const std::optional<QString> &highlightColorHex,
                                        std::optional<bool> underline, const std::optional<QString> &underlineColorHex,
                                        std::optional<bool> strike) {
        model.updateTextMarkupAnnotation(id, note, highlight, highlightColorHex, underline, underlineColorHex, strike);
    };
    actions.deleteAnnotation = [&model](const QUuid &id) { model.deleteTextMarkupAnnotation(id); };
    actions.undo = [&model] { return model.undoTextComparisonEdit(); };
    actions.redo = [&model] { return model.redoTextComparisonEdit(); };
    auto cancel = [&model] { model.cancelCurrentOperation(); };

    auto *workspace = new TextComparisonWorkspace(makeEmptyState(), *m_session, actions, cancel, m_exportDialogs,
                                                  m_view.cancelSignal());
    workspace->setPaneDocuments(m_paneDocuments);
    workspace->setComparison(model.textComparison());
    connect(&model, &MarkupViewModel::textComparisonChanged, workspace,
            [workspace, &model] { workspace->setComparison(model.textComparison()); });
    connect(&m_view, &ContentView::cancelSignalChanged, workspace, &TextComparisonWorkspace::setCancelSignal);
    return workspace;
}

void TextComparisonHookup::exportWhenCompared(std::function<void(const TextComparisonResult &)> save)
{
    // The file holds exactly what the editor shows: the result of the texts as they stand when
    // it is written. Typing on meanwhile makes the export wait for the newer texts.
    if (!m_session->whenCompared(std::move(save)))
        m_view.viewModel().setStatusMessage(QStringLiteral("正在对比文案，完成后导出…"));
}
