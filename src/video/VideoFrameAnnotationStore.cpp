#include "video/VideoFrameAnnotationStore.h"

#include <QFileInfo>
#include <QPointer>

#include <climits>
#include <cmath>

VideoFrameAnnotationStore::VideoFrameAnnotationStore(QObject *parent)
    : VideoFrameAnnotationStore(&VideoAsset::load, nullptr, parent)
{
}

VideoFrameAnnotationStore::VideoFrameAnnotationStore(AssetLoader loader, std::shared_ptr<PlaybackClock> clock,
                                                     QObject *parent)
    : QObject(parent), m_loader(loader ? std::move(loader) : AssetLoader(&VideoAsset::load)),
      m_clock(clock ? std::move(clock) : std::make_shared<SteadyPlaybackClock>()),
      m_statusText(VideoFrameAnnotationText::pleaseImport())
{
    // One extraction at a time, in the order asked, so the newest exact seek publishes last.
    m_extractionPool.setMaxThreadCount(1);
    m_loadPool.setMaxThreadCount(2);
}

VideoFrameAnnotationStore::~VideoFrameAnnotationStore()
{
    if (m_generator)
        m_generator->abandon();
    m_extractionPool.waitForDone();
    m_loadPool.waitForDone();
    if (m_player && m_timeObserver)
        m_player->removeTimeObserver(*m_timeObserver);
    m_player.reset();
}

void VideoFrameAnnotationStore::setPlaying(bool playing)
{
    if (m_isPlaying == playing)
        return;
    m_isPlaying = playing;
    Q_EMIT isPlayingChanged();
}

void VideoFrameAnnotationStore::reset()
{
    if (m_player && m_timeObserver)
        m_player->removeTimeObserver(*m_timeObserver);
    m_timeObserver.reset();
    if (m_player) {
        m_player->pause();
        m_player->cancelPendingSeeks();
        std::unique_ptr<VideoPlayer> old = std::move(m_player);
        old->disconnect(this);
        Q_EMIT playerChanged();
    }
    m_asset.reset();
    if (m_generator)
        m_generator->abandon();
    m_generator.reset();
    ++m_loadGeneration;
    ++m_loadSerial;

    setVideoURL(std::nullopt);
    setVideoFileName(QString());
    setDuration(0);
    setCurrentFrameIndex(0);
    setFrameRate(30);
    setTotalFrameCount(1);
    setLoading(false);
    setPlaying(false);
    ++m_previewSeekSerial;
    m_lastPreviewFrameIndex.reset();
    setStatusText(VideoFrameAnnotationText::pleaseImport());
}

void VideoFrameAnnotationStore::loadVideo(const QString &path, SnapshotHandler done)
{
    // The open video is replaced only once the new one is known to work: a file that cannot be read
    // must not take the user's video, its position and its frame with it.
    pausePlayback();
    setLoading(true);
    setStatusText(QStringLiteral("正在读取视频"));
    const quint64 serial = ++m_loadSerial;
    m_loadPool.start([this, loader = m_loader, path, serial, done = std::move(done)]() mutable {
        std::optional<VideoAsset> asset = loader(path);
        // A file that opens but yields no picture (its data cut off or damaged) fails here too.
        bool hasFirstPicture = false;
        if (asset && asset->hasVideoTrack && asset->frameSource) {
            VideoFrameGenerator probe(asset->frameSource);
            double time = 0;
            hasFirstPicture = !probe.copyImage(0, &time).isNull();
        }
        // The store outlives this job (its destructor waits for the pool); a result that arrives
        // after the store is gone is dropped by the event loop.
        QMetaObject::invokeMethod(
            this,
            [this, serial, path, asset = std::move(asset), hasFirstPicture, done = std::move(done)]() mutable {
                finishLoad(serial, path, std::move(asset), hasFirstPicture, std::move(done));
            },
            Qt::QueuedConnection);
    });
}

void VideoFrameAnnotationStore::finishLoad(quint64 serial, const QString &path, std::optional<VideoAsset> asset,
                                           bool hasFirstPicture, SnapshotHandler done)
{
    if (serial != m_loadSerial) {
        if (done)
            done(std::nullopt);
        return;
    }
    if (!asset)
        return failLoad(VideoFrameAnnotationText::videoUnreadable(), done);
    // A missing picture track is reported before a bad duration.
    if (!asset->hasVideoTrack || !asset->frameSource)
        return failLoad(localizedDescription(VideoFrameAnnotationError::videoTrackMissing), done);
    const double seconds = asset->duration;
    if (!(std::isfinite(seconds) && seconds > 0))
        return failLoad(localizedDescription(VideoFrameAnnotationError::invalidDuration), done);
    const double rate = resolvedFrameRate(asset->nominalFrameRate, asset->minFrameDuration);
    const std::optional<int> count = frameCount(seconds, rate, asset->lastPictureTime);
    if (!count)
        return failLoad(localizedDescription(VideoFrameAnnotationError::invalidDuration), done);
    if (!hasFirstPicture)
        return failLoad(VideoFrameAnnotationText::frameUnreadable(), done);

    reset();
    auto player = std::make_unique<VideoPlayer>(asset->frameSource, seconds, m_clock);
    player->setPreviewSize(m_previewSize);
    VideoPlayer *playerPointer = player.get();
    connect(playerPointer, &VideoPlayer::currentFrameChanged, this, [this, playerPointer](const QImage &frame) {
        if (m_player.get() != playerPointer)
            return;
        followPlayedPicture(playerPointer->currentFrameTime());
        Q_EMIT currentFrameImageChanged(frame);
    });
    auto generator = std::make_shared<VideoFrameGenerator>(asset->frameSource);
    const double tolerance = halfFrameTolerance(rate);
    generator->setRequestedTimeToleranceBefore(tolerance);
    generator->setRequestedTimeToleranceAfter(tolerance);

    m_asset = std::move(asset);
    m_generator = std::move(generator);
    m_player = std::move(player);
    Q_EMIT playerChanged();
    installTimeObserver(m_player.get());

    setVideoURL(path);
    setVideoFileName(QFileInfo(path).fileName());
    setDuration(seconds);
    setFrameRate(rate);
    setTotalFrameCount(*count);
    setCurrentFrameIndex(0);
    setLoading(false);
    seek(0, std::move(done));
}

void VideoFrameAnnotationStore::failLoad(const QString &message, const SnapshotHandler &done)
{
    // The video that was open (if any) stays as it was; the status line says why the new one did not.
    setLoading(false);
    setStatusText(message);
    if (done)
        done(std::nullopt);
}

double VideoFrameAnnotationStore::resolvedFrameRate(float nominalFrameRate, double minFrameDuration)
{
    const double nominal = double(nominalFrameRate);
    if (nominal > 0) // false for NaN
        return nominal;
    if (std::isfinite(minFrameDuration) && minFrameDuration > 0)
        return 1.0 / minFrameDuration;
    return 30;
}

std::optional<int> VideoFrameAnnotationStore::frameCount(double duration, double frameRate,
                                                         double lastPictureTime)
{
    // duration × rate counts a frame too many wherever the product lands a hair above a whole number
    // (10.01 s at 23.976 fps), and counts the length of a sound that runs on past the pictures.
    if (std::isfinite(lastPictureTime) && std::isfinite(frameRate)) {
        const int last = frameIndex(lastPictureTime, frameRate);
        if (last >= INT_MAX)
            return std::nullopt;
        return last + 1;
    }
    const double frames = std::ceil(duration * frameRate);
    if (std::isnan(frames))
        return std::nullopt;
    if (frames < 1)
        return 1;
    if (!(frames <= double(INT_MAX)))
        return std::nullopt;
    return int(frames);
}

double VideoFrameAnnotationStore::halfFrameTolerance(double frameRate)
{
    return mediaTime(0.5 / frameRate);
}

double VideoFrameAnnotationStore::mediaTime(double seconds)
{
    if (!std::isfinite(seconds))
        return seconds;
    return std::round(seconds * 60000.0) / 60000.0;
}

void VideoFrameAnnotationStore::setVideoURL(std::optional<QString> url)
{
    if (m_videoURL == url)
        return;
    m_videoURL = std::move(url);
    Q_EMIT videoURLChanged();
}

void VideoFrameAnnotationStore::setVideoFileName(const QString &name)
{
    if (m_videoFileName == name)
        return;
    m_videoFileName = name;
    Q_EMIT videoFileNameChanged();
}

void VideoFrameAnnotationStore::setDuration(double duration)
{
    if (m_duration == duration)
        return;
    m_duration = duration;
    Q_EMIT durationChanged();
}

void VideoFrameAnnotationStore::setCurrentFrameIndex(double index)
{
    if (m_currentFrameIndex == index)
        return;
    m_currentFrameIndex = index;
    Q_EMIT currentFrameIndexChanged();
}

void VideoFrameAnnotationStore::setFrameRate(double rate)
{
    if (m_frameRate == rate)
        return;
    m_frameRate = rate;
    Q_EMIT frameRateChanged();
}

void VideoFrameAnnotationStore::setTotalFrameCount(int count)
{
    if (m_totalFrameCount == count)
        return;
    m_totalFrameCount = count;
    Q_EMIT totalFrameCountChanged();
}

void VideoFrameAnnotationStore::setPreviewSize(QSize size)
{
    if (size == m_previewSize)
        return;
    m_previewSize = size;
    if (m_player)
        m_player->setPreviewSize(size);
}

void VideoFrameAnnotationStore::setSavingFrame(bool saving)
{
    if (m_isSavingFrame == saving)
        return;
    m_isSavingFrame = saving;
    Q_EMIT isSavingFrameChanged();
}

void VideoFrameAnnotationStore::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    Q_EMIT isLoadingChanged();
}

void VideoFrameAnnotationStore::setStatusText(const QString &text)
{
    if (m_statusText == text)
        return;
    m_statusText = text;
    Q_EMIT statusTextChanged();
}
