#include "shell/VideoFrameAnnotationHookup.h"

#include "model/MarkupViewModel.h"
#include "shell/ContentView.h"
#include "shell/ShellHooks.h"
#include "shell/ShellRules.h"
#include "video/widgets/ModalVideoFrameDialogs.h"
#include "video/widgets/VideoFrameAnnotationWorkspace.h"
#include "video/widgets/VideoStoreFrameSource.h"

#include <QCloseEvent>

VideoFrameAnnotationHookup::VideoFrameAnnotationHookup(ContentView &view,
                                                       std::unique_ptr<VideoFrameAnnotationStore> store)
    : QObject(&view)
    , m_view(view)
    , m_session(view.viewModel(), view.videoFrameViewModel(), std::make_unique<MessageBoxVideoFrameConfirmer>(&view),
                std::make_unique<VideoFileDialogChooser>(&view), std::move(store))
{
    m_frameSource = new VideoStoreFrameSource(&m_session.store(), this);
    connectSession();
}

VideoFrameAnnotationHookup::~VideoFrameAnnotationHookup()
{
    // The source that watches the store goes before the session and its store.
    delete m_frameSource;
}

CanvasFrameSource *VideoFrameAnnotationHookup::frameSource() const
{
    return m_frameSource;
}

void VideoFrameAnnotationHookup::install(ShellHooks &hooks)
{
    VideoFrameAnnotationSession *session = &m_session;
    hooks.videoFrameWorkspace = [this] { return makeWorkspace(); };
    hooks.importVideo = [session](const QString &path) { session->importVideo(path); };
    hooks.presentVideoImportPanel = [session] { session->presentVideoImportPanel(); };
    hooks.saveCurrentVideoFrame = [session] { session->saveCurrentVideoFrame(); };
    hooks.confirmClearVideoFrameAnnotations = [session] { session->confirmClearVideoFrameAnnotations(); };
    hooks.deleteVideoFrameSelection = [session] { return session->deleteVideoFrameSelection(); };
    hooks.fitVideoFrameCanvas = [session] { session->fitVideoFrameCanvas(); };
    hooks.pauseVideoPlayback = [session] { session->pauseVideoPlayback(); };
    hooks.hasUnsavedVideoFrame = [session] { return session->hasUnsavedFrameAnnotations(); };
    hooks.confirmLeavingVideoFrame = [session](std::function<void()> proceed) {
        session->confirmLeavingFrame(std::move(proceed));
    };
    // Only the video view model reaches this slot; the session asks before the frame is changed.
    hooks.handleVideoFrameShortcut = [session](MarkupViewModel &, const QString &name) {
        return session->handleVideoFrameShortcut(name);
    };
}

void VideoFrameAnnotationHookup::connectSession()
{
    connect(&m_session, &VideoFrameAnnotationSession::importStarted, this, [this] {
        m_view.setWorkspaceMode(WorkspaceMode::VideoFrameAnnotation);
        m_view.setPanOffset(QSizeF(0, 0));
        m_view.setDropTargeted(false);
    });
    connect(&m_session, &VideoFrameAnnotationSession::panOffsetResetRequested, this,
            [this] { m_view.setPanOffset(QSizeF(0, 0)); });
    // The video statuses are about the frame on screen: a quit's questions, or leaving the
    // workspace, end their moment.
    connect(&m_view, &ContentView::quitQuestionsAsked, &m_session, &VideoFrameAnnotationSession::withdrawStatus);
    connect(&m_view, &ContentView::workspaceModeChanged, &m_session, [this](WorkspaceMode mode) {
        if (mode != WorkspaceMode::VideoFrameAnnotation)
            m_session.withdrawStatus();
    });
    // A close during the save waits for it (see eventFilter).
    connect(&m_session, &VideoFrameAnnotationSession::saveStarted, this, [this] {
        if (QWidget *window = m_view.window())
            window->installEventFilter(this);
    });
    // The close asked for during the save goes ahead, through the usual quit rules.
    connect(&m_session, &VideoFrameAnnotationSession::closeReleasedAfterSave, this, [this] {
        if (QWidget *window = m_view.window())
            QMetaObject::invokeMethod(window, [window] { window->close(); }, Qt::QueuedConnection);
    });
}

bool VideoFrameAnnotationHookup::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close && watched == m_view.window() && m_session.holdCloseForSave()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

QWidget *VideoFrameAnnotationHookup::makeWorkspace()
{
    VideoFrameAnnotationSession *session = &m_session;
    VideoWorkspaceActions actions;
    actions.importAction = [session] { session->presentVideoImportPanel(); };
    actions.seekAction = [session](double position) {
        if (const std::optional<int> index = ShellRules::roundedFrameIndex(position))
            session->seekVideoFrame(*index);
    };
    actions.previewAction = [session](double position) {
        if (const std::optional<int> index = ShellRules::roundedFrameIndex(position))
            session->previewVideoFrame(*index);
    };
    actions.stepFrameAction = [session](int delta) { session->stepVideoFrame(delta); };
    actions.togglePlaybackAction = [session] { session->toggleVideoPlayback(); };
    actions.saveCurrentFrameAction = [session] { session->saveCurrentVideoFrame(); };
    actions.clearAnnotationsAction = [session] { session->confirmClearVideoFrameAnnotations(); };
    actions.deleteAction = [session] { return session->deleteVideoFrameSelection(); };
    actions.fitCanvasAction = [session] { session->fitVideoFrameCanvas(); };
    actions.mouseButtonAction = [this, session](CanvasMouseButtonAction action) {
        const bool edits = action == CanvasMouseButtonAction::Undo || action == CanvasMouseButtonAction::Redo
            || action == CanvasMouseButtonAction::DeleteSelection;
        if (edits && !session->prepareToEditFrame())
            return true;
        return m_view.handleVideoFrameMouseButton(action);
    };
    actions.prepareEditAction = [session] { return session->prepareToEditFrame(); };

    auto *workspace = new VideoFrameAnnotationWorkspace(&m_session.store(), &m_view.videoFrameViewModel(),
                                                        m_frameSource, std::move(actions));
    // The pan offset is the root view's; the workspace keeps a copy in step with it.
    workspace->setPanOffset(m_view.panOffset());
    workspace->setCancelSignal(m_view.cancelSignal());
    connect(workspace, &VideoFrameAnnotationWorkspace::panOffsetChanged, &m_view,
            [this](QSizeF offset) { m_view.setPanOffset(offset); });
    connect(&m_view, &ContentView::panOffsetChanged, workspace,
            [this, workspace] { workspace->setPanOffset(m_view.panOffset()); });
    connect(&m_view, &ContentView::cancelSignalChanged, workspace, &VideoFrameAnnotationWorkspace::setCancelSignal);
    return workspace;
}
