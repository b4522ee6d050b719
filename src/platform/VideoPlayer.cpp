#include "platform/VideoPlayer.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double unknownFillTime = std::numeric_limits<double>::quiet_NaN();
constexpr int presentIntervalMs = 4;
} // namespace

VideoPlayer::VideoPlayer(std::shared_ptr<VideoFrameSource> source, double duration,
                         std::shared_ptr<PlaybackClock> clock, QObject *parent)
    : QObject(parent), m_source(std::move(source)), m_duration(std::isfinite(duration) && duration > 0 ? duration : 0),
      m_clock(clock ? std::move(clock) : std::make_shared<SteadyPlaybackClock>())
{
    m_fillFrom = unknownFillTime;
    m_presentTimer.setTimerType(Qt::PreciseTimer);
    m_presentTimer.setInterval(presentIntervalMs);
    connect(&m_presentTimer, &QTimer::timeout, this, &VideoPlayer::presentDueFrames);
    m_thread = std::thread([this] { decodeLoop(); });
}

VideoPlayer::~VideoPlayer()
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    // Whoever still waits for a seek hears that it did not finish, later, through the event loop.
    if (auto *app = QCoreApplication::instance()) {
        for (auto &entry : m_completions) {
            if (entry.second)
                QMetaObject::invokeMethod(app, [completion = std::move(entry.second)] { completion(false); },
                                          Qt::QueuedConnection);
        }
    }
}

double VideoPlayer::currentTime() const
{
    if (!m_playing)
        return m_currentTime;
    return std::clamp(m_playStartMedia + (m_clock->now() - m_playStartClock), 0.0, m_duration);
}

void VideoPlayer::play()
{
    if (m_playing)
        return;
    m_playing = true;
    rebaseObservers(m_currentTime);
    m_playStartMedia = m_currentTime;
    m_playStartClock = m_clock->now();
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_filling = true;
    }
    m_wake.notify_all();
    m_presentTimer.start();
}

void VideoPlayer::pause()
{
    if (!m_playing)
        return;
    m_currentTime = currentTime();
    m_playing = false;
    m_presentTimer.stop();
    std::lock_guard<std::mutex> guard(m_mutex);
    m_filling = false;
}

void VideoPlayer::seek(double seconds, SeekCompletion completion, VideoFrameSource::Match match)
{
    const double time = std::isfinite(seconds) ? std::clamp(seconds, 0.0, m_duration) : 0.0;
    const quint64 id = ++m_newestSeekId;
    if (completion)
        m_completions[id] = std::move(completion);
    m_currentTime = time;
    rebaseObservers(time);
    if (m_playing) {
        m_playStartMedia = time;
        m_playStartClock = m_clock->now();
    }
    std::optional<quint64> replaced;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_pendingSeek)
            replaced = m_pendingSeek->id;
        m_pendingSeek = PendingSeek{time, id, match};
        ++m_epoch;
        m_queue.clear();
        m_endOfStream = false;
        m_fillFrom = unknownFillTime;
        m_fillTarget = time;
    }
    m_wake.notify_all();
    if (replaced)
        postCompletion(*replaced, false, std::nullopt);
}

void VideoPlayer::setPreviewSize(QSize size)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_previewSize = size;
}

QImage VideoPlayer::previewOf(const QImage &frame, QSize size)
{
    if (frame.isNull() || size.isEmpty())
        return {};
    const QSize fitted = frame.size().scaled(size, Qt::KeepAspectRatio);
    if (fitted.isEmpty() || fitted.width() >= frame.width() || fitted.height() >= frame.height())
        return {};
    // Halving by the mean of each 2 × 2 block samples the whole area at a fraction of the cost of a
    // general smooth scale (1080p shown at 960 × 540 needs nothing else); only the rest is scaled.
    QImage image = frame;
    while (image.width() >= 2 * fitted.width() && image.height() >= 2 * fitted.height())
        image = halved(image);
    if (image.size() != fitted)
        image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

QImage VideoPlayer::halved(const QImage &source)
{
    QImage image = source;
    const QImage::Format format = image.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 && format != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = image.width() / 2;
    const int height = image.height() / 2;
    QImage result(std::max(width, 1), std::max(height, 1), image.format());
    if (result.isNull() || width == 0 || height == 0)
        return image.scaled(result.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    quint32 alpha = 0xff;
    for (int y = 0; y < height; ++y) {
        const QRgb *top = reinterpret_cast<const QRgb *>(image.constScanLine(2 * y));
        const QRgb *bottom = reinterpret_cast<const QRgb *>(image.constScanLine(2 * y + 1));
        QRgb *out = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb a = top[2 * x], b = top[2 * x + 1], c = bottom[2 * x], d = bottom[2 * x + 1];
            // Red and blue, then alpha and green, two channels at a time with room for the carries.
            const quint64 rb = (quint64(a & 0x00ff00ff) + (b & 0x00ff00ff) + (c & 0x00ff00ff) + (d & 0x00ff00ff)
                                + 0x00020002) >> 2;
            const quint64 ag = (quint64((a >> 8) & 0x00ff00ff) + ((b >> 8) & 0x00ff00ff) + ((c >> 8) & 0x00ff00ff)
                                + ((d >> 8) & 0x00ff00ff) + 0x00020002) >> 2;
            const QRgb mean = QRgb(rb & 0x00ff00ff) | QRgb((ag & 0x00ff00ff) << 8);
            alpha &= mean >> 24;
            out[x] = mean;
        }
    }
    // Opaque frames (all video without an alpha channel) are drawn without blending.
    if (result.format() == QImage::Format_ARGB32 && alpha == 0xff)
        result.reinterpretAsFormat(QImage::Format_RGB32);
    return result;
}

void VideoPlayer::cancelPendingSeeks()
{
    m_cancelledThrough = m_newestSeekId.load();
    std::optional<quint64> cancelled;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_pendingSeek)
            cancelled = m_pendingSeek->id;
        m_pendingSeek.reset();
    }
    if (cancelled)
        postCompletion(*cancelled, false, std::nullopt);
}

int VideoPlayer::addPeriodicTimeObserver(double interval, TimeObserver observer)
{
    const double step = std::isfinite(interval) && interval > 0 ? interval : 1.0;
    const int token = m_nextObserverToken++;
    m_observers.push_back(Observer{token, step, (std::floor(currentTime() / step) + 1) * step, std::move(observer)});
    return token;
}

void VideoPlayer::rebaseObservers(double time)
{
    // After a jump (back to the start, or to a frame stepped or scrubbed to) each observer is next
    // due one interval on from the new position, not where playback had got to before.
    for (Observer &observer : m_observers)
        observer.nextTime = (std::floor(time / observer.interval) + 1) * observer.interval;
}

void VideoPlayer::removeTimeObserver(int token)
{
    std::erase_if(m_observers, [token](const Observer &observer) { return observer.token == token; });
}

bool VideoPlayer::waitUntilIdle(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !m_busy && !hasDecodeWork(); });
}

void VideoPlayer::presentDueFrames()
{
    if (!m_playing)
        return;
    double now = currentTime();
    const bool ended = now >= m_duration;
    std::optional<VideoFrameSource::Frame> due;
    int shown = 0;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        const quint64 epoch = m_epoch;
        while (!m_queue.empty()) {
            QueuedFrame &front = m_queue.front();
            if (front.epoch == epoch && front.frame.time > now + VideoFrameSource::timeSlack)
                break;
            if (front.epoch == epoch) {
                due = std::move(front.frame);
                ++shown;
            }
            m_queue.pop_front();
        }
    }
    m_wake.notify_all();
    if (shown > 1)
        m_droppedFrames += shown - 1;
    if (due)
        showFrame(*due);
    if (ended) {
        now = m_duration;
        m_currentTime = now;
        m_playing = false;
        m_presentTimer.stop();
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_filling = false;
        }
        notifyObservers(now, true);
        Q_EMIT playbackEnded();
        return;
    }
    notifyObservers(now, false);
}

void VideoPlayer::notifyObservers(double time, bool always)
{
    // Observers may add or remove observers, or pause: work on a copy and skip removed ones.
    const std::vector<Observer> observers = m_observers;
    for (const Observer &observer : observers) {
        auto it = std::find_if(m_observers.begin(), m_observers.end(),
                               [&](const Observer &o) { return o.token == observer.token; });
        if (it == m_observers.end() || (!always && time + 1e-9 < it->nextTime))
            continue;
        it->nextTime = (std::floor(time / it->interval) + 1) * it->interval;
        if (observer.block)
            observer.block(time);
    }
}

void VideoPlayer::showFrame(const VideoFrameSource::Frame &frame)
{
    m_currentFrame = frame.image;
    m_currentPreview = frame.preview;
    m_currentFrameTime = frame.time;
    Q_EMIT currentFrameChanged(m_currentFrame);
}

bool VideoPlayer::seekIsStale(quint64 id) const
{
    return m_stop || id != m_newestSeekId || id <= m_cancelledThrough;
}

bool VideoPlayer::hasDecodeWork() const
{
    return m_pendingSeek || (m_filling && !m_endOfStream && m_queue.size() < std::size_t(queueCapacity));
}

void VideoPlayer::postCompletion(quint64 id, bool finished, std::optional<VideoFrameSource::Frame> frame)
{
    QMetaObject::invokeMethod(
        this, [this, id, finished, frame = std::move(frame)] { finishSeek(id, finished, frame); },
        Qt::QueuedConnection);
}

void VideoPlayer::finishSeek(quint64 id, bool finished, const std::optional<VideoFrameSource::Frame> &frame)
{
    if (frame && id == m_newestSeekId) {
        showFrame(*frame);
        // Paused, the position is the picture's own time (a seek asked for the nearest picture may
        // have found it a little before or after), so playback goes on from that picture.
        if (!m_playing)
            m_currentTime = frame->time;
    }
    auto it = m_completions.find(id);
    if (it == m_completions.end())
        return;
    SeekCompletion completion = std::move(it->second);
    m_completions.erase(it);
    if (completion)
        completion(finished);
}

void VideoPlayer::decodeLoop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_busy = false;
        m_idle.notify_all();
        m_wake.wait(lock, [this] { return m_stop || hasDecodeWork(); });
        if (m_stop)
            return;
        m_busy = true;

        if (m_pendingSeek) {
            const PendingSeek seek = *m_pendingSeek;
            m_pendingSeek.reset();
            const quint64 epoch = m_epoch;
            const QSize previewSize = m_previewSize;
            lock.unlock();
            VideoFrameSource::Frame frame;
            VideoFrameSource::Status status;
            {
                auto guard = m_source->lock();
                status = m_source->frameAt(seek.time, seek.match, [this, id = seek.id] { return seekIsStale(id); },
                                           &frame);
            }
            if (status == VideoFrameSource::Status::ok && !seekIsStale(seek.id))
                frame.preview = previewOf(frame.image, previewSize);
            lock.lock();
            // A seek that found no picture (a damaged video) still arrived at its time.
            const bool finished = status != VideoFrameSource::Status::aborted && !seekIsStale(seek.id);
            const bool delivered = finished && status == VideoFrameSource::Status::ok;
            if (delivered && epoch == m_epoch)
                m_fillFrom = frame.time;
            postCompletion(seek.id, finished, delivered ? std::optional(std::move(frame)) : std::nullopt);
            continue;
        }

        const double from = m_fillFrom;
        const double target = m_fillTarget;
        const quint64 epoch = m_epoch;
        const QSize previewSize = m_previewSize;
        lock.unlock();
        VideoFrameSource::Frame frame;
        VideoFrameSource::Status status;
        {
            auto guard = m_source->lock();
            auto abort = [this, epoch] { return m_stop || m_epoch != epoch; };
            status = std::isnan(from)
                ? m_source->frameAt(target, VideoFrameSource::Match::containing, abort, &frame)
                : m_source->frameAfter(from, abort, &frame);
        }
        // Scaled outside the source's lock, so the frame generator is not kept waiting.
        if (status == VideoFrameSource::Status::ok && m_epoch == epoch)
            frame.preview = previewOf(frame.image, previewSize);
        lock.lock();
        if (epoch != m_epoch)
            continue;
        if (status == VideoFrameSource::Status::ok) {
            m_fillFrom = frame.time;
            m_queue.push_back(QueuedFrame{epoch, std::move(frame)});
        } else if (status == VideoFrameSource::Status::failed) {
            m_endOfStream = true;
        }
    }
}
