#pragma once

#include "compression/CompressionImageIO.h"
#include "compression/ImageCompressionModel.h"
#include "model/MarkupViewModelTypes.h"
#include "platform/GifCodec.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

// Probing, compressing and cropping of the images in the compression list. Every function is
// synchronous; failures throw ImageCompressionServiceError (whose what() is the UTF-8 of its
// Chinese description). Paths are absolute local file paths.
namespace ImageCompressionService {

using OutputType = CompressionImageIO::OutputType;

// ---- Source discovery and probing ---------------------------------------------------------

// Expands files and folders into image files and probes each; unreadable files are left out.
std::vector<ImageCompressionSource> sources(const QStringList &paths);
// Probes one file: size, upright pixel size, frame count, GIF-ness and a thumbnail; nothing when
// the file cannot be read as an image.
std::optional<ImageCompressionSource> source(const QString &path);
// Whether a file that source() leaves out was refused for what it would cost rather than for being
// unreadable: a picture over the limits (ImageDecoding::exceedsLimits), or a GIF whose decoding and
// writing at the smallest size offered is more work than the GIF limits allow.
bool isRefusedForCost(const QString &path);
// The image files the inputs stand for, without duplicates, in natural file-name order.
QStringList expandedImageURLs(const QStringList &paths);
// A file: itself when it is an image; a folder: its image files at any depth, hidden ones left out.
QStringList imageURLs(const QString &path);
// The first path of every cleaned absolute path, in the given order.
QStringList deduplicatedURLs(const QStringList &paths);
// Natural file-name order: letter case ignored, runs of digits compared by value.
bool naturalFileNameLess(const QString &a, const QString &b);
// A copy at most maxSide pixels on its long edge (never enlarged, each side at least 1).
QImage makeThumbnail(const QImage &image, int maxSide);

// ---- Compression -------------------------------------------------------------------------

// Compresses one source into the destination folder (which must exist): the GIF path for GIF
// sources, the still path for every other one.
ImageCompressionResult compress(const ImageCompressionSource &source, const ImageCompressionSettings &settings,
                                const QString &destinationDirectory);
ImageCompressionResult compressStillImage(const ImageCompressionSource &source,
                                          const ImageCompressionSettings &settings,
                                          const QString &destinationDirectory);
ImageCompressionResult compressGIF(const ImageCompressionSource &source, const ImageCompressionSettings &settings,
                                   const QString &destinationDirectory);

// ---- Batch -------------------------------------------------------------------------------

struct BatchOutcome {
    std::vector<ImageCompressionResult> results; // in the order of the sources
    int failed = 0;
    // The ids of the sources that failed, in list order.
    std::vector<QUuid> failedSourceIDs;
    // Why the first source in list order that failed did so; empty when none failed.
    QString firstFailure;
    // That reason as several images share it (ImageCompressionServiceError::sharedReason), and how
    // many of the failed images failed by it.
    QString firstFailureReason;
    int firstFailureShare = 0;
};

// Called on the batch's threads after each file: files done (written or failed) and written.
using BatchProgress = std::function<void(int done, int written)>;

// Compresses the sources into the folder two files at a time: one file's decoding and encoding
// leave part of a second core idle, two keep both busy. The outputs take their names in the order
// of the sources, exactly as one file after the other would name them. Once `stopping` is set, no
// further file is started. Failures are counted, not thrown.
BatchOutcome compressBatch(const std::vector<ImageCompressionSource> &sources, const ImageCompressionSettings &settings,
                           const QString &destinationDirectory, const std::atomic<bool> *stopping = nullptr,
                           const BatchProgress &progress = {});

// The order in which compressions running at once take their output names.
class OutputOrder {
public:
    // Until the outputs of every index below `index` are named.
    void waitForTurn(int index);
    // Index `index` is named (or has failed).
    void finish(int index);

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_next = 0;
    std::set<int> m_finished;
};

// While it lives, deliverOutput() on this thread waits for the turn of `index`; it finishes the
// index when it ends, delivered or not.
class OutputTurn {
public:
    OutputTurn(OutputOrder &order, int index);
    ~OutputTurn();
    OutputTurn(const OutputTurn &) = delete;
    OutputTurn &operator=(const OutputTurn &) = delete;

    // The turn the calling thread holds, if any.
    static OutputTurn *current();
    void wait() { m_order.waitForTurn(m_index); }

private:
    OutputOrder &m_order;
    int m_index;
    OutputTurn *m_outer;
};

// PNG when the file's type (by extension, by content when the name has none) is PNG; JPEG else.
OutputType outputType(const QString &path);
QString fileExtension(OutputType type); // "png" or "jpg"

// The pixel size after the long-edge limit (never enlarged; rounded half away from zero; ≥ 1).
QSize resizedSize(QSize size, ImageCompressionMaxDimension maxDimension);
// The image at resizedSize(); drawn on white unless keepsAlpha. An image that keeps its size and
// its alpha is returned untouched.
QImage resizedImage(const QImage &image, ImageCompressionMaxDimension maxDimension, bool keepsAlpha);

// The system's temporary folder (TMPDIR). Qt answers an empty path when TMPDIR names a missing
// folder; the configured path is kept then, so that writing fails rather than landing in the
// working directory.
QString temporaryFolder();
// "kivo-compression-<UUID>.<ext>" in the temporary folder; the file does not exist yet.
QString temporaryOutputURL(const QString &fileExtension);
// The base name of outputs: the file name without its last extension, trimmed, else "图片".
QString outputBaseName(const QString &sourcePath);
// The first of base-压缩.ext, base-压缩-2.ext, … at whose path nothing stands (a folder or a
// symbolic link blocks a name as a file does).
QString outputURL(const QString &sourcePath, const QString &destinationDirectory, const QString &fileExtension);
// What outputs are named after: the source's path, or for a crop the name the list shows
// ("DSC_0001-裁剪.jpg"), never the crop's temporary file name.
QString outputNamePath(const ImageCompressionSource &source);
// Copies the file to the first free output name and returns that path. The file appears whole
// or not at all, and never replaces anything: should a name be taken meanwhile, the next one is
// used. Throws cannotWriteOutput (the folder and the system's reason).
QString copyToFreeOutputName(const QString &fromPath, const QString &sourcePath,
                             const QString &destinationDirectory, const QString &fileExtension);
// What one compression produced: `chosenPath` (the original when it is kept, else the encoded
// temporary file) copied to a free output name, and the result describing that copy. Under an
// OutputTurn the name is chosen only once the turn has come.
struct DeliveredOutput {
    QSizeF pixelSize{0, 0};
    int originalFrameCount = 1;
    int outputFrameCount = 1;
};
ImageCompressionResult deliverOutput(const ImageCompressionSource &source, const QString &chosenPath,
                                     bool usedOriginalCopy, const DeliveredOutput &output,
                                     const QString &destinationDirectory, const QString &fileExtension);
// Throws cannotReadFileSize when nothing stands at the path.
qint64 fileSize(const QString &path);
// "2.5 MB", "1.5 kB", "0 字节" (decimal units).
QString humanReadableByteCount(qint64 bytes);

// ---- GIF ---------------------------------------------------------------------------------

// The loop value of the file's loop block; absent when it has none (the animation plays once).
std::optional<int> gifLoopCount(const GifCodec::FileInfo &info);
// The delay of a frame in centiseconds: its own, or 10 when it has none or it is below 2.
int gifFrameDelay(const GifCodec::FileInfo &info, int index);
// 1 up to 8 frames, else 2: every second frame is written, carrying the delays of those it skips.
int gifFrameStep(int frameCount);

// ---- Crop --------------------------------------------------------------------------------

// Cuts a still source to a rectangle in unit coordinates (origin top left) into a new crop file
// in the temporary folder; the new source keeps the old one's id. A fixed ratio comes out exactly
// in pixels.
ImageCompressionSource croppedSource(const ImageCompressionSource &source, const QRectF &cropUnitRect,
                                     CropAspectRatio ratio = CropAspectRatio::Free);
// Each edge clamped into 0…1 (NaN counts as 0).
QRectF clampedUnitRect(const QRectF &rect);
// The ratio's whole terms (16:9 → 16 × 9; the image's own ratio reduced, 1001 × 777 → 143 × 111);
// nothing for a free crop.
std::optional<QSize> cropRatioTerms(CropAspectRatio ratio, QSize imageSize);
// The clamped rectangle in pixels. Free: rounded outward (left and top down, right and bottom up).
// A fixed ratio: exactly the ratio (a whole multiple of its terms where they are small), about the
// rectangle's centre and inside the image.
QRect cropPixelRect(const QRectF &unitRect, QSize imageSize, CropAspectRatio ratio = CropAspectRatio::Free);
// "kivo-compression-crop-<source id>-<UUID>.<ext>" in the temporary folder.
QString temporaryCropURL(const ImageCompressionSource &source, const QString &fileExtension);
// "photo.jpg" → "photo-裁剪.jpg"; a blank base becomes "图片".
QString croppedFileName(const QString &fileName, const QString &fileExtension);
// Whether the path is one of our crop files (in the temporary folder, named as we name them).
bool isCropFile(const QString &path);
// Deletes the file when it is one of our crop files, and nothing else; true when it was removed.
// For a source that leaves the list, is replaced by a newer crop, or when the program exits.
bool removeCropFile(const QString &path);

} // namespace ImageCompressionService
