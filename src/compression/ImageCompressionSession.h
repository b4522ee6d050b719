#pragma once

#include "compression/CompressionChooser.h"
#include "compression/ImageCompressionModel.h"
#include "model/MarkupViewModelTypes.h"

#include <QFuture>
#include <QObject>
#include <QRectF>
#include <QStringList>
#include <QThreadPool>
#include <QUuid>

#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

// The window's image compression state and the work on it: the compression list, its selection,
// the last batch's results, the settings and the busy flag (none of it is saved), and the actions
// behind the workspace's buttons. Messages for the user go out as statusReported/errorReported.
//
// Adding probes the files on worker threads; the results are applied on the owner's thread strictly
// in the order of the calls, and the status names the files that could not be read. A batch runs on
// its own worker, two images at a time with their outputs named in list order, on a copy of the
// list, the settings and the folder; the status counts its files ("正在压缩 3/24…") and it
// publishes once at the end. Every output appears whole or not at all. Destroying the session
// stops a running batch after the images under way and says on standard error how many were
// written; a window that closes waits for the run instead (isCompressingImages).
class ImageCompressionSession final : public QObject {
    Q_OBJECT

public:
    explicit ImageCompressionSession(std::unique_ptr<CompressionChooser> chooser, QObject *parent = nullptr);
    ~ImageCompressionSession() override;

    // ---- State ---------------------------------------------------------------------------------
    const std::vector<ImageCompressionSource> &compressionSources() const { return m_sources; }
    const std::optional<QUuid> &selectedCompressionSourceID() const { return m_selectedID; }
    void setSelectedCompressionSourceID(std::optional<QUuid> id);
    const std::vector<ImageCompressionResult> &compressionResults() const { return m_results; }
    // The images of the last batch that could not be written (ids of the list); they change with
    // the results, and a removed or cropped image takes its failure along.
    const std::vector<QUuid> &compressionFailedSourceIDs() const { return m_failedIDs; }
    // The last finished run that wrote files, as its banner tells it (see CompressionRunReport).
    const std::optional<CompressionRunReport> &lastRunReport() const { return m_lastRun; }
    const ImageCompressionSettings &compressionSettings() const { return m_settings; }
    // The crop frames drawn but not yet confirmed or cancelled, by image; the workspace keeps them
    // here so that they outlive a change of image or of workspace.
    const PendingCompressionCrops &pendingCrops() const { return m_pendingCrops; }
    void setPendingCrops(PendingCompressionCrops crops);
    void setCompressionSettings(const ImageCompressionSettings &settings);
    bool isCompressingImages() const { return m_isCompressing; }
    // Whether added paths are still being probed.
    bool isAddingSources() const { return !m_pendingAdds.empty(); }

    // ---- Actions -------------------------------------------------------------------------------
    void addCompressionSources(const QStringList &paths);
    // The files and folders of one drop: each added in the drop's order, one status for the drop.
    void addDroppedCompressionSources(const QStringList &paths);
    // Asks for files and folders; when some are chosen, announces sourcesChosen, then adds them.
    void presentCompressionImportPanel();
    void clearCompressionSources();
    // The id is taken by value: callers often pass one that lives in the list itself.
    void removeCompressionSource(QUuid id);
    bool cropCompressionSource(QUuid id, QRectF cropUnitRect, CropAspectRatio ratio = CropAspectRatio::Free);
    void compressImages();
    // `firstFailure` says why the first failing image failed, shown when nothing was written;
    // `firstFailureReason` is that reason as `firstFailureShare` of the failed images share it.
    void finishImageCompression(const std::vector<ImageCompressionResult> &results,
                                const std::vector<QUuid> &failedSourceIDs, const QString &firstFailure = {},
                                const QString &firstFailureReason = {}, int firstFailureShare = 0);

Q_SIGNALS:
    void compressionSourcesChanged();
    void selectedCompressionSourceIDChanged();
    void compressionResultsChanged();
    void lastRunReportChanged();
    void pendingCropsChanged();
    void compressionSettingsChanged();
    void isCompressingImagesChanged();
    // Every pending add has been applied.
    void sourcesAdded();
    // The add panel was answered with paths, which are added right after.
    void sourcesChosen();
    void statusReported(const QString &message);
    void errorReported(const QString &message);

private:
    // What the adds of one drop found and added so far, and how many of them are still probing.
    struct DropTally {
        int remaining = 0;
        int found = 0;
        int added = 0;
        QStringList unreadable;
        QStringList tooLarge;
    };
    struct PendingAdd {
        bool done = false;
        std::vector<ImageCompressionSource> found;
        QStringList unreadable; // image files that could not be read, in list order
        QStringList tooLarge;   // image files refused for what they would cost
        QFuture<void> probing;
        std::shared_ptr<DropTally> drop; // set for the adds of a drop
    };

    void probeInBackground(const std::shared_ptr<PendingAdd> &pending, const QStringList &paths);
    void applyFinishedAdds();
    void applyAdd(std::vector<ImageCompressionSource> found, const QStringList &unreadable, const QStringList &tooLarge);
    // Puts the sources not yet listed at the end of the list; returns how many that were.
    int appendNewSources(std::vector<ImageCompressionSource> found);
    void reportAdd(int foundCount, int addedCount, const QStringList &unreadable, const QStringList &tooLarge);
    // The running batch's count, from its threads' reports (which may arrive out of order).
    void showBatchProgress();
    void setSources(std::vector<ImageCompressionSource> sources);
    void setResults(std::vector<ImageCompressionResult> results, std::vector<QUuid> failedIDs = {});
    void setLastRun(std::optional<CompressionRunReport> report);
    // The results and failures without those of the image with this id.
    void dropResultsOf(const QUuid &id);
    void setCompressing(bool compressing);
    // The messages for the user, sent out as statusReported and errorReported.
    void setStatus(const QString &message);
    void setError(const QString &message);
    // Deletes the crop file of a source that left the list (after the batch using it, if any).
    void releaseCropFile(const QString &path);

    std::unique_ptr<CompressionChooser> m_chooser;
    std::vector<ImageCompressionSource> m_sources;
    std::optional<QUuid> m_selectedID;
    std::vector<ImageCompressionResult> m_results;
    std::vector<QUuid> m_failedIDs;
    std::optional<CompressionRunReport> m_lastRun;
    PendingCompressionCrops m_pendingCrops;
    ImageCompressionSettings m_settings;
    bool m_isCompressing = false;
    std::deque<std::shared_ptr<PendingAdd>> m_pendingAdds;
    QStringList m_batchFiles; // the files the running batch reads
    QStringList m_deferredCropFiles; // crop files to delete once the batch has published
    std::atomic<bool> m_stopping { false };
    // Files of the running batch done and written, counted by its threads.
    struct BatchCounts {
        std::atomic<int> done { 0 };
        std::atomic<int> written { 0 };
    };
    std::shared_ptr<BatchCounts> m_batchCounts;
    int m_batchSize = 0;
    int m_batchShownDone = 0;
    QThreadPool m_probePool;
    QThreadPool m_batchPool;
};
