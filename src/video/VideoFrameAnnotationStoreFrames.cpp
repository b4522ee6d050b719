// Frame indices and times, timecodes, the frame counter, snapshot names and frame extraction.
#include "video/VideoFrameAnnotationStore.h"

#include <QPointer>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>

double VideoFrameAnnotationStore::seconds(int frameIndex) const
{
    double value;
    if (m_frameRate >= 1) {
        value = frameIndex / m_frameRate;
        if (!(value >= 0))
            value = 0;
    } else {
        value = std::max(double(frameIndex), 0.0);
    }
    return std::min(value, m_duration);
}

int VideoFrameAnnotationStore::frameIndex(double seconds, double frameRate)
{
    if (!(std::isfinite(seconds) && seconds > 0))
        return 0;
    const double rate = std::isnan(frameRate) ? 1.0 : std::max(frameRate, 1.0);
    // A picture half a frame from two indices belongs to the later one (halves away from zero), also
    // when its time lands a hair below the half; requestTime asks a hair early to agree with this.
    const double index = std::round(seconds * rate + frameTieMargin);
    if (!(index > 0))
        return 0;
    return index >= double(INT_MAX) ? INT_MAX : int(index);
}

QString VideoFrameAnnotationStore::timecode(int frameIndex, double frameRate)
{
    // Frames are counted without drop-frame correction: 29.97 counts as 30.
    const double rounded = std::round(frameRate);
    const long long fps = rounded >= 1 ? (rounded < 1e9 ? (long long)rounded : 1000000000LL) : 1;
    const long long index = frameIndex;
    const long long wholeSeconds = index / fps;
    char text[96];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld:%02lld", wholeSeconds / 3600, (wholeSeconds % 3600) / 60,
                  wholeSeconds % 60, index - wholeSeconds * fps);
    return QString::fromLatin1(text);
}

QString VideoFrameAnnotationStore::currentTimecode() const
{
    return timecode(wholeCurrentIndex(), m_frameRate);
}

QString VideoFrameAnnotationStore::frameCounterText() const
{
    return QString::number(qint64(wholeCurrentIndex()) + 1) + QLatin1Char('/')
        + QString::number(std::max(m_totalFrameCount, 1)) + QStringLiteral(" 帧 · ") + currentTimecode();
}

QString VideoFrameAnnotationStore::snapshotFileName(const QString &timecode, int frameIndex) const
{
    QString base = m_videoFileName;
    const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        base.truncate(dot);
    base = base.trimmed();
    if (base.isEmpty())
        base = QStringLiteral("视频取帧");
    QString code = timecode;
    code.replace(QLatin1Char(':'), QLatin1Char('-'));
    return base + QLatin1Char('-') + code + QLatin1Char('-') + QString::number(frameIndex) + QStringLiteral(".png");
}

QImage VideoFrameAnnotationStore::copyFrameImage(VideoFrameGenerator &generator, double seconds, double *actualTime)
{
    QImage image = generator.copyImage(seconds, actualTime);
    if (!image.isNull())
        return image;
    // No frame within half a frame (a video whose first picture comes late, or a time past the end):
    // take the nearest frame at any distance.
    const double before = generator.requestedTimeToleranceBefore();
    const double after = generator.requestedTimeToleranceAfter();
    const double unlimited = std::numeric_limits<double>::infinity();
    generator.setRequestedTimeToleranceBefore(unlimited);
    generator.setRequestedTimeToleranceAfter(unlimited);
    if (actualTime)
        *actualTime = 0;
    image = generator.copyImage(seconds, actualTime);
    generator.setRequestedTimeToleranceBefore(before);
    generator.setRequestedTimeToleranceAfter(after);
    return image;
}

void VideoFrameAnnotationStore::snapshot(int frameIndex, SnapshotHandler done)
{
    if (!m_generator) {
        setStatusText(VideoFrameAnnotationText::importVideoFirst());
        if (done)
            done(std::nullopt);
        return;
    }
    const int clamped = clampedIndex(frameIndex);
    snapshotAt(requestTime(clamped), seconds(clamped), std::move(done));
}

double VideoFrameAnnotationStore::requestTime(int clampedIndex) const
{
    // The player and the generator take the picture nearest to the time asked for. Asked exactly at
    // the index's time, two pictures half a frame either side are equally near and the arithmetic
    // picks one at random, so the scrubber's preview and the exact seek of one position could show
    // neighbouring pictures under different numbers. Asked a hair early, the nearest picture is
    // always the one whose own time gives back this index.
    const double rate = std::isnan(m_frameRate) ? 1.0 : std::max(m_frameRate, 1.0);
    return mediaTime(std::max(seconds(clampedIndex) - frameTieMargin / rate, 0.0));
}

void VideoFrameAnnotationStore::snapshotAt(double time, double requested, SnapshotHandler done)
{
    const quint64 generation = m_loadGeneration;
    m_extractionPool.start([this, generator = m_generator, time, requested, generation, done = std::move(done)] {
        double actualTime = 0;
        const QImage image = copyFrameImage(*generator, time, &actualTime);
        // The store's destructor waits for this pool, so `this` is alive here; the event loop drops
        // the result if the store is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, generation, requested, actualTime, image, done] {
                finishSnapshot(generation, requested, actualTime, image, done);
            },
            Qt::QueuedConnection);
    });
}

void VideoFrameAnnotationStore::finishSnapshot(quint64 generation, double requestedSeconds, double actualTime,
                                               const QImage &image, const SnapshotHandler &done)
{
    if (generation != m_loadGeneration) {
        if (done)
            done(std::nullopt);
        return;
    }
    if (image.isNull()) {
        // The index stays where it was; the library's own reason is not shown.
        setStatusText(VideoFrameAnnotationText::frameUnreadable());
        if (done)
            done(std::nullopt);
        return;
    }
    const double delivered = std::isfinite(actualTime) ? actualTime : requestedSeconds;
    const int index = clampedIndex(frameIndex(delivered, m_frameRate));
    setCurrentFrameIndex(index);
    const QString code = timecode(index, m_frameRate);
    setStatusText(QStringLiteral("当前帧：") + code);
    VideoFrameSnapshot result{image, snapshotFileName(code, index), seconds(index), code, index};
    if (done)
        done(std::move(result));
}

void VideoFrameAnnotationStore::currentFrameSnapshot(SnapshotHandler done)
{
    // What is saved is the picture on screen, also where unevenly spaced frames share an index.
    const double shown = m_player ? m_player->currentFrameTime() : std::numeric_limits<double>::quiet_NaN();
    if (m_generator && std::isfinite(shown))
        return snapshotAt(shown, shown, std::move(done));
    snapshot(wholeCurrentIndex(), std::move(done));
}

std::optional<VideoFrameSnapshot> VideoFrameAnnotationStore::shownFrameSnapshot()
{
    if (!m_player || !m_asset)
        return std::nullopt;
    const double time = m_player->currentFrameTime();
    const QImage image = m_player->currentFrame();
    if (!std::isfinite(time) || image.isNull())
        return std::nullopt;
    const int index = clampedIndex(frameIndex(time, m_frameRate));
    setCurrentFrameIndex(index);
    const QString code = timecode(index, m_frameRate);
    setStatusText(QStringLiteral("当前帧：") + code);
    return VideoFrameSnapshot{image, snapshotFileName(code, index), seconds(index), code, index};
}
