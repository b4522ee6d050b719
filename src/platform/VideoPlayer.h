#pragma once

#include "platform/PlaybackClock.h"
#include "platform/VideoFrameSource.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Silent preview player of one video. A decode thread owns the work on the frame source: exact
// seeks, and while playing a small queue of frames ahead. The GUI thread presents the queued frames
// against the playback clock (late ones are dropped), runs the periodic time observers and pauses at
// the end of the video, holding its last frame.
//
// A seek shows the frame on screen at the requested time (zero tolerance), or the frame nearest to
// it when asked to (the rule frame indices are looked up by). Every new seek, and
// `cancelPendingSeeks()`, supersedes the seeks before it: their decoding is abandoned between packets
// and their completions report `finished == false`. Completions always arrive later through the
// event loop, never inside `seek()`.
class VideoPlayer : public QObject {
    Q_OBJECT

public:
    using SeekCompletion = std::function<void(bool finished)>;
    using TimeObserver = std::function<void(double seconds)>;

    // `duration` in seconds ends playback. Without a clock the steady clock is used.
    VideoPlayer(std::shared_ptr<VideoFrameSource> source, double duration,
                std::shared_ptr<PlaybackClock> clock = nullptr, QObject *parent = nullptr);
    ~VideoPlayer() override;

    void play();
    void pause();
    bool isPlaying() const { return m_playing; }

    // The playback position in seconds.
    double currentTime() const;
    double duration() const { return m_duration; }

    void seek(double seconds, SeekCompletion completion = {},
              VideoFrameSource::Match match = VideoFrameSource::Match::containing);
    void cancelPendingSeeks();

    // Calls `observer` on the GUI thread each time playback crosses a multiple of `interval` seconds,
    // and once more with the final time when playback reaches the end. Returns a token for removal.
    int addPeriodicTimeObserver(double interval, TimeObserver observer);
    void removeTimeObserver(int token);

    // The largest size, in device pixels, the pictures are shown at. Each frame larger than that
    // comes with a copy scaled to fit it, made on the decode thread, so that showing a frame costs the
    // screen no scaling. An empty size (the default) makes no copies.
    void setPreviewSize(QSize size);
    static QImage previewOf(const QImage &frame, QSize size);
    // Half the width and height (rounded down), each pixel the mean of a 2 × 2 block.
    static QImage halved(const QImage &image);

    // The picture on screen; null before the first seek completed.
    QImage currentFrame() const { return m_currentFrame; }
    // Its copy scaled to the preview size; null when none was made.
    QImage currentPreview() const { return m_currentPreview; }
    // The presentation time of that picture; NaN before the first seek completed.
    double currentFrameTime() const { return m_currentFrameTime; }
    int droppedFrameCount() const { return m_droppedFrames; }

    // Blocks until the decode thread has nothing left to do (no seek, queue full or at the end).
    bool waitUntilIdle(int timeoutMs);

    static constexpr int queueCapacity = 6;

public Q_SLOTS:
    // Shows the frames that are due by the clock; driven by a precise timer while playing.
    void presentDueFrames();

Q_SIGNALS:
    void currentFrameChanged(const QImage &frame);
    void playbackEnded();

private:
    struct PendingSeek {
        double time = 0;
        quint64 id = 0;
        VideoFrameSource::Match match = VideoFrameSource::Match::containing;
    };
    struct QueuedFrame {
        quint64 epoch = 0;
        VideoFrameSource::Frame frame;
    };
    struct Observer {
        int token = 0;
        double interval = 0;
        double nextTime = 0;
        TimeObserver block;
    };

    void decodeLoop();
    bool hasDecodeWork() const;
    bool seekIsStale(quint64 id) const;
    void postCompletion(quint64 id, bool finished, std::optional<VideoFrameSource::Frame> frame);
    void finishSeek(quint64 id, bool finished, const std::optional<VideoFrameSource::Frame> &frame);
    void showFrame(const VideoFrameSource::Frame &frame);
    void notifyObservers(double time, bool always);
    void rebaseObservers(double time);

    std::shared_ptr<VideoFrameSource> m_source;
    double m_duration = 0;
    std::shared_ptr<PlaybackClock> m_clock;
    QTimer m_presentTimer;

    // GUI thread only.
    bool m_playing = false;
    double m_currentTime = 0;
    double m_playStartMedia = 0;
    double m_playStartClock = 0;
    QImage m_currentFrame;
    QImage m_currentPreview;
    double m_currentFrameTime = std::numeric_limits<double>::quiet_NaN();
    int m_droppedFrames = 0;
    std::map<quint64, SeekCompletion> m_completions;
    std::vector<Observer> m_observers;
    int m_nextObserverToken = 1;

    // Shared with the decode thread, under m_mutex.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::optional<PendingSeek> m_pendingSeek;
    std::deque<QueuedFrame> m_queue;
    bool m_filling = false;
    bool m_endOfStream = false;
    bool m_busy = false;
    double m_fillFrom = 0;   // time of the last frame decoded for the queue; NaN: start at m_fillTarget
    double m_fillTarget = 0; // the position the queue starts from after a seek
    QSize m_previewSize;

    std::atomic<bool> m_stop{false};
    std::atomic<quint64> m_epoch{0};
    std::atomic<quint64> m_newestSeekId{0};
    std::atomic<quint64> m_cancelledThrough{0};
    std::thread m_thread;
};
