#pragma once

#include "platform/PlaybackClock.h"
#include "platform/VideoAsset.h"
#include "platform/VideoFrameGenerator.h"
#include "platform/VideoPlayer.h"
#include "video/VideoFrameAnnotationError.h"
#include "video/VideoFrameSnapshot.h"

#include <QImage>
#include <QObject>
#include <QThreadPool>

#include <functional>
#include <limits>
#include <memory>
#include <optional>

// The one video of the video frame annotation workspace: the asset, a silent preview player, a frame
// generator for exact frames, the frame rate and frame count, the frame on screen and a status line.
// Lives on the GUI thread; loading and frame extraction run on workers and hand their results back.
// Each published value has a change signal that fires only when the value really changes.
//
// Asynchronous operations report through an optional handler, called on the GUI thread: at once when
// they fail before starting, otherwise later through the event loop. A handler whose work was
// overtaken by a reset or a newer load gets nothing (std::nullopt) and changes no state.
class VideoFrameAnnotationStore : public QObject {
    Q_OBJECT

public:
    using AssetLoader = std::function<std::optional<VideoAsset>(const QString &path)>;
    using SnapshotHandler = std::function<void(std::optional<VideoFrameSnapshot>)>;

    explicit VideoFrameAnnotationStore(QObject *parent = nullptr);
    // Seams for tests: how files are opened (on a worker thread) and the playback clock.
    VideoFrameAnnotationStore(AssetLoader loader, std::shared_ptr<PlaybackClock> clock, QObject *parent = nullptr);
    ~VideoFrameAnnotationStore() override;

    // Published state.
    const std::optional<QString> &videoURL() const { return m_videoURL; }
    const QString &videoFileName() const { return m_videoFileName; }
    double duration() const { return m_duration; }
    double currentFrameIndex() const { return m_currentFrameIndex; }
    double frameRate() const { return m_frameRate; }
    int totalFrameCount() const { return m_totalFrameCount; }
    bool isLoading() const { return m_isLoading; }
    bool isPlaying() const { return m_isPlaying; }
    // A save of the current frame is under way (its owner sets this); the save control waits.
    bool isSavingFrame() const { return m_isSavingFrame; }
    const QString &statusText() const { return m_statusText; }
    // The preview player of the loaded video; the canvas shows its frames.
    VideoPlayer *player() const { return m_player.get(); }
    // Whether a video is loaded for preview and playback.
    bool hasAsset() const { return m_asset.has_value(); }
    const VideoFrameGenerator *imageGenerator() const { return m_generator.get(); }

    // The size in device pixels the canvas shows the player's pictures at, kept for later players.
    void setPreviewSize(QSize size);

    // Escape and the root view's frame actions stop the preview with pausePlayback; the scrubber
    // pauses `player()` and sets this to false itself.
    void setPlaying(bool playing);
    // Stops the preview where it is. The index becomes that of the picture on screen: on a busy
    // machine the playback clock runs ahead of the pictures it has shown.
    void pausePlayback();
    void setSavingFrame(bool saving);

    // Loading (the newest load wins; an older one publishes nothing). The open video stays until the
    // new one has opened and given its first picture; a file that fails keeps it, and only the status
    // line says why.
    void loadVideo(const QString &path, SnapshotHandler done = {});
    void reset();

    // Moving through the video.
    void seek(int frameIndex, SnapshotHandler done = {});
    // Moves from the picture on screen: one frame goes to the neighbouring picture, whatever the
    // spacing of the frames; the published index is that picture's own.
    void stepFrame(int delta, SnapshotHandler done = {});
    void seekPlayer(double seconds, std::function<void()> done = {});
    void previewFrame(int frameIndex);
    void togglePlayback();
    void handlePlaybackTime(double seconds);

    // Frames, times and names.
    double seconds(int frameIndex) const;
    static int frameIndex(double seconds, double frameRate);
    static QString timecode(int frameIndex, double frameRate);
    // Blocking extraction with the retry rule: the configured tolerances first, then once more with
    // unlimited ones; the generator's tolerances are restored either way. Null when both fail.
    static QImage copyFrameImage(VideoFrameGenerator &generator, double seconds, double *actualTime);
    void snapshot(int frameIndex, SnapshotHandler done);
    // The picture the player shows (the current index's frame when it shows none).
    void currentFrameSnapshot(SnapshotHandler done);
    // The picture the player shows, at once, as a snapshot of its own frame index (which becomes the
    // current index, and the status "当前帧：…"); nothing without a video or before the player has
    // shown a picture.
    std::optional<VideoFrameSnapshot> shownFrameSnapshot();
    QString currentTimecode() const;
    QString frameCounterText() const;
    QString snapshotFileName(const QString &timecode, int frameIndex) const;

    // Loading rules.
    static double resolvedFrameRate(float nominalFrameRate, double minFrameDuration);
    // The frames the file holds, numbered by the rule every picture is numbered by (frameIndex): the
    // index of its last picture plus one. When the file does not tell that picture's time,
    // max(ceil(duration × rate), 1). Nothing when that is not finite or does not fit an int.
    static std::optional<int> frameCount(double duration, double frameRate,
                                         double lastPictureTime = std::numeric_limits<double>::quiet_NaN());
    // Half a frame, in whole units of 1/60000 s.
    static double halfFrameTolerance(double frameRate);
    // Seconds rounded to whole units of 1/60000 s, the resolution of player and generator times.
    static double mediaTime(double seconds);
    // The time the player and the generator are asked for to find the picture of an index.
    double requestTime(int clampedIndex) const;
    // In frames: how far below the half a picture's time may land and still count for the later index.
    static constexpr double frameTieMargin = 0.01;

    static constexpr double timeObserverInterval = 40.0 / 600.0;

Q_SIGNALS:
    void videoURLChanged();
    void videoFileNameChanged();
    void durationChanged();
    void currentFrameIndexChanged();
    void frameRateChanged();
    void totalFrameCountChanged();
    void isLoadingChanged();
    void isPlayingChanged();
    void isSavingFrameChanged();
    void statusTextChanged();
    void playerChanged();
    // The player's picture, for the canvas.
    void currentFrameImageChanged(const QImage &frame);

private:
    void snapshotAt(double time, double requested, SnapshotHandler done);
    void finishLoad(quint64 serial, const QString &path, std::optional<VideoAsset> asset, bool hasFirstPicture,
                    SnapshotHandler done);
    void failLoad(const QString &message, const SnapshotHandler &done);
    // While playing, the index follows the picture on screen.
    void followPlayedPicture(double frameTime);
    static QImage steppedFrameImage(VideoFrameGenerator &generator, double from, int delta, double targetTime,
                                    double *actualTime);
    void finishStep(quint64 generation, double frameTime, const QImage &image, SnapshotHandler done);
    void finishSnapshot(quint64 generation, double requestedSeconds, double actualTime, const QImage &image,
                        const SnapshotHandler &done);
    void installTimeObserver(VideoPlayer *player);
    int clampedIndex(long long frameIndex) const;
    int wholeCurrentIndex() const;

    void setVideoURL(std::optional<QString> url);
    void setVideoFileName(const QString &name);
    void setDuration(double duration);
    void setCurrentFrameIndex(double index);
    void setFrameRate(double rate);
    void setTotalFrameCount(int count);
    void setLoading(bool loading);
    void setStatusText(const QString &text);

    AssetLoader m_loader;
    std::shared_ptr<PlaybackClock> m_clock;

    std::optional<QString> m_videoURL;
    QString m_videoFileName;
    double m_duration = 0;
    double m_currentFrameIndex = 0;
    double m_frameRate = 30;
    int m_totalFrameCount = 1;
    bool m_isLoading = false;
    bool m_isPlaying = false;
    bool m_isSavingFrame = false;
    QString m_statusText;
    std::unique_ptr<VideoPlayer> m_player;
    QSize m_previewSize;
    std::optional<VideoAsset> m_asset;
    std::shared_ptr<VideoFrameGenerator> m_generator;
    std::optional<int> m_timeObserver;
    quint64 m_previewSeekSerial = 0;
    std::optional<int> m_lastPreviewFrameIndex;
    // Raised by every reset, so a load or extraction begun for another video publishes nothing.
    quint64 m_loadGeneration = 0;
    // Raised by every load and reset, so only the newest load replaces the open video.
    quint64 m_loadSerial = 0;

    // Declared last so they are destroyed first, waiting for their jobs while the store is whole.
    QThreadPool m_loadPool;
    QThreadPool m_extractionPool;
};
