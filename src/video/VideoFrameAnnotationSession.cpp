#include "video/VideoFrameAnnotationSession.h"

#include "markup/MarkupViewportGeometry.h"
#include "model/MarkupViewModel.h"
#include "video/VideoFrameSnapshot.h"

#include <QFileInfo>
#include <QPointer>
#include <QScopedValueRollback>
#include <QStringList>

#include <cmath>
#include <utility>

VideoFrameAnnotationSession::VideoFrameAnnotationSession(MarkupViewModel &main, MarkupViewModel &video,
                                                         std::unique_ptr<VideoFrameConfirmer> confirmer,
                                                         std::unique_ptr<VideoFileChooser> chooser,
                                                         std::unique_ptr<VideoFrameAnnotationStore> store,
                                                         QObject *parent)
    : QObject(parent)
    , m_main(main)
    , m_video(video)
    , m_store(store ? std::move(store) : std::make_unique<VideoFrameAnnotationStore>())
    , m_confirmer(std::move(confirmer))
    , m_chooser(std::move(chooser))
    , m_frameLoader([](MarkupViewModel &model, const VideoFrameSnapshot &snapshot, bool keep) {
        return model.loadVideoFrame(snapshot, keep);
    })
{
    // However playback stops (pause, Escape, the end of the video, a drag on the timeline, a step),
    // the picture it stopped on becomes the frame to annotate.
    connect(m_store.get(), &VideoFrameAnnotationStore::isPlayingChanged, this, [this] {
        if (!m_store->isPlaying() && m_frameLeftForPlayback)
            takePlayedFrame();
    });
    // A status about the frame goes once the frame is drawn on.
    connect(&m_video, &MarkupViewModel::itemsChanged, this, &VideoFrameAnnotationSession::withdrawStatusIfDrawnOn);
}

VideoFrameAnnotationSession::~VideoFrameAnnotationSession()
{
    // A frame being written is finished before the rest goes.
    m_savePool.waitForDone();
    m_store->disconnect();
}

void VideoFrameAnnotationSession::pauseVideoPlayback()
{
    m_store->pausePlayback();
}

bool VideoFrameAnnotationSession::prepareToEditFrame()
{
    // The frame a video load, a seek or a step fetches replaces the one on screen without asking
    // again (the question came before): a drawing made meanwhile would be lost.
    if (m_store->isLoading())
        return false;
    // Stopped here, the picture on screen becomes the frame (see takePlayedFrame) before the stroke
    // begins: it lands on the picture it was made on, not on the one playback would reach.
    if (m_store->isPlaying())
        pauseVideoPlayback();
    return true;
}

bool VideoFrameAnnotationSession::handleVideoFrameShortcut(const QString &command)
{
    static const QStringList editing{QStringLiteral("undo"), QStringLiteral("redo"), QStringLiteral("paste"),
                                     QStringLiteral("delete")};
    // Taken, and nothing changes, while the frame is being replaced.
    if (editing.contains(command) && !prepareToEditFrame())
        return true;
    return m_video.handleVideoFrameShortcut(command);
}

bool VideoFrameAnnotationSession::loadFrame(const VideoFrameSnapshot &snapshot, bool keepAnnotations)
{
    const QScopedValueRollback<bool> placing(m_placingFrame, true);
    if (m_frameLoader(m_video, snapshot, keepAnnotations)) {
        m_loadedFrameIndex = snapshot.frameIndex;
        return true;
    }
    reportFailure(m_video.errorMessage().value_or(QStringLiteral("视频帧无法解析")));
    return false;
}

void VideoFrameAnnotationSession::reportFailure(const QString &message)
{
    m_main.setErrorMessage(message);
    report(message);
}

void VideoFrameAnnotationSession::report(const QString &text)
{
    m_main.setStatusMessage(text);
    m_report = Report{text, m_video.annotations()};
}

void VideoFrameAnnotationSession::reportProgress(const QString &text)
{
    m_report.reset();
    m_main.setStatusMessage(text);
}

void VideoFrameAnnotationSession::withdrawStatus()
{
    if (!m_report)
        return;
    const QString text = std::exchange(m_report, std::nullopt)->text;
    // Only the session's own word goes; whatever was written there since stays.
    if (m_main.statusMessage() == text)
        m_main.setStatusMessage(QStringLiteral("就绪"));
}

void VideoFrameAnnotationSession::withdrawStatusIfDrawnOn()
{
    if (!m_report)
        return;
    // A frame the session put on screen (the next one after a save, the first of a video, the
    // picture playback stopped on) follows from what the status tells of; an annotation drawn,
    // changed or removed since is a moment of its own.
    std::vector<MarkupAnnotation> annotations = m_video.annotations();
    if (m_placingFrame)
        m_report->annotations = std::move(annotations);
    else if (annotations != m_report->annotations)
        withdrawStatus();
}

bool VideoFrameAnnotationSession::hasUnsavedFrameAnnotations() const
{
    const std::optional<ImageMarkupItem> item = m_video.selectedItem();
    if (!item || item->annotations.empty())
        return false;
    return !m_savedFrame || m_savedFrame->fileName != item->fileName || m_savedFrame->annotations != item->annotations;
}

bool VideoFrameAnnotationSession::confirmLeavingFrame(std::function<void()> proceed)
{
    // The question is about a frame that stands still.
    pauseVideoPlayback();
    if (!hasUnsavedFrameAnnotations()) {
        proceed();
        return true;
    }
    // The question is a moment of its own: what the status line said before it is over.
    withdrawStatus();
    switch (m_confirmer->askToSaveFrame()) {
    case FrameLeavingAnswer::Cancel:
        return false;
    case FrameLeavingAnswer::DontSave:
        proceed();
        return true;
    case FrameLeavingAnswer::SaveFrame:
        break;
    }
    // Goes on after the save under way, or the one begun here, has written the file.
    m_afterSave = std::move(proceed);
    saveFrame();
    return true;
}

void VideoFrameAnnotationSession::showLoadedFrame()
{
    if (m_loadedFrameIndex && std::lround(m_store->currentFrameIndex()) != *m_loadedFrameIndex)
        m_store->previewFrame(*m_loadedFrameIndex);
}

void VideoFrameAnnotationSession::importVideo(const QString &path)
{
    confirmLeavingFrame([this, path] { startImport(path); });
}

void VideoFrameAnnotationSession::startImport(const QString &path)
{
    Q_EMIT importStarted();
    m_video.setStatusMessage(QStringLiteral("正在导入视频"));
    reportProgress(QStringLiteral("正在导入视频"));

    // The open video, its frame and the annotations on it stay until the new video has loaded: a
    // file that cannot be opened leaves them as they were.
    const quint64 generation = ++m_generation;
    const QString fileName = QFileInfo(path).fileName();
    QPointer<VideoFrameAnnotationSession> self(this);
    m_store->loadVideo(path, [self, generation, fileName](std::optional<VideoFrameSnapshot> snapshot) {
        if (!self || generation != self->m_generation)
            return;
        if (!snapshot) {
            self->reportFailure(self->m_store->statusText());
        } else {
            self->forgetFrame();
            if (self->loadFrame(*snapshot, false))
                self->report(QStringLiteral("已导入视频：") + fileName);
        }
        Q_EMIT self->actionFinished();
    });
}

void VideoFrameAnnotationSession::forgetFrame()
{
    // Nothing of the video before carries over to the new one's first frame, whatever its name.
    m_savedFrame.reset();
    m_loadedFrameIndex.reset();
    m_frameLeftForPlayback = false;
    const QScopedValueRollback<bool> placing(m_placingFrame, true);
    MarkupViewModel &model = m_video;
    model.setItems({});
    model.setSelectedItemID(std::nullopt);
    model.setSelectedImageItemIDs({});
    model.setSelectedAnnotationID(std::nullopt);
    model.setSelectedAnnotationIDs({});
    model.setErrorMessage(std::nullopt);
}

void VideoFrameAnnotationSession::presentVideoImportPanel()
{
    if (const std::optional<QString> path = m_chooser->chooseVideo())
        importVideo(*path);
}

void VideoFrameAnnotationSession::finishMove(quint64 generation, const std::optional<VideoFrameSnapshot> &snapshot)
{
    if (generation != m_generation)
        return;
    if (!snapshot)
        reportFailure(m_store->statusText());
    else if (loadFrame(*snapshot, false))
        Q_EMIT panOffsetResetRequested();
    Q_EMIT actionFinished();
}

void VideoFrameAnnotationSession::seekVideoFrame(int frameIndex)
{
    if (!m_store->hasAsset()) {
        report(QStringLiteral("请先导入视频"));
        return;
    }
    // An action already waits for a save the user asked for: that answer stands, and the picture goes
    // back to the frame being saved.
    if (m_afterSave)
        return showLoadedFrame();
    // Back on the frame already loaded (a scrubber let go where it was), its annotations stay.
    if (frameIndex == m_loadedFrameIndex)
        return startSeek(frameIndex);
    // The scrubber's preview is not the current frame: the question, and the save it may lead to,
    // are about the frame the annotations were drawn on, so the picture goes back to it first.
    if (hasUnsavedFrameAnnotations())
        showLoadedFrame();
    if (!confirmLeavingFrame([this, frameIndex] { startSeek(frameIndex); }))
        showLoadedFrame();
}

void VideoFrameAnnotationSession::startSeek(int frameIndex)
{
    QPointer<VideoFrameAnnotationSession> self(this);
    const quint64 generation = m_generation;
    m_store->seek(frameIndex, [self, generation](std::optional<VideoFrameSnapshot> snapshot) {
        if (self)
            self->finishMove(generation, snapshot);
    });
}

void VideoFrameAnnotationSession::previewVideoFrame(int frameIndex)
{
    m_store->previewFrame(frameIndex);
}

void VideoFrameAnnotationSession::stepVideoFrame(int delta)
{
    if (!m_store->hasAsset()) {
        report(QStringLiteral("请先导入视频"));
        return;
    }
    pauseVideoPlayback();
    // Pressed again while the step before waits for the save its question asked for: this press
    // joins that step, so each press moves one frame and the question is not asked twice.
    if (m_pendingStepDelta) {
        *m_pendingStepDelta += delta;
        return;
    }
    m_pendingStepDelta = delta;
    const bool going = confirmLeavingFrame([this] {
        const int steps = std::exchange(m_pendingStepDelta, std::nullopt).value_or(0);
        if (steps != 0)
            startStep(steps);
    });
    if (!going) {
        m_pendingStepDelta.reset();
        showLoadedFrame();
    }
}

void VideoFrameAnnotationSession::startStep(int delta)
{
    // Paused again: the preview may have been started while a save held the step back.
    pauseVideoPlayback();
    QPointer<VideoFrameAnnotationSession> self(this);
    const quint64 generation = m_generation;
    m_store->stepFrame(delta, [self, generation](std::optional<VideoFrameSnapshot> snapshot) {
        if (self)
            self->finishMove(generation, snapshot);
    });
}

void VideoFrameAnnotationSession::toggleVideoPlayback()
{
    m_video.cancelCurrentOperation();
    if (!m_store->hasAsset() || m_store->isPlaying())
        return m_store->togglePlayback();
    // An action already waits for a save the user asked for; playing now would ask a second time.
    if (m_afterSave)
        return;
    // Playback leaves the frame as a step does: unsaved annotations are asked about first.
    confirmLeavingFrame([this] { startPlayback(); });
}

void VideoFrameAnnotationSession::startPlayback()
{
    if (m_store->isPlaying())
        return;
    // The annotations stay with the frame they were drawn on (saved, or dropped on 不保存); the
    // pictures that play have none. A stroke begun while it plays stops it first (prepareToEditFrame).
    if (const std::optional<ImageMarkupItem> item = m_video.selectedItem()) {
        const QScopedValueRollback<bool> placing(m_placingFrame, true);
        std::vector<ImageMarkupItem> items = m_video.items();
        for (ImageMarkupItem &each : items)
            each.annotations.clear();
        m_video.setItems(std::move(items));
        // Loaded afresh, so that undo cannot bring them back onto another picture.
        const int index = m_loadedFrameIndex.value_or(int(std::lround(m_store->currentFrameIndex())));
        VideoFrameSnapshot frame{item->image.image(), item->fileName, m_store->seconds(index), loadedTimecode(), index};
        loadFrame(frame, false);
    }
    m_frameLeftForPlayback = true;
    m_store->togglePlayback();
}

void VideoFrameAnnotationSession::takePlayedFrame()
{
    m_frameLeftForPlayback = false;
    // Kept: what was drawn while the video played, over the picture it stopped on.
    if (const std::optional<VideoFrameSnapshot> shown = m_store->shownFrameSnapshot())
        loadFrame(*shown, true);
}

void VideoFrameAnnotationSession::saveCurrentVideoFrame()
{
    saveFrame();
}

QString VideoFrameAnnotationSession::loadedTimecode() const
{
    if (m_loadedFrameIndex)
        return VideoFrameAnnotationStore::timecode(*m_loadedFrameIndex, m_store->frameRate());
    return m_store->currentTimecode();
}

void VideoFrameAnnotationSession::saveFrame()
{
    // The save control stays off until the save under way has reported.
    if (m_store->isSavingFrame())
        return;
    // Every save (the button, Ctrl+S, 保存当前帧 of a question, the quit) writes the frame the
    // annotations were drawn on, as it was loaded; a picture still playing stops first and becomes
    // that frame, and a picture the scrubber moved away goes back to it.
    pauseVideoPlayback();
    showLoadedFrame();
    beginSave();
    std::optional<VideoFrameSave::Job> job = VideoFrameSave::prepare(m_video, loadedTimecode());
    if (!job) {
        if (m_video.errorMessage())
            reportFailure(*m_video.errorMessage());
        endSave();
        Q_EMIT actionFinished();
        return;
    }
    writeOnWorker(std::move(*job));
}

void VideoFrameAnnotationSession::beginSave()
{
    m_store->setSavingFrame(true);
    reportProgress(QStringLiteral("正在保存当前帧…"));
    // A close during the save waits for it (see holdCloseForSave).
    Q_EMIT saveStarted();
}

void VideoFrameAnnotationSession::writeOnWorker(VideoFrameSave::Job job)
{
    QPointer<VideoFrameAnnotationSession> self(this);
    m_savePool.start([self, writer = m_frameWriter, job = std::move(job)] {
        VideoFrameSave::Outcome outcome = writer(job);
        // Queued to the session: dropped if it has gone meanwhile (the file is written).
        QMetaObject::invokeMethod(
            self.data(),
            [self, job, outcome = std::move(outcome)] {
                if (self)
                    self->finishSave(job, outcome);
            },
            Qt::QueuedConnection);
    });
}

void VideoFrameAnnotationSession::finishSave(const VideoFrameSave::Job &job, const VideoFrameSave::Outcome &outcome)
{
    // Whatever was pressed meanwhile, the result is the last word in the status line.
    MarkupViewModel &model = m_video;
    std::function<void()> next;
    if (const std::optional<QString> path = VideoFrameSave::finish(model, job, outcome)) {
        report(QStringLiteral("当前帧已保存：") + QFileInfo(*path).fileName());
        for (const ImageMarkupItem &item : model.items()) {
            if (item.id == job.itemID)
                m_savedFrame = SavedFrame{item.fileName, job.annotations};
        }
        next = std::exchange(m_afterSave, nullptr);
    } else {
        reportFailure(model.errorMessage().value_or(QStringLiteral("无法生成当前帧图片")));
    }
    endSave();
    Q_EMIT actionFinished();
    // What the save was asked for goes on, unless the annotations changed while it ran: then the
    // question comes again.
    if (next && !confirmLeavingFrame(std::move(next)))
        m_pendingStepDelta.reset();
}

void VideoFrameAnnotationSession::endSave()
{
    // A failed or dropped save stops what was waiting for it.
    if (m_afterSave) {
        m_afterSave = nullptr;
        m_pendingStepDelta.reset();
    }
    m_store->setSavingFrame(false);
    if (!m_closeAfterSave)
        return;
    m_closeAfterSave = false;
    // The close asked for during the save goes ahead now, through the usual quit rules.
    Q_EMIT closeReleasedAfterSave();
}

bool VideoFrameAnnotationSession::holdCloseForSave()
{
    if (!m_store->isSavingFrame())
        return false;
    m_closeAfterSave = true;
    return true;
}

void VideoFrameAnnotationSession::confirmClearVideoFrameAnnotations()
{
    if (!prepareToEditFrame())
        return;
    MarkupViewModel &model = m_video;
    if (!model.annotations().empty()) {
        const VideoFrameConfirmation request{
            QStringLiteral("清空当前帧标注？"),
            QStringLiteral("只会清空当前画面上的标注，不会删除视频画面。可以按 Ctrl+Z 撤销。"),
            QStringLiteral("清空")};
        if (!m_confirmer->confirm(request))
            return;
    }
    model.clearSelectedImageAnnotations();
    report(model.statusMessage());
}

bool VideoFrameAnnotationSession::deleteVideoFrameSelection()
{
    if (!prepareToEditFrame())
        return true;
    MarkupViewModel &model = m_video;
    if (model.selectedAnnotationCount() >= 1) {
        if (!model.deleteSelectedAnnotations())
            return false;
    } else {
        model.setStatusMessage(QStringLiteral("请先选中要删除的标注"));
    }
    report(model.statusMessage());
    return true;
}

double VideoFrameAnnotationSession::fittedZoom(double pixelWidth, double pixelHeight)
{
    return MarkupGeometry::fittedZoom(QSizeF(pixelWidth, pixelHeight), MarkupGeometry::videoFrameFitBox);
}

void VideoFrameAnnotationSession::fitVideoFrameCanvas()
{
    const std::optional<ImageDocumentState> document = m_video.document();
    if (!document)
        return;
    m_video.setZoom(fittedZoom(document->pixelSize.width(), document->pixelSize.height()));
    Q_EMIT panOffsetResetRequested();
}
