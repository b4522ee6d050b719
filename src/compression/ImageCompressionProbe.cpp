#include "compression/ImageCompressionService.h"

#include "platform/GifCodec.h"
#include "platform/ImageDecoding.h"
#include "platform/ImageReduction.h"
#include "platform/ParallelWork.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSet>

#include <algorithm>

// Turning files and folders into compression sources.
namespace ImageCompressionService {

namespace {

constexpr int kThumbnailSide = 128;

// Raster images only: SVG is an image type too, but not one that compression can re-encode.
bool isImageType(const QMimeType &type)
{
    const QString name = type.name();
    return name.startsWith(QLatin1String("image/")) && !name.contains(QLatin1String("svg"));
}

int compareDigitRuns(const QString &a, qsizetype &i, const QString &b, qsizetype &j)
{
    auto significant = [](const QString &s, qsizetype &k) {
        while (k < s.size() && s[k].isDigit() && s[k].digitValue() == 0)
            ++k;
        const qsizetype start = k;
        while (k < s.size() && s[k].isDigit())
            ++k;
        return std::pair(start, k);
    };
    const auto [aStart, aEnd] = significant(a, i);
    const auto [bStart, bEnd] = significant(b, j);
    if (aEnd - aStart != bEnd - bStart)
        return aEnd - aStart < bEnd - bStart ? -1 : 1;
    for (qsizetype k = 0; k < aEnd - aStart; ++k) {
        const int da = a[aStart + k].digitValue();
        const int db = b[bStart + k].digitValue();
        if (da != db)
            return da < db ? -1 : 1;
    }
    return 0;
}

// `drawn` is the part of the first frame's canvas that its pixels cover; the rest is transparent.
ImageCompressionSource gifSource(const GifCodec::FileInfo &info, const QImage &firstFrame, QRect drawn)
{
    ImageCompressionSource source;
    source.pixelSize = QSizeF(firstFrame.size());
    source.frameCount = std::max<int>(static_cast<int>(info.frames.size()), 1);
    source.isGIF = true;
    // A small frame on a huge screen is shrunk from its own pixels, not from the whole screen.
    const QSize thumbnailSize = CompressionImageIO::fittedSize(firstFrame.size(), kThumbnailSide);
    QImage thumbnail;
    if (firstFrame.format() == QImage::Format_ARGB32 && ImageReduction::reducesByArea(firstFrame, thumbnailSize)) {
        thumbnail = QImage(thumbnailSize, QImage::Format_ARGB32_Premultiplied);
        if (!thumbnail.isNull())
            thumbnail.fill(0);
        if (!thumbnail.isNull() && !ImageReduction::updateScaled(firstFrame, thumbnail, drawn))
            thumbnail = QImage();
    }
    source.thumbnail = thumbnail.isNull() ? makeThumbnail(firstFrame, kThumbnailSide) : thumbnail;
    return source;
}

} // namespace

bool naturalFileNameLess(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            if (const int order = compareDigitRuns(a, i, b, j))
                return order < 0;
            continue;
        }
        const char32_t ca = QChar::toCaseFolded(a[i].unicode());
        const char32_t cb = QChar::toCaseFolded(b[j].unicode());
        if (ca != cb)
            return ca < cb;
        ++i;
        ++j;
    }
    return (a.size() - i) < (b.size() - j);
}

QStringList deduplicatedURLs(const QStringList &paths)
{
    QSet<QString> seen;
    QStringList kept;
    for (const QString &path : paths) {
        const QString key = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        if (seen.contains(key))
            continue;
        seen.insert(key);
        kept.append(path);
    }
    return kept;
}

QStringList imageURLs(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    const QMimeDatabase mimeTypes;
    if (!info.isDir())
        return isImageType(mimeTypes.mimeTypeForFile(info)) ? QStringList {path} : QStringList {};

    // Without QDir::Hidden, hidden files are skipped and hidden folders not entered; symbolic
    // links to folders are not followed, so a link loop cannot trap the walk.
    QStringList found;
    QDirIterator it(path, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QFileInfo fileInfo = it.fileInfo();
        if (!fileInfo.isFile() || fileInfo.isSymLink())
            continue;
        if (isImageType(mimeTypes.mimeTypeForFile(fileInfo)))
            found.append(file);
    }
    return found;
}

QStringList expandedImageURLs(const QStringList &paths)
{
    QStringList all;
    for (const QString &path : paths)
        all += imageURLs(path);
    QStringList unique = deduplicatedURLs(all);
    std::stable_sort(unique.begin(), unique.end(), [](const QString &a, const QString &b) {
        return naturalFileNameLess(QFileInfo(a).fileName(), QFileInfo(b).fileName());
    });
    return unique;
}

std::vector<ImageCompressionSource> sources(const QStringList &paths)
{
    // Files are probed side by side; the shared decode budget bounds the pixels held at once.
    const QStringList urls = expandedImageURLs(paths);
    std::vector<std::optional<ImageCompressionSource>> probed(size_t(urls.size()));
    ParallelWork::forEach(int(urls.size()), [&](int i) { probed[size_t(i)] = source(urls[i]); });
    std::vector<ImageCompressionSource> found;
    for (std::optional<ImageCompressionSource> &one : probed)
        if (one)
            found.push_back(std::move(*one));
    return found;
}

namespace {

// A GIF as the list sees it: decoded only as far as its first frame, the frame count from a scan
// of its blocks. Listed when it can be compressed at the smallest size offered (as far as its
// first frame shows); each size is checked again when it is chosen.
struct ProbedGif {
    enum class Outcome { listed, tooCostly, unreadable };
    Outcome outcome = Outcome::unreadable;
    GifCodec::FileInfo info;
    QImage firstFrame;
    QRect firstChange;
};

ProbedGif probeGif(const QString &path)
{
    ProbedGif probed;
    std::optional<GifCodec::FileInfo> scanned = GifCodec::scan(path);
    if (!scanned)
        return probed;
    probed.info = std::move(*scanned);
    const QSize smallest = resizedSize(probed.info.canvas, ImageCompressionMaxDimension::longEdge800);
    if (GifCodec::exceedsWorkLimit(probed.info, smallest)) {
        probed.outcome = ProbedGif::Outcome::tooCostly;
        return probed;
    }
    GifCodec::FrameDecoder decoder;
    if (!decoder.open(path))
        return probed;
    probed.firstFrame = decoder.nextFrame();
    if (probed.firstFrame.isNull())
        return probed;
    if (GifCodec::exceedsWorkLimitOnceDecoded(probed.info, 0, decoder.leftTransparentPixels(), smallest)) {
        probed.outcome = ProbedGif::Outcome::tooCostly;
        probed.firstFrame = QImage();
        return probed;
    }
    probed.firstChange = decoder.changedRect();
    probed.outcome = ProbedGif::Outcome::listed;
    return probed;
}

} // namespace

bool isRefusedForCost(const QString &path)
{
    if (ImageDecoding::exceedsLimits(path))
        return true;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && GifCodec::hasGifSignature(file.read(6))
        && probeGif(path).outcome == ProbedGif::Outcome::tooCostly;
}

std::optional<ImageCompressionSource> source(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const bool gifContent = GifCodec::hasGifSignature(file.read(6));
    file.close();

    ImageCompressionSource probed;
    if (gifContent) {
        ProbedGif gif = probeGif(path);
        if (gif.outcome != ProbedGif::Outcome::listed)
            return std::nullopt;
        probed = gifSource(gif.info, gif.firstFrame, gif.firstChange);
    } else {
        // One decode, at a reduced scale where the format allows: the pixel size comes from the
        // header, the thumbnail from the reduced picture.
        const auto loaded = CompressionImageIO::loadUprightImage(path, kThumbnailSide, true, true);
        if (loaded.image.isNull())
            return std::nullopt;
        probed.pixelSize = QSizeF(loaded.fullSize);
        probed.frameCount = loaded.frameCount;
        probed.isGIF = info.suffix().compare(QLatin1String("gif"), Qt::CaseInsensitive) == 0;
        probed.thumbnail = ImageReduction::scaledSmoothly(
            loaded.image, CompressionImageIO::fittedSize(loaded.fullSize, kThumbnailSide));
    }
    try {
        probed.originalBytes = fileSize(path);
    } catch (const ImageCompressionServiceError &) {
        return std::nullopt;
    }
    probed.id = QUuid::createUuid();
    probed.url = path;
    probed.fileName = info.fileName();
    return probed;
}

QImage makeThumbnail(const QImage &image, int maxSide)
{
    if (image.isNull())
        return {};
    const QSize size = CompressionImageIO::fittedSize(image.size(), maxSide);
    if (size == image.size())
        return image;
    return CompressionImageIO::redrawn(image, size, true);
}

} // namespace ImageCompressionService
