// Moving through the loaded video: exact seeks that end in an extracted frame, the scrubber's preview
// seeks (which only move the player and chase the newest position), stepping and preview playback.
#include "video/VideoFrameAnnotationStore.h"

#include <QPointer>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

int VideoFrameAnnotationStore::clampedIndex(long long frameIndex) const
{
    const long long last = std::max(m_totalFrameCount - 1, 0);
    return int(std::min(std::max(frameIndex, 0LL), last));
}

int VideoFrameAnnotationStore::wholeCurrentIndex() const
{
    // The index is always set to whole numbers; rounding only guards against a drifted value.
    const double rounded = std::round(m_currentFrameIndex);
    return int(std::clamp(rounded, double(INT_MIN), double(INT_MAX)));
}

void VideoFrameAnnotationStore::seek(int frameIndex, SnapshotHandler done)
{
    if (!m_generator) {
        setStatusText(VideoFrameAnnotationText::importVideoFirst());
        if (done)
            done(std::nullopt);
        return;
    }
    setLoading(true);
    const int clamped = clampedIndex(frameIndex);
    const double time = requestTime(clamped);
    if (m_player)
        m_player->pause();
    setPlaying(false);
    const quint64 generation = m_loadGeneration;
    QPointer<VideoFrameAnnotationStore> self(this);
    seekPlayer(time, [self, generation, clamped, done = std::move(done)]() mutable {
        if (!self || self->m_loadGeneration != generation) {
            if (done)
                done(std::nullopt);
            return;
        }
        self->snapshot(clamped, [self, generation, done = std::move(done)](std::optional<VideoFrameSnapshot> snap) {
            if (self && self->m_loadGeneration == generation)
                self->setLoading(false);
            if (done)
                done(std::move(snap));
        });
    });
}

void VideoFrameAnnotationStore::stepFrame(int delta, SnapshotHandler done)
{
    const int target = int(std::clamp(double(wholeCurrentIndex()) + delta, double(INT_MIN), double(INT_MAX)));
    // Stepping starts from the picture on screen. Without one, a step is a seek to the index.
    const double from = m_player ? m_player->currentFrameTime() : std::numeric_limits<double>::quiet_NaN();
    if (!m_generator || delta == 0 || !std::isfinite(from))
        return seek(target, std::move(done));
    setLoading(true);
    const double targetTime = requestTime(clampedIndex(target));
    if (m_player)
        m_player->pause();
    setPlaying(false);
    const quint64 generation = m_loadGeneration;
    m_extractionPool.start([this, generator = m_generator, from, delta, targetTime, generation,
                            done = std::move(done)]() mutable {
        double actualTime = 0;
        QImage image = steppedFrameImage(*generator, from, delta, targetTime, &actualTime);
        QMetaObject::invokeMethod(
            this,
            [this, generation, actualTime, image = std::move(image), done = std::move(done)]() mutable {
                finishStep(generation, actualTime, image, std::move(done));
            },
            Qt::QueuedConnection);
    });
}

QImage VideoFrameAnnotationStore::steppedFrameImage(VideoFrameGenerator &generator, double from, int delta,
                                                    double targetTime, double *actualTime)
{
    // Frame indices follow the average rate, so with unevenly spaced frames an index can name the
    // picture already shown, or skip one. A step of one frame therefore goes to the neighbouring
    // picture; a longer step goes to the target index unless that does not get past the start.
    const int direction = delta > 0 ? 1 : -1;
    const double slack = VideoFrameSource::timeSlack;
    if (delta > 1 || delta < -1) {
        double time = 0;
        QImage image = copyFrameImage(generator, targetTime, &time);
        if (!image.isNull() && (direction > 0 ? time > from + slack : time < from - slack)) {
            *actualTime = time;
            return image;
        }
    }
    QImage image = generator.copyAdjacentImage(from, direction, actualTime);
    if (!image.isNull())
        return image;
    // At the first or the last picture the step stays where it is.
    return copyFrameImage(generator, from, actualTime);
}

void VideoFrameAnnotationStore::finishStep(quint64 generation, double frameTime, const QImage &image,
                                           SnapshotHandler done)
{
    if (generation != m_loadGeneration) {
        if (done)
            done(std::nullopt);
        return;
    }
    if (image.isNull()) {
        setLoading(false);
        finishSnapshot(generation, frameTime, frameTime, image, done);
        return;
    }
    // The player shows the very picture that is handed on.
    QPointer<VideoFrameAnnotationStore> self(this);
    seekPlayer(frameTime, [self, generation, frameTime, image, done = std::move(done)] {
        if (!self || self->m_loadGeneration != generation) {
            if (done)
                done(std::nullopt);
            return;
        }
        self->setLoading(false);
        self->finishSnapshot(generation, frameTime, frameTime, image, done);
    });
}

void VideoFrameAnnotationStore::seekPlayer(double seconds, std::function<void()> done)
{
    if (!m_player) {
        if (done)
            done();
        return;
    }
    ++m_previewSeekSerial;
    m_lastPreviewFrameIndex.reset();
    m_player->cancelPendingSeeks();
    // Whether the seek finished does not matter: the extraction that follows finds the frame itself.
    // The player takes the frame nearest to the time, as the extraction does, so both show the same
    // picture for a frame index.
    m_player->seek(
        seconds,
        [done = std::move(done)](bool) {
            if (done)
                done();
        },
        VideoFrameSource::Match::nearest);
}

void VideoFrameAnnotationStore::previewFrame(int frameIndex)
{
    if (!m_asset)
        return;
    const int clamped = clampedIndex(frameIndex);
    const double time = requestTime(clamped);
    if (m_player)
        m_player->pause();
    setPlaying(false);
    setCurrentFrameIndex(clamped);
    setStatusText(QStringLiteral("预览帧：") + timecode(clamped, m_frameRate));
    // The player is already at, or on its way to, that frame.
    if (m_lastPreviewFrameIndex == clamped)
        return;
    m_lastPreviewFrameIndex = clamped;
    const quint64 serial = ++m_previewSeekSerial;
    if (!m_player)
        return;
    m_player->cancelPendingSeeks();
    QPointer<VideoFrameAnnotationStore> self(this);
    m_player->seek(
        time,
        [self, serial, clamped](bool finished) {
            // A newer preview, an exact seek or a reset came in between: this seek no longer counts.
            if (!self || self->m_previewSeekSerial != serial)
                return;
            // The index is that of the picture found, by the rule the exact seek numbers its frame
            // by: where no picture has the index asked for (unevenly spaced pictures, an index
            // past the last picture), the preview and the landing still agree.
            if (finished) {
                const double shown = self->m_player ? self->m_player->currentFrameTime()
                                                    : std::numeric_limits<double>::quiet_NaN();
                self->setCurrentFrameIndex(
                    std::isfinite(shown) ? self->clampedIndex(self->frameIndex(shown, self->m_frameRate)) : clamped);
            }
            else if (self->m_lastPreviewFrameIndex == clamped)
                self->m_lastPreviewFrameIndex.reset(); // previewing this frame again seeks again
        },
        VideoFrameSource::Match::nearest);
}

void VideoFrameAnnotationStore::togglePlayback()
{
    if (!m_asset) {
        setStatusText(VideoFrameAnnotationText::importVideoFirst());
        return;
    }
    if (m_isPlaying) {
        pausePlayback();
        setStatusText(QStringLiteral("已暂停"));
        return;
    }
    if (wholeCurrentIndex() >= m_totalFrameCount - 1) {
        setCurrentFrameIndex(0);
        if (m_player)
            m_player->seek(0);
    }
    if (m_player)
        m_player->play();
    setPlaying(true);
    setStatusText(QStringLiteral("正在播放预览"));
}

void VideoFrameAnnotationStore::pausePlayback()
{
    if (!m_player) {
        setPlaying(false);
        return;
    }
    m_player->pause();
    const double shown = m_player->currentFrameTime();
    if (m_isPlaying && m_asset && std::isfinite(shown))
        setCurrentFrameIndex(clampedIndex(frameIndex(shown, m_frameRate)));
    setPlaying(false);
}

void VideoFrameAnnotationStore::installTimeObserver(VideoPlayer *player)
{
    if (m_player && m_timeObserver)
        m_player->removeTimeObserver(*m_timeObserver);
    QPointer<VideoFrameAnnotationStore> self(this);
    // The tick carries its player, so a tick of a player that is no longer the store's is ignored.
    m_timeObserver = player->addPeriodicTimeObserver(timeObserverInterval, [self, player](double time) {
        if (self && self->m_player.get() == player)
            self->handlePlaybackTime(time);
    });
}

void VideoFrameAnnotationStore::handlePlaybackTime(double seconds)
{
    if (!m_isPlaying || !std::isfinite(seconds))
        return;
    // The counter and the status follow the picture on screen; the clock, which runs ahead of the
    // pictures on a busy machine, only tells when the end is reached.
    const int reached = clampedIndex(frameIndex(seconds, m_frameRate));
    const double shown = m_player ? m_player->currentFrameTime() : std::numeric_limits<double>::quiet_NaN();
    const int index = std::isfinite(shown) ? clampedIndex(frameIndex(shown, m_frameRate)) : reached;
    setCurrentFrameIndex(index);
    setStatusText(QStringLiteral("播放中：") + timecode(index, m_frameRate));
    if (reached >= m_totalFrameCount - 1) {
        if (m_player)
            m_player->pause();
        setPlaying(false);
        setStatusText(QStringLiteral("已到视频末尾"));
    }
}

void VideoFrameAnnotationStore::followPlayedPicture(double frameTime)
{
    if (!m_isPlaying || !std::isfinite(frameTime))
        return;
    const int index = clampedIndex(frameIndex(frameTime, m_frameRate));
    setCurrentFrameIndex(index);
    setStatusText(QStringLiteral("播放中：") + timecode(index, m_frameRate));
}
