#include "shell/TextComparisonHookup.h"

#include "markup/DesktopImageSave.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/FileSupport.h"
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

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QThread>
#include <QVBoxLayout>

#include <utility>

using DesktopImageSave::desktopFormat;

namespace {

QLabel *caption(const QString &text, double pixelSize, QWidget *parent)
{
    QLabel *label = PanelChrome::label(text, AppFont::font(pixelSize, QFont::DemiBold), AppTheme::secondaryText(), parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

const QString exportsDroppedStatus = QStringLiteral("文案已更换，等待中的导出已取消");

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
    connect(&view, &ContentView::terminationRequested, m_session, [this] {
        m_session->cancel();
        m_exportsCancelled->store(true);
    });
    // An export waiting for its comparison belongs to the document it was asked for.
    connect(&view, &ContentView::documentOpening, this, [this] { m_projectDroppedExports = dropWaitingExports(); });
    connect(&view, &ContentView::documentOpened, this, [this] {
        if (std::exchange(m_projectDroppedExports, false))
            m_view.viewModel().setStatusMessage(exportsDroppedStatus);
    });
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
    hooks.presentSaveProjectPanelInBackground = [this] { presentSaveProjectPanel(ProjectWrite::InBackground); };
}

void TextComparisonHookup::presentOpenProjectPanel()
{
    if (const std::optional<QString> path = m_panels->chooseProjectToOpen(m_view.window()))
        m_view.openProject(*path);
}

bool TextComparisonHookup::presentSaveProjectPanel(ProjectWrite write)
{
    MarkupViewModel &model = m_view.viewModel();
    if (!model.hasProjectSaveContent()) {
        const ShellHooks &hooks = m_view.hooks();
        return hooks.saveSelectedImagesToDesktop
            && !hooks.saveSelectedImagesToDesktop(model, desktopFormat.format, desktopFormat.jpegQuality).isEmpty();
    }
    const std::optional<QString> path
        = m_panels->chooseProjectSaveLocation(model.suggestedProjectFileName(), m_view.window());
    if (path && write == ProjectWrite::InBackground) {
        model.startSavingProject(*path);
        return true;
    }
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
    // The file is read and decoded off the window's thread; the document it makes replaces the
    // one the question was about, and is asked about again should that one change meanwhile.
    const std::optional<TextComparisonState> asked = m_view.viewModel().textComparison();
    m_view.loadDocument([path = *path, hookup = QPointer<TextComparisonHookup>(this), asked] {
        auto read = std::make_shared<const TextComparisonImport::ImportResult>(TextComparisonImport::importFile(path));
        return std::function<void()>([hookup, path, read, asked] {
            if (hookup)
                hookup->applyImport(path, *read, asked);
        });
    });
}

void TextComparisonHookup::applyImport(const QString &path, const TextComparisonImport::ImportResult &read,
                                       const std::optional<TextComparisonState> &asked)
{
    MarkupViewModel &model = m_view.viewModel();
    if (!read.text) {
        model.setErrorMessage(read.errorMessage);
        return;
    }
    if (model.textComparison() != asked && !m_view.confirmReplacingWork(SaveQuestionCause::NewSource))
        return;
    // The open project's last edits reach its file first, off the window's thread (the new
    // document then leaves that file). When they cannot be written, the work stays with the error.
    const QPointer<TextComparisonHookup> hookup(this);
    model.finishProjectWrites([hookup, name = QFileInfo(path).fileName(), text = *read.text](bool written) {
        if (!hookup || !written)
            return;
        MarkupViewModel &model = hookup->m_view.viewModel();
        const bool exportsDropped = hookup->dropWaitingExports();
        model.setTextComparison(name, text);
        if (exportsDropped)
            model.setStatusMessage(exportsDroppedStatus);
    });
}

bool TextComparisonHookup::dropWaitingExports()
{
    ++m_documentSerial;
    return m_session->dropWaiting() > 0;
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
    actions.save = [this](bool editedPageOnly, const QString &title) {
        exportWhenCompared(exportKind(editedPageOnly), TextComparisonExportFormat::Png, title);
    };
    actions.downloadPDF = [this](bool editedPageOnly, const QString &title) {
        exportWhenCompared(exportKind(editedPageOnly), TextComparisonExportFormat::Pdf, title);
    };
    actions.exportWord = [this](bool editedPageOnly, const QString &title) {
        exportWhenCompared(exportKind(editedPageOnly), TextComparisonExportFormat::Docx, title);
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

void TextComparisonHookup::exportWhenCompared(TextComparisonExportKind kind, TextComparisonExportFormat format,
                                              const QString &title)
{
    // The file holds exactly what the editor shows: the result of the texts as they stand when
    // it is written. Typing on meanwhile makes the export wait for the newer texts; another
    // document (a new source, a project) drops it, so that no title is written over another
    // document's texts.
    MarkupViewModel &model = m_view.viewModel();
    const std::optional<TextComparisonState> &asked = model.textComparison();
    const std::optional<QString> askedSource = asked ? std::optional(asked->sourceName) : std::nullopt;
    const QString askedOriginal = asked ? asked->originalText : QString();
    const quint64 askedDocument = m_documentSerial;
    const bool atOnce = m_session->whenCompared(
        [this, &model, kind, format, title, askedSource, askedOriginal, askedDocument](const TextComparisonResult &comparison) {
            const std::optional<TextComparisonState> &now = model.textComparison();
            const std::optional<QString> nowSource = now ? std::optional(now->sourceName) : std::nullopt;
            if (askedDocument != m_documentSerial || nowSource != askedSource
                || (now && now->originalText != askedOriginal)) {
                model.setStatusMessage(exportsDroppedStatus);
                return;
            }
            writeExport(kind, format, title, comparison);
        });
    if (!atOnce)
        model.setStatusMessage(QStringLiteral("正在对比文案，完成后导出…"));
}

void TextComparisonHookup::writeExport(TextComparisonExportKind kind, TextComparisonExportFormat format,
                                       const QString &title, const TextComparisonResult &comparison)
{
    // Rendered, encoded and written off the window's thread, from copies of the texts and their
    // comparison; the window's close stops an export not yet written.
    MarkupViewModel &model = m_view.viewModel();
    const std::optional<TextComparisonState> state = model.textComparison();
    const QString timestamp = FileSupport::exportTimestamp();
    auto written = std::make_shared<TextComparisonRules::DesktopExport>();
    const QPointer<TextComparisonHookup> receiver(this);
    QThread *const home = thread();
    std::shared_ptr<std::atomic<bool>> cancelled = m_exportsCancelled;
    model.setStatusMessage(QStringLiteral("正在导出…"));
    auto job = [state, comparison, kind, format, title, timestamp, written, receiver, home, cancelled] {
        try {
            if (!cancelled->load())
                *written = TextComparisonRules::exportToDesktop(state, comparison, kind, format, title, timestamp);
        } catch (...) {
            *written = {std::nullopt, TextComparisonRules::exportTexts(kind, format).failureText};
        }
        auto deliver = [receiver, written, cancelled] {
            if (receiver && !cancelled->load())
                receiver->exportWritten(*written);
        };
        if (QThread::currentThread() == home)
            deliver();
        else
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(deliver), Qt::QueuedConnection);
    };
    try {
        m_view.workerExecutor()->start(std::move(job));
    } catch (...) {
        exportWritten({std::nullopt, TextComparisonRules::exportTexts(kind, format).failureText});
    }
}

void TextComparisonHookup::exportWritten(const TextComparisonRules::DesktopExport &written)
{
    MarkupViewModel &model = m_view.viewModel();
    if (written.path)
        model.setStatusMessage(written.message);
    else if (!written.message.isEmpty())
        model.setErrorMessage(written.message);
}
