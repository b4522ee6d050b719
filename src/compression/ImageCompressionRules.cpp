#include "compression/ImageCompressionRules.h"

#include "compression/ImageCompressionService.h"
#include "model/FileSupport.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ImageCompressionRules {

namespace {

// The integer part, kept within the range of a 64-bit integer (NaN counts as 0).
qint64 integerPart(double value)
{
    if (std::isnan(value))
        return 0;
    const double limit = 9.0e18;
    return static_cast<qint64>(std::trunc(std::clamp(value, -limit, limit)));
}

} // namespace

const ImageCompressionSource *selectedSource(const std::vector<ImageCompressionSource> &sources,
                                             const std::optional<QUuid> &selectedID)
{
    if (selectedID) {
        const auto found = std::find_if(sources.begin(), sources.end(),
                                        [&](const ImageCompressionSource &source) { return source.id == *selectedID; });
        if (found != sources.end())
            return &*found;
    }
    return sources.empty() ? nullptr : &sources.front();
}

QString pixelSizeText(QSizeF pixelSize)
{
    return QStringLiteral("%1×%2").arg(integerPart(pixelSize.width())).arg(integerPart(pixelSize.height()));
}

QString factsText(const ImageCompressionSource &source)
{
    return pixelSizeText(source.pixelSize) + QStringLiteral(" · ")
        + ImageCompressionService::humanReadableByteCount(source.originalBytes);
}

QString gifBadgeText(int frameCount) { return QStringLiteral("GIF %1 帧").arg(frameCount); }

QString qualityText(double jpegQuality) { return QStringLiteral("%1%").arg(integerPart(jpegQuality * 100)); }

qint64 totalOriginalBytes(const std::vector<ImageCompressionSource> &sources)
{
    qint64 total = 0;
    for (const ImageCompressionSource &source : sources)
        total += source.originalBytes;
    return total;
}

qint64 totalCompressedBytes(const std::vector<ImageCompressionResult> &results)
{
    qint64 total = 0;
    for (const ImageCompressionResult &result : results)
        total += result.compressedBytes;
    return total;
}

int keptOriginalCount(const std::vector<ImageCompressionResult> &results)
{
    return int(std::count_if(results.begin(), results.end(),
                             [](const ImageCompressionResult &result) { return result.usedOriginalCopy; }));
}

int numberedNameCount(const std::vector<ImageCompressionResult> &results)
{
    return int(std::count_if(results.begin(), results.end(),
                             [](const ImageCompressionResult &result) { return result.tookNumberedName; }));
}

qint64 savedBytes(const std::vector<ImageCompressionResult> &results)
{
    qint64 saved = 0;
    for (const ImageCompressionResult &result : results)
        saved += result.originalBytes - result.compressedBytes;
    return std::max<qint64>(0, saved);
}

QString summaryText(const std::vector<ImageCompressionResult> &results, int failedCount)
{
    const int count = int(results.size());
    const int kept = keptOriginalCount(results);
    const int numbered = numberedNameCount(results);
    QString text = QStringLiteral("已导出 %1 张，").arg(count);
    if (kept == count)
        text += QStringLiteral("原图已足够小，已保留原文件");
    else
        text += QStringLiteral("节省 ") + ImageCompressionService::humanReadableByteCount(savedBytes(results));
    if (kept >= 1 && kept < count)
        text += QStringLiteral("，%1 张已保留原图").arg(kept);
    if (numbered > 0)
        text += QStringLiteral("，%1 张因重名另存为新文件名").arg(numbered);
    return text + failureNote(failedCount);
}

QString summaryText(const CompressionRunReport &report)
{
    return summaryText(report.results) + failureNote(report.failedCount, report.firstFailureReason, report.firstFailureShare);
}

QString failureNote(int failedCount, const QString &firstReason, int firstReasonShare)
{
    if (failedCount <= 0)
        return QString();
    QString note = QStringLiteral("，%1 张失败").arg(failedCount);
    if (firstReason.isEmpty())
        return note;
    if (firstReasonShare >= failedCount)
        return note + QStringLiteral("：") + firstReason;
    return note + QStringLiteral("（其中 %1 张：").arg(std::max(firstReasonShare, 1)) + firstReason + QStringLiteral("）");
}

QString numberedNamesNote(const std::vector<ImageCompressionResult> &results)
{
    QStringList numbered;
    for (const ImageCompressionResult &result : results) {
        if (result.tookNumberedName)
            numbered << result.outputURL;
    }
    return FileSupport::numberedNamesNote(numbered);
}

bool hasGIF(const std::vector<ImageCompressionSource> &sources)
{
    return std::any_of(sources.begin(), sources.end(),
                       [](const ImageCompressionSource &source) { return source.isGIF; });
}

std::vector<ImageCompressionMaxDimension> availableMaxDimensions(const std::vector<ImageCompressionSource> &sources)
{
    double longest = 0;
    for (const ImageCompressionSource &source : sources)
        longest = std::max({ longest, source.pixelSize.width(), source.pixelSize.height() });
    std::vector<ImageCompressionMaxDimension> offered { ImageCompressionMaxDimension::original };
    for (ImageCompressionMaxDimension dimension : ImageCompressionMaxDimensions::allCases) {
        if (dimension != ImageCompressionMaxDimension::original
            && longest > ImageCompressionMaxDimensions::rawValue(dimension))
            offered.push_back(dimension);
    }
    return offered;
}

ImageCompressionSettings normalizedSettings(const ImageCompressionSettings &settings,
                                            const std::vector<ImageCompressionSource> &sources)
{
    const std::vector<ImageCompressionMaxDimension> offered = availableMaxDimensions(sources);
    if (std::find(offered.begin(), offered.end(), settings.maxDimension) != offered.end())
        return settings;
    ImageCompressionSettings normalized = settings;
    normalized.maxDimension = ImageCompressionMaxDimension::original;
    return normalized;
}

} // namespace ImageCompressionRules
