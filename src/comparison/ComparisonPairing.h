#pragma once

#include "model/ImageItems.h"
#include "model/MarkupViewModelTypes.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

// The thread-safe steps of pairing two folders of before and after images: listing a folder,
// decoding one side and decoding every matched pair. They touch no view model, so the batch
// sheet can run them on worker threads and hand the result to the view model afterwards.
namespace ComparisonPairing {

// The longer side of the small copy that cards draw instead of the full picture.
constexpr double thumbnailDimension = 320;

// The message of a file that cannot be decoded.
QString undecodableMessage();
// The same for a picture refused for what it would cost rather than for being unreadable.
QString tooLargeMessage();
// Which of the two applies to a file that decodeImage() refused.
QString refusalMessage(const QString &path);

// The text of the batch result alert: the count line, then per non-empty unmatched list (before
// first) a blank line, its heading and at most 12 names, with "…还有 K 个" for the rest.
QString batchResultMessage(const ComparisonBatchImportResult &result, bool didAdd);

// The image files under a folder (subfolders included, hidden entries skipped), without repeats,
// in natural order of their file names; equal names keep the order of the scan.
QStringList sortedImageFiles(const QString &folder);

// The file decoded once, upright and within the decode cap, for its size and a thumbnail (a JPEG
// at a reduced DCT scale), then kept as a lazy handle on the file plus the thumbnail, so the pixels
// are not held in memory. Nothing when it cannot be decoded.
std::optional<ComparisonImageState> decodeImage(const QString &path);

// File names paired by match key, and the names that found no partner, each in list order.
struct URLMatch {
    std::vector<std::pair<QString, QString>> matched;
    QStringList unmatchedBefore;
    QStringList unmatchedAfter;

    bool operator==(const URLMatch &) const = default;
};

// A batch ready to hand to the view model: the result, and whether a matched pair had to be
// dropped because one of its images could not be decoded.
struct DecodedBatch {
    ComparisonBatchImportResult result;
    bool hadUndecodablePair = false;
    bool hadTooLargePair = false; // a side refused for what it would cost, every other side read
};

// Lists, sorts and matches the two folders, then decodes the matched pairs on every core, before
// side first; a pair with a side that cannot be decoded is dropped from every list. The pairs keep
// the matched order and get fresh ids.
DecodedBatch decodeFolders(const QString &beforeFolder, const QString &afterFolder);

} // namespace ComparisonPairing
