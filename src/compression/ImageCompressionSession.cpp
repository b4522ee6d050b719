#include "compression/ImageCompressionSession.h"

#include "compression/ImageCompressionRules.h"
#include "compression/ImageCompressionService.h"
#include "model/FileSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QFuture>
#include <QSet>
#include <QtConcurrent/QtConcurrent>

#include <algorithm>
#include <cstdio>

namespace {

// Files probed per worker task: small enough to spread a large add over the workers, large
// enough that the hand-over costs nothing.
constexpr qsizetype probeChunkSize = 4;

QString listKey(const QString &path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

// What one chunk of an add found, and its files that could not be read.
struct SessionProbedChunk {
    std::vector<ImageCompressionSource> found;
    QStringList unreadable;
    QStringList tooLarge; // refused for what they would cost
};

SessionProbedChunk sessionProbeChunk(const QStringList &chunk)
{
    SessionProbedChunk probed;
    try {
        probed.found = ImageCompressionService::sources(chunk);
    } catch (...) {
        probed.found.clear();
    }
    QSet<QString> read;
    for (const ImageCompressionSource &source : probed.found)
        read.insert(listKey(source.url));
    for (const QString &path : chunk) {
        if (!read.contains(listKey(path)))
            (ImageCompressionService::isRefusedForCost(path) ? probed.tooLarge : probed.unreadable) << path;
    }
    return probed;
}

// Raises the count to at least `value`, whichever thread's report arrives first.
void sessionRaiseCount(std::atomic<int> &count, int value)
{
    int seen = count.load();
    while (seen < value && !count.compare_exchange_weak(seen, value)) {
    }
}

QString sessionProgressText(int done, int total) { return QStringLiteral("正在压缩 %1/%2…").arg(done).arg(total); }

} // namespace

ImageCompressionSession::ImageCompressionSession(std::unique_ptr<CompressionChooser> chooser, QObject *parent)
    : QObject(parent)
    , m_chooser(std::move(chooser))
{
    // One batch at a time; it compresses two files at once on threads of its own.
    m_batchPool.setMaxThreadCount(1);
    m_probePool.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 4));
}

ImageCompressionSession::~ImageCompressionSession()
{
    // A running batch ends after its current image; its publish is dropped with this object.
    m_stopping = true;
    // Chunks not yet probed are dropped, so closing during a large add does not wait for it.
    for (const std::shared_ptr<PendingAdd> &pending : m_pendingAdds)
        pending->probing.cancel();
    m_batchPool.waitForDone();
    m_probePool.waitForDone();
    // Nobody is left to see a status: the one place that can still say it is standard error.
    if (m_isCompressing && m_batchCounts) {
        const QString stopped = QStringLiteral("压缩已停止：已写入 %1/%2 张图片").arg(m_batchCounts->written.load()).arg(m_batchSize);
        std::fprintf(stderr, "%s\n", stopped.toLocal8Bit().constData());
    }
    for (const ImageCompressionSource &source : m_sources)
        ImageCompressionService::removeCropFile(source.url);
    for (const QString &path : std::as_const(m_deferredCropFiles))
        ImageCompressionService::removeCropFile(path);
}

// ---- State ------------------------------------------------------------------------------------

void ImageCompressionSession::setSelectedCompressionSourceID(std::optional<QUuid> id)
{
    if (m_selectedID == id)
        return;
    m_selectedID = id;
    Q_EMIT selectedCompressionSourceIDChanged();
}

void ImageCompressionSession::setCompressionSettings(const ImageCompressionSettings &settings)
{
    if (m_settings == settings)
        return;
    m_settings = settings;
    Q_EMIT compressionSettingsChanged();
}

void ImageCompressionSession::setSources(std::vector<ImageCompressionSource> sources)
{
    // Equality ignores thumbnails, so a changed thumbnail alone still counts as a change here.
    m_sources = std::move(sources);
    Q_EMIT compressionSourcesChanged();
    // A frame goes with its image when the image leaves the list.
    setPendingCrops(m_pendingCrops);
}

void ImageCompressionSession::setResults(std::vector<ImageCompressionResult> results, std::vector<QUuid> failedIDs)
{
    if (m_results == results && m_failedIDs == failedIDs)
        return;
    m_results = std::move(results);
    m_failedIDs = std::move(failedIDs);
    Q_EMIT compressionResultsChanged();
}

void ImageCompressionSession::setPendingCrops(PendingCompressionCrops crops)
{
    // Only images of the list hold a frame.
    std::erase_if(crops, [&](const auto &entry) {
        return std::none_of(m_sources.begin(), m_sources.end(),
                            [&](const ImageCompressionSource &source) { return source.id == entry.first; });
    });
    if (m_pendingCrops == crops)
        return;
    m_pendingCrops = std::move(crops);
    Q_EMIT pendingCropsChanged();
}

void ImageCompressionSession::setLastRun(std::optional<CompressionRunReport> report)
{
    if (m_lastRun == report)
        return;
    m_lastRun = std::move(report);
    Q_EMIT lastRunReportChanged();
}

void ImageCompressionSession::dropResultsOf(const QUuid &id)
{
    std::vector<ImageCompressionResult> results = m_results;
    std::erase_if(results, [&](const ImageCompressionResult &result) { return result.sourceID == id; });
    std::vector<QUuid> failedIDs = m_failedIDs;
    std::erase(failedIDs, id);
    setResults(std::move(results), std::move(failedIDs));
}

void ImageCompressionSession::setCompressing(bool compressing)
{
    if (m_isCompressing == compressing)
        return;
    m_isCompressing = compressing;
    Q_EMIT isCompressingImagesChanged();
}

void ImageCompressionSession::setStatus(const QString &message) { Q_EMIT statusReported(message); }

void ImageCompressionSession::setError(const QString &message) { Q_EMIT errorReported(message); }

void ImageCompressionSession::releaseCropFile(const QString &path)
{
    if (!ImageCompressionService::isCropFile(path))
        return;
    if (m_isCompressing && m_batchFiles.contains(path)) {
        if (!m_deferredCropFiles.contains(path))
            m_deferredCropFiles << path;
        return;
    }
    ImageCompressionService::removeCropFile(path);
}

// ---- Adding -----------------------------------------------------------------------------------

void ImageCompressionSession::addCompressionSources(const QStringList &paths)
{
    auto pending = std::make_shared<PendingAdd>();
    m_pendingAdds.push_back(pending);
    probeInBackground(pending, paths);
}

void ImageCompressionSession::addDroppedCompressionSources(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    auto drop = std::make_shared<DropTally>();
    drop->remaining = int(paths.size());
    for (const QString &path : paths) {
        auto pending = std::make_shared<PendingAdd>();
        pending->drop = drop;
        m_pendingAdds.push_back(pending);
        probeInBackground(pending, {path});
    }
}

// Expands the folders on one worker, then probes the files in chunks on several. The chunks are
// consecutive runs of the expanded list, so joining them in order keeps its natural order.
void ImageCompressionSession::probeInBackground(const std::shared_ptr<PendingAdd> &pending, const QStringList &paths)
{
    QtConcurrent::run(&m_probePool, [paths] {
        return ImageCompressionService::expandedImageURLs(paths);
    }).then(this, [this, pending](const QStringList &files) {
        QList<QStringList> chunks;
        for (qsizetype start = 0; start < files.size(); start += probeChunkSize)
            chunks.append(files.mid(start, probeChunkSize));
        if (chunks.isEmpty()) {
            pending->done = true;
            applyFinishedAdds();
            return;
        }
        QFuture<SessionProbedChunk> probing = QtConcurrent::mapped(&m_probePool, chunks, &sessionProbeChunk);
        pending->probing = QFuture<void>(probing);
        probing.then(this, [this, pending](QFuture<SessionProbedChunk> probed) {
            for (const SessionProbedChunk &part : probed.results()) {
                pending->found.insert(pending->found.end(), part.found.begin(), part.found.end());
                pending->unreadable += part.unreadable;
                pending->tooLarge += part.tooLarge;
            }
            pending->done = true;
            applyFinishedAdds();
        });
    });
}

void ImageCompressionSession::applyFinishedAdds()
{
    bool applied = false;
    while (!m_pendingAdds.empty() && m_pendingAdds.front()->done) {
        const std::shared_ptr<PendingAdd> pending = m_pendingAdds.front();
        m_pendingAdds.pop_front();
        if (const std::shared_ptr<DropTally> &drop = pending->drop) {
            drop->found += int(pending->found.size());
            drop->added += appendNewSources(std::move(pending->found));
            drop->unreadable += pending->unreadable;
            drop->tooLarge += pending->tooLarge;
            if (--drop->remaining == 0)
                reportAdd(drop->found, drop->added, drop->unreadable, drop->tooLarge);
        } else {
            applyAdd(std::move(pending->found), pending->unreadable, pending->tooLarge);
        }
        applied = true;
    }
    if (applied && m_pendingAdds.empty())
        Q_EMIT sourcesAdded();
}

void ImageCompressionSession::applyAdd(std::vector<ImageCompressionSource> found, const QStringList &unreadable,
                                       const QStringList &tooLarge)
{
    const int foundCount = int(found.size());
    reportAdd(foundCount, appendNewSources(std::move(found)), unreadable, tooLarge);
}

int ImageCompressionSession::appendNewSources(std::vector<ImageCompressionSource> found)
{
    QSet<QString> listed;
    for (const ImageCompressionSource &source : m_sources)
        listed.insert(listKey(source.url));
    std::vector<ImageCompressionSource> added;
    for (ImageCompressionSource &source : found) {
        if (!listed.contains(listKey(source.url)))
            added.push_back(std::move(source));
    }
    if (added.empty())
        return 0;
    const int count = int(added.size());
    const QUuid firstNew = added.front().id;
    std::vector<ImageCompressionSource> sources = m_sources;
    sources.insert(sources.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
    setSources(std::move(sources));
    if (!m_selectedID)
        setSelectedCompressionSourceID(firstNew);
    setResults({});
    setLastRun(std::nullopt);
    return count;
}

void ImageCompressionSession::reportAdd(int foundCount, int addedCount, const QStringList &unreadable,
                                        const QStringList &tooLarge)
{
    if (foundCount == 0) {
        setError(QStringLiteral("没有找到可压缩的图片"));
        return;
    }
    // Files that looked like images but could not be read are named, not passed over in silence.
    const QString note = FileSupport::tooLargeFilesNote(tooLarge) + FileSupport::unreadableFilesNote(unreadable);
    if (addedCount == 0) {
        if (!m_sources.empty())
            setSelectedCompressionSourceID(m_sources.front().id);
        setStatus(QStringLiteral("图片已在压缩列表中") + note);
        return;
    }
    setStatus(QStringLiteral("已添加 %1 张图片到压缩").arg(addedCount) + note);
}

void ImageCompressionSession::presentCompressionImportPanel()
{
    const std::optional<QStringList> paths = m_chooser->chooseSources();
    if (!paths)
        return;
    Q_EMIT sourcesChosen();
    addCompressionSources(*paths);
}

// ---- Clearing, removing, cropping -------------------------------------------------------------

void ImageCompressionSession::clearCompressionSources()
{
    const std::vector<ImageCompressionSource> leaving = m_sources;
    setSources({});
    setSelectedCompressionSourceID(std::nullopt);
    setResults({});
    setLastRun(std::nullopt);
    setStatus(QStringLiteral("已清空压缩列表"));
    for (const ImageCompressionSource &source : leaving)
        releaseCropFile(source.url);
}

void ImageCompressionSession::removeCompressionSource(QUuid id)
{
    std::vector<ImageCompressionSource> sources = m_sources;
    QStringList leaving;
    for (const ImageCompressionSource &source : sources) {
        if (source.id == id)
            leaving << source.url;
    }
    std::erase_if(sources, [&](const ImageCompressionSource &source) { return source.id == id; });
    if (!leaving.isEmpty())
        setSources(std::move(sources));
    dropResultsOf(id);
    if (m_selectedID == id)
        setSelectedCompressionSourceID(m_sources.empty() ? std::nullopt : std::optional<QUuid>(m_sources.front().id));
    setStatus(m_sources.empty() ? QStringLiteral("已清空压缩列表") : QStringLiteral("已移除图片"));
    for (const QString &path : std::as_const(leaving))
        releaseCropFile(path);
}

bool ImageCompressionSession::cropCompressionSource(QUuid id, QRectF cropUnitRect, CropAspectRatio ratio)
{
    const auto position = std::find_if(m_sources.begin(), m_sources.end(),
                                       [&](const ImageCompressionSource &source) { return source.id == id; });
    if (position == m_sources.end())
        return false;
    const qsizetype index = position - m_sources.begin();
    const ImageCompressionSource before = *position;
    ImageCompressionSource replacement;
    try {
        replacement = ImageCompressionService::croppedSource(before, cropUnitRect, ratio);
    } catch (const ImageCompressionServiceError &error) {
        setError(error.description());
        return false;
    } catch (...) {
        setError(ImageCompressionServiceError::cropFailed(before.url).description());
        return false;
    }
    std::vector<ImageCompressionSource> sources = m_sources;
    sources[size_t(index)] = replacement;
    setSources(std::move(sources));
    setSelectedCompressionSourceID(replacement.id);
    dropResultsOf(replacement.id);
    setStatus(QStringLiteral("已裁剪：") + replacement.fileName);
    releaseCropFile(before.url);
    return true;
}

// ---- Batch ------------------------------------------------------------------------------------

void ImageCompressionSession::compressImages()
{
    // A drawn crop is never passed over: the run waits for the user's word on it (the panel says so).
    if (m_sources.empty() || m_isCompressing || !m_pendingCrops.empty())
        return;
    const std::optional<QString> folder = m_chooser->chooseDestinationFolder();
    if (!folder || folder->isEmpty())
        return;
    setCompressing(true);
    setResults({});
    setLastRun(std::nullopt);

    const std::vector<ImageCompressionSource> sources = m_sources;
    const ImageCompressionSettings settings = m_settings;
    const QString destination = *folder;
    m_batchFiles.clear();
    for (const ImageCompressionSource &source : sources)
        m_batchFiles << source.url;

    m_batchCounts = std::make_shared<BatchCounts>();
    m_batchSize = int(sources.size());
    m_batchShownDone = 0;
    setStatus(sessionProgressText(0, m_batchSize));

    std::atomic<bool> *stopping = &m_stopping;
    const ImageCompressionService::BatchProgress progress = [this, counts = m_batchCounts](int done, int written) {
        // Reports from the two threads may cross: the counts only ever go up.
        sessionRaiseCount(counts->done, done);
        sessionRaiseCount(counts->written, written);
        QMetaObject::invokeMethod(this, [this] { showBatchProgress(); }, Qt::QueuedConnection);
    };
    QtConcurrent::run(&m_batchPool, [sources, settings, destination, stopping, progress] {
        try {
            return ImageCompressionService::compressBatch(sources, settings, destination, stopping, progress);
        } catch (...) {
            ImageCompressionService::BatchOutcome nothing;
            nothing.failed = int(sources.size());
            for (const ImageCompressionSource &source : sources)
                nothing.failedSourceIDs.push_back(source.id);
            return nothing;
        }
    }).then(this, [this](const ImageCompressionService::BatchOutcome &outcome) {
        finishImageCompression(outcome.results, outcome.failedSourceIDs, outcome.firstFailure,
                               outcome.firstFailureReason, outcome.firstFailureShare);
    });
}

void ImageCompressionSession::showBatchProgress()
{
    if (!m_isCompressing || !m_batchCounts)
        return;
    const int done = m_batchCounts->done;
    if (done > m_batchShownDone) {
        m_batchShownDone = done;
        setStatus(sessionProgressText(done, m_batchSize));
    }
}

void ImageCompressionSession::finishImageCompression(const std::vector<ImageCompressionResult> &results,
                                                     const std::vector<QUuid> &failedSourceIDs,
                                                     const QString &firstFailure,
                                                     const QString &firstFailureReason, int firstFailureShare)
{
    m_batchCounts.reset();
    setResults(results, failedSourceIDs);
    const int failedCount = int(failedSourceIDs.size());
    // The banner tells this run until the next one: a crop or a removal afterwards leaves it.
    if (!results.empty())
        setLastRun(CompressionRunReport { results, failedCount, firstFailureReason, firstFailureShare });
    // The outcome's messages come before the busy flag clears, so a close waiting for the run
    // finds them already reported. Failures say why: the first reason and how many share it.
    if (!results.empty()) {
        const QString numbered = ImageCompressionRules::numberedNamesNote(results);
        if (failedCount == 0)
            setStatus(QStringLiteral("已压缩 %1 张图片").arg(results.size()) + numbered);
        else
            setStatus(QStringLiteral("已压缩 %1 张").arg(results.size())
                      + ImageCompressionRules::failureNote(failedCount, firstFailureReason, firstFailureShare)
                      + numbered);
    } else {
        // The count replaces the last run's, and the alert says why ("无法写入 …：权限不足").
        setStatus(QStringLiteral("已压缩 0 张")
                  + ImageCompressionRules::failureNote(failedCount, firstFailureReason, firstFailureShare));
        setError(firstFailure.isEmpty() ? QStringLiteral("压缩失败") : QStringLiteral("压缩失败：") + firstFailure);
    }
    setCompressing(false);
    m_batchFiles.clear();
    const QStringList deferred = std::exchange(m_deferredCropFiles, {});
    for (const QString &path : deferred) {
        const bool listedAgain = std::any_of(m_sources.begin(), m_sources.end(),
                                             [&](const ImageCompressionSource &source) { return source.url == path; });
        if (!listedAgain)
            ImageCompressionService::removeCropFile(path);
    }
}
