#include "shell/ContentView.h"

#include "markup/DesktopImageSave.h"
#include "model/MarkupViewModel.h"
#include "platform/ImageContentFormat.h"
#include "platform/ImageDecoding.h"
#include "platform/ImageLimits.h"
#include "shell/AppUpdateManager.h"
#include "shell/OpenProjectBridge.h"
#include "shell/ScreenCapturePermission.h"
#include "textengine/TextComparisonExecutor.h"
#include "ui/ShellDialogs.h"

#include <QBuffer>
#include <QDir>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>
#include <QPointer>
#include <QThread>
#include <QUrl>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

using DesktopImageSave::desktopFormat;

// ---- Reactions --------------------------------------------------------------------------------

void ContentView::connectLifecycle()
{
    // Alerts never open inside a model signal: they are queued, and wait for any modal dialog.
    connect(m_viewModel.get(), &MarkupViewModel::errorMessageChanged, this, [this] {
        if (!m_viewModel->errorMessage() || m_isErrorAlertScheduled)
            return;
        m_isErrorAlertScheduled = true;
        QMetaObject::invokeMethod(
            this, [this] { runWhenNoModalDialog([this] { presentErrorAlertIfNeeded(); }); }, Qt::QueuedConnection);
    });
    connect(m_updateManager, &AppUpdateManager::availableUpdateChanged, this, &ContentView::watchUpdateKey);
    connect(m_viewModel.get(), &MarkupViewModel::isSavingImagesToDesktopChanged, this, [this] {
        if (!m_viewModel->isSavingImagesToDesktop())
            resumeWaitingClose();
    });
    connect(m_openProjectBridge, &OpenProjectBridge::pendingProjectURLChanged, this, [this] {
        // Before the window is shown, the start-up takes the pending project.
        if (!m_didShow || !m_openProjectBridge->pendingProjectURL())
            return;
        QMetaObject::invokeMethod(
            this, [this] { runWhenNoModalDialog([this] { openPendingProject(); }); }, Qt::QueuedConnection);
    });
    connect(m_openProjectBridge, &OpenProjectBridge::activationRequested, this, [this] { bringWindowToFront(); });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            refreshScreenCaptureAccess();
    });
}

void ContentView::presentErrorAlertIfNeeded()
{
    m_isErrorAlertScheduled = false;
    const std::optional<QString> shown = m_viewModel->errorMessage();
    if (!shown)
        return;
    m_dialogs->showError(shown->isEmpty() ? QStringLiteral("未知错误") : *shown, this);
    // Dismissing clears the error so the next one raises the alert again. An error that arrived
    // while the alert was up is a new one and gets its own alert.
    if (m_viewModel->errorMessage() == shown)
        m_viewModel->setErrorMessage(std::nullopt);
}

void ContentView::watchUpdateKey()
{
    const QString key = AppUpdateManager::updateKey(m_updateManager->availableUpdate());
    if (key == m_previousUpdateKey)
        return;
    m_previousUpdateKey = key;
    // Only a change to a release raises the alert; the same release found again does not.
    if (key.isEmpty())
        return;
    QMetaObject::invokeMethod(
        this, [this] { runWhenNoModalDialog([this] { presentUpdateAlert(); }); }, Qt::QueuedConnection);
}

void ContentView::presentUpdateAlert()
{
    if (m_isUpdateAlertPresented)
        return;
    m_isUpdateAlertPresented = true;
    const bool download = m_dialogs->askToDownloadUpdate(updateAlertMessage(), this);
    m_isUpdateAlertPresented = false;
    // The address is the one known at the moment of the press.
    if (download)
        m_updateManager->openDownloadPage(m_updateManager->availableUpdate());
}

QString ContentView::updateAlertMessage() const { return m_updateManager->alertMessage(); }

void ContentView::runStartupTasks()
{
    m_permission->requestIfNeeded();
    if (!m_didRunStartupUpdateCheck) {
        m_didRunStartupUpdateCheck = true;
        m_updateManager->checkForUpdates(true);
    }
}

void ContentView::refreshScreenCaptureAccess() { m_permission->refresh(); }

// ---- Keys -------------------------------------------------------------------------------------

bool ContentView::handleKeyCommand(const QString &name)
{
    const WorkspaceMode mode = m_workspaceMode;
    if (name == QLatin1String("escape")) {
        handleEscapeShortcut();
        return true;
    }
    if (name == QLatin1String("openProject")) {
        std::function<void()> panel;
        if (mode == WorkspaceMode::ImageMarkup)
            panel = m_hooks.presentImageImportPanel;
        else if (mode == WorkspaceMode::TextComparison)
            panel = m_hooks.presentOpenProjectPanel;
        else if (mode == WorkspaceMode::VideoFrameAnnotation)
            panel = m_hooks.presentVideoImportPanel;
        if (!panel)
            return false;
        panel();
        return true;
    }
    if (name == QLatin1String("saveProject")) {
        if (mode == WorkspaceMode::ImageMarkup && m_viewModel->isSavingImagesToDesktop())
            return true; // the key rests while a save runs, as the button does
        if (mode == WorkspaceMode::ImageMarkup && m_hooks.startSavingSelectedImagesToDesktop) {
            m_hooks.startSavingSelectedImagesToDesktop();
            return true;
        }
        if (mode == WorkspaceMode::ImageMarkup && m_hooks.saveSelectedImagesToDesktop) {
            m_hooks.saveSelectedImagesToDesktop(*m_viewModel, desktopFormat.format, desktopFormat.jpegQuality);
            return true;
        }
        if (mode == WorkspaceMode::TextComparison && m_hooks.saveProject) {
            saveProject();
            return true;
        }
        if (mode == WorkspaceMode::VideoFrameAnnotation && m_hooks.saveCurrentVideoFrame) {
            m_hooks.saveCurrentVideoFrame();
            return true;
        }
        return false;
    }
    if (mode == WorkspaceMode::ImageMarkup) {
        if (name == QLatin1String("delete")) {
            // The same confirmation as the menu path: images are deleted only after the question.
            // Handled whatever the answer, so the canvas never asks a second time.
            if (!m_hooks.deleteImageMarkupSelection)
                return false;
            m_hooks.deleteImageMarkupSelection();
            return true;
        }
        return m_hooks.handleToolShortcut ? m_hooks.handleToolShortcut(*m_viewModel, name) : false;
    }
    if (mode == WorkspaceMode::VideoFrameAnnotation) {
        if (name.toLower() == QLatin1String("z")) {
            if (!m_hooks.confirmClearVideoFrameAnnotations)
                return false;
            m_hooks.confirmClearVideoFrameAnnotations();
            return true;
        }
        return m_hooks.handleVideoFrameShortcut ? m_hooks.handleVideoFrameShortcut(*m_videoFrameViewModel, name) : false;
    }
    return false;
}

void ContentView::handleEscapeShortcut()
{
    m_cancelSignal += 1;
    Q_EMIT cancelSignalChanged(m_cancelSignal);
    if (m_workspaceMode == WorkspaceMode::ImageMarkup || m_workspaceMode == WorkspaceMode::ImageComparison) {
        if (m_hooks.cancelCurrentOperation)
            m_hooks.cancelCurrentOperation(*m_viewModel);
    } else if (m_workspaceMode == WorkspaceMode::VideoFrameAnnotation) {
        if (m_hooks.pauseVideoPlayback)
            m_hooks.pauseVideoPlayback();
        if (m_hooks.cancelCurrentOperation)
            m_hooks.cancelCurrentOperation(*m_videoFrameViewModel);
    }
    setPanOffset(QSizeF(0, 0));
}

// ---- Quit -------------------------------------------------------------------------------------

bool ContentView::shouldCloseWindow()
{
    // A Desktop save or a compression run finishes first, so its files are all written and its
    // outcome is seen; the quit rules then apply to the window as the run left it.
    const bool compressing = m_hooks.isCompressingImages && m_hooks.isCompressingImages();
    if (!m_isTerminating && (m_viewModel->isSavingImagesToDesktop() || compressing)) {
        m_isCloseWaitingForSave = true;
        return false;
    }
    if (m_isTerminating)
        return true;
    applyQuitRules();
    return false;
}

void ContentView::resumeWaitingClose()
{
    if (!m_isCloseWaitingForSave)
        return;
    m_isCloseWaitingForSave = false;
    // The close is asked again after the run's outcome and its alerts, as the user's own; should
    // another run still be going, it waits again.
    QMetaObject::invokeMethod(
        this, [this] { runWhenNoModalDialog([this] { window()->close(); }); }, Qt::QueuedConnection);
}

void ContentView::applyQuitRules()
{
    const bool videoFrame = m_hooks.hasUnsavedVideoFrame && m_hooks.hasUnsavedVideoFrame();
    const std::vector<ShellRules::UnsavedWork> questions = ShellRules::unsavedWorkQuestions(
        m_viewModel->hasUnsavedTextComparison(), m_viewModel->hasUnsavedImages(), videoFrame);
    if (!questions.empty())
        Q_EMIT quitQuestionsAsked();
    askAboutUnsavedWork(questions, SaveQuestionCause::Quit, [this] {
        // A text kept in its project file was not asked about: its last edits are written now,
        // and the program ends once every project write has reached its file. When one cannot be
        // written, the window stays with the error.
        m_viewModel->finishProjectWrites([this](bool written) {
            if (written && !m_isTerminating)
                terminate();
        });
    });
}

void ContentView::askAboutUnsavedWork(std::vector<ShellRules::UnsavedWork> questions, SaveQuestionCause cause,
                                      std::function<void()> proceed)
{
    for (size_t index = 0; index < questions.size(); ++index) {
        switch (questions[index]) {
        case ShellRules::UnsavedWork::TextComparison:
            if (!askToSave(QuitPrompt::ProjectSave, cause))
                return;
            break;
        case ShellRules::UnsavedWork::Images:
            if (!askToSave(QuitPrompt::ImageSave, cause))
                return;
            break;
        case ShellRules::UnsavedWork::VideoFrame: {
            if (!m_hooks.confirmLeavingVideoFrame)
                break;
            // The frame is saved off the window: what follows waits for its file.
            std::vector<ShellRules::UnsavedWork> rest(questions.begin() + qsizetype(index) + 1, questions.end());
            m_hooks.confirmLeavingVideoFrame([this, rest = std::move(rest), cause, proceed = std::move(proceed)] {
                askAboutUnsavedWork(rest, cause, proceed);
            });
            return;
        }
        }
    }
    proceed();
}

bool ContentView::askToSave(QuitPrompt prompt, SaveQuestionCause cause)
{
    switch (m_dialogs->askBeforeQuit(prompt, cause, this)) {
    case QuitAnswer::DontSave:
        return true;
    case QuitAnswer::Cancel:
        return false;
    case QuitAnswer::Save:
        break;
    }
    return prompt == QuitPrompt::ImageSave ? saveSelectedImagesAsAsked() : saveProjectAsAsked();
}

namespace {

// What a Desktop save through the shell's slot did: the files it wrote and the failure it
// reported, if any (the error it left on the view model; an error already shown before the save
// is not this save's).
struct DesktopSaveResult {
    QStringList written;
    std::optional<QString> error;
};

DesktopSaveResult saveSelectedImagesToDesktop(const ShellHooks &hooks, MarkupViewModel &model)
{
    const std::optional<QString> shownBefore = model.errorMessage();
    DesktopSaveResult result;
    result.written = hooks.saveSelectedImagesToDesktop(model, desktopFormat.format, desktopFormat.jpegQuality);
    if (model.errorMessage() != shownBefore)
        result.error = model.errorMessage();
    return result;
}

} // namespace

bool ContentView::saveSelectedImagesAsAsked()
{
    if (!m_hooks.saveSelectedImagesToDesktop)
        return false;
    // The question is about the annotated images: any that are not selected (the last import
    // selects the new picture) join the selection, so the save that lets the window go never
    // leaves a drawn-on image behind.
    QSet<QUuid> ids = m_viewModel->effectiveSelectedImageItemIDs();
    for (const ImageMarkupItem &item : m_viewModel->items()) {
        if (!item.annotations.empty())
            ids.insert(item.id);
    }
    if (ids != m_viewModel->effectiveSelectedImageItemIDs())
        m_viewModel->setSelectedImageItemIDs(ids);
    // Go on only when every selected image was written and nothing failed; after a partial save
    // the window stays so that the error alert is seen and nothing is lost silently.
    const size_t expected = m_viewModel->selectedImageItems().size();
    const DesktopSaveResult result = saveSelectedImagesToDesktop(m_hooks, *m_viewModel);
    return !result.written.isEmpty() && size_t(result.written.size()) >= expected && !result.error;
}

bool ContentView::saveProjectAsAsked()
{
    // A cancelled panel or a failed save keeps the window; the failure shows in the error alert.
    if (const std::optional<QString> url = m_viewModel->projectURL())
        return m_hooks.saveProject && m_hooks.saveProject(*m_viewModel, *url);
    return m_hooks.presentSaveProjectPanel && m_hooks.presentSaveProjectPanel();
}

void ContentView::saveProject()
{
    // Without a text document the command saves the selected images, even when images of an
    // opened project are in the list.
    if (!m_viewModel->hasProjectSaveContent()) {
        if (m_hooks.saveSelectedImagesToDesktop)
            m_hooks.saveSelectedImagesToDesktop(*m_viewModel, desktopFormat.format, desktopFormat.jpegQuality);
        return;
    }
    // Written off the window's thread: its status, or its error, shows once the file is written.
    if (const std::optional<QString> url = m_viewModel->projectURL()) {
        if (m_hooks.startSavingProject)
            m_hooks.startSavingProject(*m_viewModel, *url);
        else if (m_hooks.saveProject)
            m_hooks.saveProject(*m_viewModel, *url);
        return;
    }
    if (m_hooks.presentSaveProjectPanelInBackground)
        m_hooks.presentSaveProjectPanelInBackground();
    else if (m_hooks.presentSaveProjectPanel)
        m_hooks.presentSaveProjectPanel();
}

// ---- Drops ------------------------------------------------------------------------------------

bool ContentView::handleDrop(const QMimeData *mimeData)
{
    setDropTargeted(false);
    if (!mimeData)
        return false;
    // The compression list takes every file of a drop, one add per file in the drag's order; a
    // video among them still opens the video workspace (the first one).
    if (m_workspaceMode == WorkspaceMode::Compression) {
        QStringList paths;
        for (const QUrl &url : mimeData->urls()) {
            if (url.isLocalFile())
                paths << url.toLocalFile();
        }
        if (!paths.isEmpty()) {
            QMetaObject::invokeMethod(this, [this, paths] { handleDroppedFiles(paths); }, Qt::QueuedConnection);
            return true;
        }
    }
    // Elsewhere one item per drop: the first local file wins over picture data.
    for (const QUrl &url : mimeData->urls()) {
        if (url.isLocalFile()) {
            const QString path = url.toLocalFile();
            // The routing (and any dialog it opens) runs after the drop has returned to the
            // drag source.
            QMetaObject::invokeMethod(this, [this, path] { handleDroppedFile(path); }, Qt::QueuedConnection);
            return true;
        }
    }
    QByteArray bytes;
    for (const QString &format : mimeData->formats()) {
        if (format.startsWith(QLatin1String("image/"))) {
            bytes = mimeData->data(format);
            if (!bytes.isEmpty())
                break;
        }
    }
    if (bytes.isEmpty() && mimeData->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mimeData->imageData());
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.isNull())
            image.save(&buffer, "PNG");
    }
    if (bytes.isEmpty())
        return false;
    QMetaObject::invokeMethod(this, [this, bytes] { handleDroppedImageData(bytes); }, Qt::QueuedConnection);
    return true;
}

void ContentView::handleDroppedFile(const QString &path)
{
    setPanOffset(QSizeF(0, 0));
    switch (ShellRules::routeDrop(ShellRules::DroppedKind::File, ShellRules::isVideoFile(path), m_workspaceMode)) {
    case ShellRules::DropRoute::ImportVideo:
        if (m_hooks.importVideo)
            m_hooks.importVideo(path);
        return;
    case ShellRules::DropRoute::AddCompressionSources:
        if (m_hooks.addCompressionSources)
            m_hooks.addCompressionSources({path});
        return;
    case ShellRules::DropRoute::ImportImageFiles: {
        if (!m_hooks.importImages)
            return;
        setWorkspaceMode(WorkspaceMode::ImageMarkup);
        const bool replacing = m_viewModel->items().empty();
        m_hooks.importImages(*m_viewModel, {path}, replacing);
        return;
    }
    case ShellRules::DropRoute::ImportPicture:
        return;
    }
}

void ContentView::handleDroppedFiles(const QStringList &paths)
{
    setPanOffset(QSizeF(0, 0));
    bool importedVideo = false;
    QStringList images;
    for (const QString &path : paths) {
        if (ShellRules::isVideoFile(path)) {
            if (!importedVideo && m_hooks.importVideo)
                m_hooks.importVideo(path);
            importedVideo = true;
        } else {
            images << path;
        }
    }
    if (images.isEmpty())
        return;
    // One status for the whole drop, counting everything its files and folders added.
    if (m_hooks.addDroppedCompressionSources) {
        m_hooks.addDroppedCompressionSources(images);
    } else if (m_hooks.addCompressionSources) {
        for (const QString &path : std::as_const(images))
            m_hooks.addCompressionSources({path});
    }
}

void ContentView::handleDroppedImageData(const QByteArray &data)
{
    // Dropped bytes come from another program: check the announced size before decoding, so a
    // hostile picture cannot make the decoder allocate gigabytes.
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!ImageContentFormat::prepare(reader, data.left(ImageContentFormat::headBytes)))
        return;
    reader.setAutoTransform(true);
    // A format that cannot tell its size up front answers an invalid size; the decode's own limits
    // bound it.
    const QSize size = ImageContentFormat::decodedSize(reader);
    if (size.isValid()
        && (!ImageLimits::isAcceptableSize(size.width(), size.height())
            || !ImageContentFormat::canHold(reader.format(), size, data.size()))) {
        m_viewModel->setErrorMessage(QStringLiteral("图片过大，无法导入"));
        return;
    }
    // One decode at a time, so drops are imported in the order they came.
    m_droppedPictures.push_back(data);
    if (m_droppedPictures.size() == 1)
        decodeNextDroppedPicture();
}

void ContentView::decodeNextDroppedPicture()
{
    // The decode imported files get: a damaged JPEG is refused rather than filled with grey. It
    // waits for its share of the decode budget, so it runs off the window's thread; the watcher
    // is a child of this view, so a window closed meanwhile is never called back.
    using Decoded = std::optional<QImage>;
    auto *watcher = new QFutureWatcher<Decoded>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        const Decoded image = watcher->result();
        watcher->deleteLater();
        m_droppedPictures.pop_front();
        if (!m_droppedPictures.empty())
            decodeNextDroppedPicture();
        importDroppedPicture(image);
    });
    watcher->setFuture(QtConcurrent::run([data = m_droppedPictures.front()]() -> Decoded {
        try {
            return ImageDecoding::loadOrientedImageData(data);
        } catch (...) {
            // Too large to decode now, or unreadable in some other way: no picture, like bytes
            // that do not decode.
            return std::nullopt;
        }
    }));
}

void ContentView::importDroppedPicture(const std::optional<QImage> &image)
{
    if (!image || image->isNull() || !m_hooks.importImage)
        return;
    setWorkspaceMode(WorkspaceMode::ImageMarkup);
    setPanOffset(QSizeF(0, 0));
    m_hooks.importImage(*m_viewModel, *image, QStringLiteral("拖入图片"));
}

// ---- Open documents ---------------------------------------------------------------------------

void ContentView::openPendingProject()
{
    if (const std::optional<QString> path = m_openProjectBridge->consumePendingProjectURL())
        openProject(*path);
}

bool ContentView::openProject(const QString &path)
{
    if (!m_hooks.readProject || !m_hooks.openProject)
        return false;
    // The open project's pending autosave, and every project write still under way, reach their
    // file before the file is read: it may be the same file. The window answers meanwhile, saying
    // that it reads; when one cannot be written, nothing is opened and the work stays with the
    // error.
    const QString reading = QStringLiteral("正在读取…");
    const QString before = m_viewModel->statusMessage();
    const QPointer<ContentView> self(this);
    auto waiting = std::make_shared<bool>(true);
    m_viewModel->finishProjectWrites([self, path, waiting, reading, before](bool written) {
        *waiting = false;
        if (!self)
            return;
        if (self->m_viewModel->statusMessage() == reading)
            self->m_viewModel->setStatusMessage(before);
        if (written)
            self->readProject(path);
    });
    if (*waiting)
        m_viewModel->setStatusMessage(reading);
    return true;
}

void ContentView::readProject(const QString &path)
{
    loadDocument([read = m_hooks.readProject, path, view = QPointer<ContentView>(this)]() -> std::function<void()> {
        auto project = std::make_shared<std::variant<MarkupViewModel::ReadProject, MarkupProjectError>>(read(path));
        return [view, project, path] {
            if (!view)
                return;
            // Another program's file, or a damaged one, is refused before anything is asked or
            // replaced. The questions come once the file is known to be a project, so they are
            // about the work as it stands when it would be replaced.
            if (const auto *error = std::get_if<MarkupProjectError>(project.get())) {
                view->m_viewModel->setErrorMessage(error->description());
                return;
            }
            if (!view->confirmReplacingWork(SaveQuestionCause::OpenProject) || !view)
                return;
            MarkupViewModel::ReadProject &read = std::get<MarkupViewModel::ReadProject>(*project);
            const WorkspaceMode mode = openedProjectWorkspace(read.document);
            Q_EMIT view->documentOpening();
            const bool opened = view->m_hooks.openProject(*view->m_viewModel, path, std::move(read));
            if (opened)
                view->showOpenedProject(mode);
            Q_EMIT view->documentOpened();
        };
    });
}

WorkspaceMode ContentView::openedProjectWorkspace(const MarkupProjectDocument &document)
{
    // The workspace follows what the project holds, not the pairs that were already on screen.
    if (document.textComparison)
        return WorkspaceMode::TextComparison;
    if (!document.pairsToRestore().empty())
        return WorkspaceMode::ImageComparison;
    if (!document.images.empty())
        return WorkspaceMode::ImageMarkup;
    return WorkspaceMode::Launcher;
}

void ContentView::showOpenedProject(WorkspaceMode mode)
{
    setWorkspaceMode(mode);
    setPanOffset(QSizeF(0, 0));
    setDropTargeted(false);
}

void ContentView::setWorkerExecutor(std::shared_ptr<TextComparisonExecutor> executor)
{
    m_workers = std::move(executor);
}

void ContentView::cancelDocumentLoad()
{
    if (!m_documentLoad)
        return;
    m_documentLoad->store(true);
    m_documentLoad.reset();
}

void ContentView::loadDocument(std::function<std::function<void()>()> read)
{
    cancelDocumentLoad();
    auto flag = std::make_shared<std::atomic<bool>>(false);
    m_documentLoad = flag;
    // A load that ends without a document of its own (an error, a question answered 取消) gives
    // the status line back to what it said before.
    const QString reading = QStringLiteral("正在读取…");
    const QString before = m_viewModel->statusMessage() == reading ? QString() : m_viewModel->statusMessage();
    m_viewModel->setStatusMessage(reading);
    const QPointer<ContentView> receiver(this);
    QThread *const home = thread();
    auto job = [read = std::move(read), flag, receiver, home, reading, before] {
        std::function<void()> apply;
        try {
            apply = read();
        } catch (...) {
            // Out of memory: nothing to apply; the window keeps what it shows.
        }
        if (flag->load())
            return; // a newer load or the window's close took its place
        auto deliver = [receiver, flag, apply = std::move(apply), reading, before] {
            if (!receiver || flag->load() || receiver->m_documentLoad != flag)
                return;
            receiver->m_documentLoad.reset();
            if (apply)
                apply();
            else
                receiver->m_viewModel->setErrorMessage(QStringLiteral("文件过大，无法读取"));
            if (receiver && receiver->m_viewModel->statusMessage() == reading && !receiver->m_documentLoad)
                receiver->m_viewModel->setStatusMessage(before);
        };
        // Inline and held workers run on the window's thread: the result is applied at once.
        if (QThread::currentThread() == home)
            deliver();
        else
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(deliver), Qt::QueuedConnection);
    };
    try {
        m_workers->start(std::move(job));
    } catch (...) {
        m_documentLoad.reset();
        m_viewModel->setStatusMessage(before);
        m_viewModel->setErrorMessage(QStringLiteral("文件过大，无法读取"));
    }
}

bool ContentView::confirmReplacingWork(SaveQuestionCause cause)
{
    // A new source replaces only the text; a project replaces the text and the images. Neither
    // touches the video frame, so the questions all answer before this returns.
    const bool replacesImages = cause == SaveQuestionCause::OpenProject;
    const std::vector<ShellRules::UnsavedWork> questions = ShellRules::unsavedWorkQuestions(
        m_viewModel->hasUnsavedTextComparison(), replacesImages && m_viewModel->hasUnsavedImages(), false);
    if (questions.empty())
        return true;
    bringWindowToFront();
    bool goOn = false;
    askAboutUnsavedWork(questions, cause, [&goOn] { goOn = true; });
    return goOn;
}

void ContentView::bringWindowToFront()
{
    QWidget *top = window();
    if (top->isMinimized())
        top->showNormal();
    top->raise();
    top->activateWindow();
}
