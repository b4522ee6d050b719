#include "shell/VideoFrameAnnotationHookup.h"

#include "platform/FileDialogSetup.h"
#include "model/MarkupViewModel.h"
#include "markup/MarkupViewportGeometry.h"
#include "shell/ContentView.h"
#include "shell/ShellHooks.h"
#include "shell/ShellRules.h"
#include "video/VideoFrameAnnotationStore.h"
#include "video/widgets/VideoFrameAnnotationWorkspace.h"
#include "video/widgets/VideoStoreFrameSource.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>

std::optional<QString> VideoFileDialogChooser::chooseVideo()
{
    QFileDialog dialog(m_parent, QStringLiteral("导入视频后，选择某一帧添加标注，并保存为图片。"));
    FileDialogSetup::apply(dialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QStringLiteral("视频 (*.mp4 *.mov *.m4v *.MP4 *.MOV *.M4V)"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("导入"));
    dialog.setDirectory(FileDialogSetup::startFolder());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

VideoFrameAnnotationHookup::VideoFrameAnnotationHookup(ContentView &view,
                                                       std::unique_ptr<VideoFrameAnnotationStore> store)
    : QObject(&view)
    , m_view(view)
    , m_store(store ? std::move(store) : std::make_unique<VideoFrameAnnotationStore>())
    , m_confirmer(std::make_unique<MessageBoxConfirmer>(&view))
    , m_chooser(std::make_unique<VideoFileDialogChooser>(&view))
    , m_frameLoader([](MarkupViewModel &model, const VideoFrameSnapshot &snapshot, bool keep) {
        return model.loadVideoFrame(snapshot, keep);
    })
{
    m_frameSource = new VideoStoreFrameSource(m_store.get(), this);
}

VideoFrameAnnotationHookup::~VideoFrameAnnotationHookup()
{
    // A frame being written is finished before the window goes.
    m_savePool.waitForDone();
    // Nothing watching the store hears its teardown; the source that watches it goes first.
    delete m_frameSource;
    m_store->disconnect();
}

CanvasFrameSource *VideoFrameAnnotationHookup::frameSource() const
{
    return m_frameSource;
}

MarkupViewModel &VideoFrameAnnotationHookup::main() const
{
    return m_view.viewModel();
}

MarkupViewModel &VideoFrameAnnotationHookup::video() const
{
    return m_view.videoFrameViewModel();
}

void VideoFrameAnnotationHookup::install(ShellHooks &hooks)
{
    hooks.videoFrameWorkspace = [this] { return makeWorkspace(); };
    hooks.importVideo = [this](const QString &path) { importVideo(path); };
    hooks.presentVideoImportPanel = [this] { presentVideoImportPanel(); };
    hooks.saveCurrentVideoFrame = [this] { saveCurrentVideoFrame(); };
    hooks.confirmClearVideoFrameAnnotations = [this] { confirmClearVideoFrameAnnotations(); };
    hooks.deleteVideoFrameSelection = [this] { return deleteVideoFrameSelection(); };
    hooks.fitVideoFrameCanvas = [this] { fitVideoFrameCanvas(); };
    hooks.pauseVideoPlayback = [this] { pauseVideoPlayback(); };
    hooks.handleVideoFrameShortcut = [](MarkupViewModel &model, const QString &name) {
        return model.handleVideoFrameShortcut(name);
    };
}

void VideoFrameAnnotationHookup::pauseStore()
{
    m_store->pausePlayback();
}

void VideoFrameAnnotationHookup::pauseVideoPlayback()
{
    pauseStore();
}

bool VideoFrameAnnotationHookup::loadFrame(const VideoFrameSnapshot &snapshot, bool keepAnnotations)
{
    if (m_frameLoader(video(), snapshot, keepAnnotations))
        return true;
    main().setErrorMessage(video().errorMessage().value_or(QStringLiteral("视频帧无法解析")));
    return false;
}

void VideoFrameAnnotationHookup::importVideo(const QString &path)
{
    m_view.setWorkspaceMode(WorkspaceMode::VideoFrameAnnotation);
    m_view.setPanOffset(QSizeF(0, 0));
    m_view.setDropTargeted(false);

    MarkupViewModel &model = video();
    model.setItems({});
    model.setSelectedItemID(std::nullopt);
    model.setSelectedImageItemIDs({});
    model.setSelectedAnnotationID(std::nullopt);
    model.setSelectedAnnotationIDs({});
    model.setErrorMessage(std::nullopt);
    model.setStatusMessage(QStringLiteral("正在导入视频"));
    main().setStatusMessage(QStringLiteral("正在导入视频"));

    const quint64 generation = ++m_generation;
    const QString fileName = QFileInfo(path).fileName();
    QPointer<VideoFrameAnnotationHookup> self(this);
    m_store->loadVideo(path, [self, generation, fileName](std::optional<VideoFrameSnapshot> snapshot) {
        if (!self || generation != self->m_generation)
            return;
        if (!snapshot)
            self->main().setErrorMessage(self->m_store->statusText());
        else if (self->loadFrame(*snapshot, false))
            self->main().setStatusMessage(QStringLiteral("已导入视频：") + fileName);
        Q_EMIT self->actionFinished();
    });
}

void VideoFrameAnnotationHookup::presentVideoImportPanel()
{
    if (const std::optional<QString> path = m_chooser->chooseVideo())
        importVideo(*path);
}

void VideoFrameAnnotationHookup::finishMove(quint64 generation, const std::optional<VideoFrameSnapshot> &snapshot)
{
    if (generation != m_generation)
        return;
    if (!snapshot)
        main().setErrorMessage(m_store->statusText());
    else if (loadFrame(*snapshot, false))
        m_view.setPanOffset(QSizeF(0, 0));
    Q_EMIT actionFinished();
}

void VideoFrameAnnotationHookup::seekVideoFrame(int frameIndex)
{
    if (!m_store->hasAsset()) {
        main().setStatusMessage(QStringLiteral("请先导入视频"));
        return;
    }
    QPointer<VideoFrameAnnotationHookup> self(this);
    const quint64 generation = m_generation;
    m_store->seek(frameIndex, [self, generation](std::optional<VideoFrameSnapshot> snapshot) {
        if (self)
            self->finishMove(generation, snapshot);
    });
}

void VideoFrameAnnotationHookup::stepVideoFrame(int delta)
{
    if (!m_store->hasAsset()) {
        main().setStatusMessage(QStringLiteral("请先导入视频"));
        return;
    }
    pauseStore();
    QPointer<VideoFrameAnnotationHookup> self(this);
    const quint64 generation = m_generation;
    m_store->stepFrame(delta, [self, generation](std::optional<VideoFrameSnapshot> snapshot) {
        if (self)
            self->finishMove(generation, snapshot);
    });
}

void VideoFrameAnnotationHookup::saveCurrentVideoFrame()
{
    // The save control stays off until the save under way has reported.
    if (m_store->isSavingFrame())
        return;
    pauseStore();
    beginSave();
    QPointer<VideoFrameAnnotationHookup> self(this);
    const quint64 generation = m_generation;
    m_store->currentFrameSnapshot([self, generation](std::optional<VideoFrameSnapshot> snapshot) {
        if (!self)
            return;
        if (generation != self->m_generation) {
            // A newer import took the frame away: nothing is saved, and the import reports.
            self->endSave();
            return;
        }
        // Playback moves the picture under the annotations without loading a frame: what is shown
        // (this picture with these annotations) is what gets saved. Only a picture that moved is
        // loaded again; the one already loaded is saved as it is.
        if (snapshot && !self->holdsFrame(*snapshot) && !self->loadFrame(*snapshot, true)) {
            self->endSave();
            Q_EMIT self->actionFinished();
            return;
        }
        std::optional<VideoFrameSave::Job> job = VideoFrameSave::prepare(self->video(), self->m_store->currentTimecode());
        if (!job) {
            if (self->video().errorMessage())
                self->main().setErrorMessage(self->video().errorMessage());
            self->endSave();
            Q_EMIT self->actionFinished();
            return;
        }
        self->writeOnWorker(std::move(*job));
    });
}

bool VideoFrameAnnotationHookup::holdsFrame(const VideoFrameSnapshot &snapshot) const
{
    const std::optional<ImageMarkupItem> item = video().selectedItem();
    if (!item || item->fileName != snapshot.fileName)
        return false;
    const QImage loaded = item->image.image();
    return loaded.cacheKey() == snapshot.image.cacheKey() || loaded == snapshot.image;
}

void VideoFrameAnnotationHookup::beginSave()
{
    m_store->setSavingFrame(true);
    main().setStatusMessage(QStringLiteral("正在保存当前帧…"));
    // A close during the save waits for it (see eventFilter).
    if (QWidget *window = m_view.window())
        window->installEventFilter(this);
}

void VideoFrameAnnotationHookup::writeOnWorker(VideoFrameSave::Job job)
{
    QPointer<VideoFrameAnnotationHookup> self(this);
    m_savePool.start([self, writer = m_frameWriter, job = std::move(job)] {
        VideoFrameSave::Outcome outcome = writer(job);
        // Queued to the hookup: dropped if the window has gone meanwhile (the file is written).
        QMetaObject::invokeMethod(
            self.data(),
            [self, job, outcome = std::move(outcome)] {
                if (self)
                    self->finishSave(job, outcome);
            },
            Qt::QueuedConnection);
    });
}

void VideoFrameAnnotationHookup::finishSave(const VideoFrameSave::Job &job, const VideoFrameSave::Outcome &outcome)
{
    // Whatever was pressed meanwhile, the result is the last word in the status line.
    MarkupViewModel &model = video();
    if (const std::optional<QString> path = VideoFrameSave::finish(model, job, outcome))
        main().setStatusMessage(QStringLiteral("当前帧已保存：") + QFileInfo(*path).fileName());
    else if (model.errorMessage())
        main().setErrorMessage(model.errorMessage());
    endSave();
    Q_EMIT actionFinished();
}

void VideoFrameAnnotationHookup::endSave()
{
    m_store->setSavingFrame(false);
    if (!m_closeAfterSave)
        return;
    m_closeAfterSave = false;
    // The close asked for during the save goes ahead now, through the usual quit rules.
    if (QWidget *window = m_view.window())
        QMetaObject::invokeMethod(window, [window] { window->close(); }, Qt::QueuedConnection);
}

bool VideoFrameAnnotationHookup::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close && watched == m_view.window() && m_store->isSavingFrame()) {
        m_closeAfterSave = true;
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void VideoFrameAnnotationHookup::confirmClearVideoFrameAnnotations()
{
    MarkupViewModel &model = video();
    if (!model.annotations().empty()) {
        const ConfirmationRequest request{
            QStringLiteral("清空当前帧标注？"),
            QStringLiteral("只会清空当前画面上的标注，不会删除视频画面。可以按 Ctrl+Z 撤销。"),
            QStringLiteral("清空")};
        if (!m_confirmer->confirm(request))
            return;
    }
    model.clearSelectedImageAnnotations();
    main().setStatusMessage(model.statusMessage());
}

bool VideoFrameAnnotationHookup::deleteVideoFrameSelection()
{
    MarkupViewModel &model = video();
    if (model.selectedAnnotationCount() >= 1) {
        if (!model.deleteSelectedAnnotations())
            return false;
    } else {
        model.setStatusMessage(QStringLiteral("请先选中要删除的标注"));
    }
    main().setStatusMessage(model.statusMessage());
    return true;
}

double VideoFrameAnnotationHookup::fittedZoom(double pixelWidth, double pixelHeight)
{
    return MarkupGeometry::fittedZoom(QSizeF(pixelWidth, pixelHeight), MarkupGeometry::videoFrameFitBox);
}

void VideoFrameAnnotationHookup::fitVideoFrameCanvas()
{
    const std::optional<ImageDocumentState> document = video().document();
    if (!document)
        return;
    video().setZoom(fittedZoom(document->pixelSize.width(), document->pixelSize.height()));
    m_view.setPanOffset(QSizeF(0, 0));
}

QWidget *VideoFrameAnnotationHookup::makeWorkspace()
{
    VideoWorkspaceActions actions;
    actions.importAction = [this] { presentVideoImportPanel(); };
    actions.seekAction = [this](double position) {
        if (const std::optional<int> index = ShellRules::roundedFrameIndex(position))
            seekVideoFrame(*index);
    };
    actions.previewAction = [this](double position) {
        if (const std::optional<int> index = ShellRules::roundedFrameIndex(position))
            m_store->previewFrame(*index);
    };
    actions.stepFrameAction = [this](int delta) { stepVideoFrame(delta); };
    actions.togglePlaybackAction = [this] {
        video().cancelCurrentOperation();
        m_store->togglePlayback();
    };
    actions.saveCurrentFrameAction = [this] { saveCurrentVideoFrame(); };
    actions.clearAnnotationsAction = [this] { confirmClearVideoFrameAnnotations(); };
    actions.deleteAction = [this] { return deleteVideoFrameSelection(); };
    actions.fitCanvasAction = [this] { fitVideoFrameCanvas(); };
    actions.mouseButtonAction = [this](CanvasMouseButtonAction action) {
        return m_view.handleVideoFrameMouseButton(action);
    };

    auto *workspace = new VideoFrameAnnotationWorkspace(m_store.get(), &video(), m_frameSource, std::move(actions));
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
