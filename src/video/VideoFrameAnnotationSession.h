#pragma once

#include "model/MarkupAnnotation.h"
#include "video/VideoFrameAnnotationStore.h"
#include "video/VideoFrameDialogs.h"
#include "video/VideoFrameSave.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class MarkupViewModel;
struct VideoFrameSnapshot;

// The window's video frame annotation state and the work on it: the video store, the generation of
// the latest import, the save worker and a close waiting for it, and the actions behind the
// workspace's controls (import, seek, step, save, clear, delete, fit, pause) carried out on the
// store and the video view model. The messages the user must see are copied to the main view
// model; what the window itself must do goes out as signals.
//
// The store answers asynchronously. Every import starts a new generation; an import, seek, step or
// save begun before the latest import changes nothing when it completes.
//
// The frame on screen is never replaced behind the user's back: a step, a seek, playback, another
// import or the quit first asks about annotations drawn or changed since the frame's last save
// (confirmLeavingFrame). Annotations belong to the frame loaded for them: playback starts without
// them and the picture it stops on becomes the frame, and every save writes the loaded frame. The
// scrubber's preview only moves the picture until it is let go.
//
// An annotation belongs to one still picture. Whatever adds or changes one (a press on the canvas or
// its editors with any tool, a label's text, a key command, a side button) first asks
// prepareToEditFrame: while the video plays, playback stops and the picture on screen at that moment
// becomes the frame drawn on; while a video or a frame is being fetched, whose arrival replaces the
// frame, nothing is drawn.
//
// A save renders, encodes and writes on a worker. While it runs the status line says so and the
// save action does nothing; its result is the last status it leaves. A close of the window asked
// for meanwhile is held (holdCloseForSave) and let go once the save has reported.
class VideoFrameAnnotationSession final : public QObject {
    Q_OBJECT

public:
    // Loads the snapshot into the video view model (keeping the annotations when asked); tests
    // replace it to make a frame fail.
    using FrameLoader = std::function<bool(MarkupViewModel &, const VideoFrameSnapshot &, bool keepAnnotations)>;
    // Renders, encodes and writes a save on the worker; tests replace it to hold a save in flight.
    using FrameWriter = std::function<VideoFrameSave::Outcome(const VideoFrameSave::Job &)>;

    // Without a store, one with the real video loader. The view models must outlive the session.
    VideoFrameAnnotationSession(MarkupViewModel &main, MarkupViewModel &video,
                                std::unique_ptr<VideoFrameConfirmer> confirmer,
                                std::unique_ptr<VideoFileChooser> chooser,
                                std::unique_ptr<VideoFrameAnnotationStore> store = nullptr,
                                QObject *parent = nullptr);
    // A frame being written is finished first; nothing watching the store hears its teardown.
    ~VideoFrameAnnotationSession() override;

    VideoFrameAnnotationStore &store() const { return *m_store; }
    void setConfirmer(std::unique_ptr<VideoFrameConfirmer> confirmer) { m_confirmer = std::move(confirmer); }
    void setFileChooser(std::unique_ptr<VideoFileChooser> chooser) { m_chooser = std::move(chooser); }
    void setFrameLoader(FrameLoader loader) { m_frameLoader = std::move(loader); }
    void setFrameWriter(FrameWriter writer) { m_frameWriter = std::move(writer); }

    // ---- Actions -------------------------------------------------------------------------------
    void importVideo(const QString &path);
    void presentVideoImportPanel();
    void seekVideoFrame(int frameIndex);
    // The player's picture only, while the scrubber is dragged.
    void previewVideoFrame(int frameIndex);
    void stepVideoFrame(int delta);
    void toggleVideoPlayback();
    void saveCurrentVideoFrame();
    void confirmClearVideoFrameAnnotations();
    bool deleteVideoFrameSelection();
    void fitVideoFrameCanvas();
    void pauseVideoPlayback();
    // The video workspace's key commands (undo, redo, copy, paste, select all, delete, tool numbers).
    bool handleVideoFrameShortcut(const QString &command);

    // Before anything adds or changes an annotation: false while a video or a frame is being fetched
    // (the frame on screen is about to be replaced); while the video plays, stops it on the picture
    // shown, which becomes the frame drawn on. True when the frame may be drawn on.
    bool prepareToEditFrame();

    // Whether the frame on screen carries annotations that were drawn or changed since its last
    // successful save.
    bool hasUnsavedFrameAnnotations() const;
    // Before the frame on screen is replaced (playback is paused first): with unsaved annotations,
    // asks whether to save it.
    // Calls `proceed` at once when there is nothing to ask or on 不保存, and on 保存当前帧 once the
    // save has written the file (asking again if the annotations changed meanwhile); never on 取消
    // or a failed save. False only for 取消.
    bool confirmLeavingFrame(std::function<void()> proceed);

    // The status line's word about one moment (an import, a save, a clear or delete, a failure, a
    // hint) goes: it reads 就绪 unless something else was written there since. Also when the frame
    // is drawn on afterwards, and before the question about leaving the frame.
    void withdrawStatus();

    // Whether a close of the window must wait for the save under way; when it must, the close is
    // remembered and closeReleasedAfterSave follows once the save has reported.
    bool holdCloseForSave();

    // The zoom that fits a frame of this pixel size into the video fit box, clamped to 0.25…30.
    static double fittedZoom(double pixelWidth, double pixelHeight);

Q_SIGNALS:
    // An import, seek, step or save of the current generation completed (whatever the outcome).
    void actionFinished();
    // An import begins: the window shows the video workspace, centred, with no drop highlight.
    void importStarted();
    // The canvas goes back to the middle (a frame was loaded by a seek or step, or a fit).
    void panOffsetResetRequested();
    // A save began; a close of the window from now on asks holdCloseForSave.
    void saveStarted();
    // The close held during a save may go ahead now.
    void closeReleasedAfterSave();

private:
    // Loads a frame and copies a failure to the main view model; false when it failed.
    bool loadFrame(const VideoFrameSnapshot &snapshot, bool keepAnnotations);
    void startImport(const QString &path);
    void startSeek(int frameIndex);
    void startStep(int delta);
    // The player goes back to the annotated frame when a preview moved it away.
    void showLoadedFrame();
    // Empties the video view model and what is known of its frame, for a new video.
    void forgetFrame();
    void startPlayback();
    // Playback stopped: the picture on screen becomes the loaded frame.
    void takePlayedFrame();
    // Writes the loaded frame with its annotations.
    void saveFrame();
    QString loadedTimecode() const;
    void finishMove(quint64 generation, const std::optional<VideoFrameSnapshot> &snapshot);
    // A failure the user must see: the error alert, and the status line's last word.
    void reportFailure(const QString &message);
    // The main status line: a word about one moment, kept until withdrawStatus; or the progress of
    // work under way, which its outcome replaces.
    void report(const QString &text);
    void reportProgress(const QString &text);
    void withdrawStatusIfDrawnOn();
    void beginSave();
    void writeOnWorker(VideoFrameSave::Job job);
    void finishSave(const VideoFrameSave::Job &job, const VideoFrameSave::Outcome &outcome);
    void endSave();

    MarkupViewModel &m_main;
    MarkupViewModel &m_video;
    std::unique_ptr<VideoFrameAnnotationStore> m_store;
    std::unique_ptr<VideoFrameConfirmer> m_confirmer;
    std::unique_ptr<VideoFileChooser> m_chooser;
    FrameLoader m_frameLoader;
    FrameWriter m_frameWriter = VideoFrameSave::write;
    quint64 m_generation = 0;
    bool m_closeAfterSave = false;
    // The frame (its snapshot name) and the annotations the last successful save wrote.
    struct SavedFrame {
        QString fileName;
        std::vector<MarkupAnnotation> annotations;
    };
    std::optional<SavedFrame> m_savedFrame;
    // The index of the frame loaded into the video view model.
    std::optional<int> m_loadedFrameIndex;
    // The last word the session wrote in the main status line about one moment, and the annotations
    // on screen then.
    struct Report {
        QString text;
        std::vector<MarkupAnnotation> annotations;
    };
    std::optional<Report> m_report;
    // True while the session itself puts a frame (or the played picture) in the video view model.
    bool m_placingFrame = false;
    // What a 保存当前帧 answer goes on with once the save has written the file.
    std::function<void()> m_afterSave;
    // The frames a step waiting for its save will move (further presses add theirs).
    std::optional<int> m_pendingStepDelta;
    // Playback left the loaded frame; the picture it stops on is loaded in its place.
    bool m_frameLeftForPlayback = false;
    // Declared last so it is destroyed first: a frame being written is finished before the rest goes.
    QThreadPool m_savePool;
};
