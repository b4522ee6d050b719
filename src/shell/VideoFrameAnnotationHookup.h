#pragma once

#include "canvas/ImageMarkupDialogs.h"
#include "video/VideoFrameAnnotationStore.h"
#include "video/VideoFrameSave.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <optional>

class CanvasFrameSource;
class ContentView;
class MarkupViewModel;
class QWidget;
struct ShellHooks;
struct VideoFrameSnapshot;

// Chooses the video to import; nothing when cancelled.
class VideoFileChooser {
public:
    virtual ~VideoFileChooser() = default;
    virtual std::optional<QString> chooseVideo() = 0;
};

// The file dialog of MP4, MOV and M4V files, starting on the Desktop.
class VideoFileDialogChooser final : public VideoFileChooser {
public:
    explicit VideoFileDialogChooser(QWidget *parent = nullptr) : m_parent(parent) {}
    std::optional<QString> chooseVideo() override;

private:
    QPointer<QWidget> m_parent;
};

// Joins the video frame workspace to the window. It owns the video store for the window's
// lifetime, carries out the root view's video actions (import, seek, step, save, clear, delete,
// fit, pause) on the store and the video view model, copies the messages the user must see to the
// main view model, and builds the workspace afresh on every entry.
//
// The store answers asynchronously. Every import starts a new generation; an import, seek, step or
// save begun before the latest import changes nothing when it completes.
//
// A save renders, encodes and writes on a worker. While it runs the status line says so, the save
// control and its key do nothing, and its result is the last status it leaves; a close of the
// window waits for it and then goes ahead.
class VideoFrameAnnotationHookup final : public QObject {
    Q_OBJECT

public:
    // Loads the snapshot into the video view model (keeping the annotations when asked); tests
    // replace it to make a frame fail.
    using FrameLoader = std::function<bool(MarkupViewModel &, const VideoFrameSnapshot &, bool keepAnnotations)>;
    // Renders, encodes and writes a save on the worker; tests replace it to hold a save in flight.
    using FrameWriter = std::function<VideoFrameSave::Outcome(const VideoFrameSave::Job &)>;

    // Without a store, one with the real video loader.
    explicit VideoFrameAnnotationHookup(ContentView &view, std::unique_ptr<VideoFrameAnnotationStore> store = nullptr);
    ~VideoFrameAnnotationHookup() override;

    void install(ShellHooks &hooks);

    VideoFrameAnnotationStore &store() const { return *m_store; }
    // The player's picture for the canvas, one for the store's lifetime, so a workspace built
    // while the player is paused shows the paused frame at once.
    CanvasFrameSource *frameSource() const;
    void setConfirmer(std::unique_ptr<Confirmer> confirmer) { m_confirmer = std::move(confirmer); }
    void setFileChooser(std::unique_ptr<VideoFileChooser> chooser) { m_chooser = std::move(chooser); }
    void setFrameLoader(FrameLoader loader) { m_frameLoader = std::move(loader); }
    void setFrameWriter(FrameWriter writer) { m_frameWriter = std::move(writer); }

    // The root view's video actions.
    void importVideo(const QString &path);
    void presentVideoImportPanel();
    void seekVideoFrame(int frameIndex);
    void stepVideoFrame(int delta);
    void saveCurrentVideoFrame();
    void confirmClearVideoFrameAnnotations();
    bool deleteVideoFrameSelection();
    void fitVideoFrameCanvas();
    void pauseVideoPlayback();

    // The workspace, built on every entry.
    QWidget *makeWorkspace();

    // The zoom that fits a frame of this pixel size into 960 × 560, clamped to 0.25…30.
    static double fittedZoom(double pixelWidth, double pixelHeight);

Q_SIGNALS:
    // An import, seek, step or save of the current generation completed (whatever the outcome).
    void actionFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MarkupViewModel &main() const;
    MarkupViewModel &video() const;
    void pauseStore();
    // Loads a frame and copies a failure to the main view model; false when it failed.
    bool loadFrame(const VideoFrameSnapshot &snapshot, bool keepAnnotations);
    void finishMove(quint64 generation, const std::optional<VideoFrameSnapshot> &snapshot);
    // Whether the video view model holds exactly this picture already.
    bool holdsFrame(const VideoFrameSnapshot &snapshot) const;
    void beginSave();
    void writeOnWorker(VideoFrameSave::Job job);
    void finishSave(const VideoFrameSave::Job &job, const VideoFrameSave::Outcome &outcome);
    void endSave();

    ContentView &m_view;
    std::unique_ptr<VideoFrameAnnotationStore> m_store;
    CanvasFrameSource *m_frameSource = nullptr;
    std::unique_ptr<Confirmer> m_confirmer;
    std::unique_ptr<VideoFileChooser> m_chooser;
    FrameLoader m_frameLoader;
    FrameWriter m_frameWriter = VideoFrameSave::write;
    quint64 m_generation = 0;
    bool m_closeAfterSave = false;
    // Declared last so it is destroyed first: a frame being written is finished before the rest goes.
    QThreadPool m_savePool;
};
