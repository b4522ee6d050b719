#pragma once

#include "compression/ImageCompressionModel.h"

#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

// What the compression workspace derives from its inputs: the image it shows, the texts of the
// list, the panel and the banner, and the long-edge limits it offers.
namespace ImageCompressionRules {

// The entry with the selected id, else the first entry, else none.
const ImageCompressionSource *selectedSource(const std::vector<ImageCompressionSource> &sources,
                                             const std::optional<QUuid> &selectedID);

// "1920×1080": the integer parts of width and height.
QString pixelSizeText(QSizeF pixelSize);
// "1920×1080 · 2.5 MB", the facts line of a card.
QString factsText(const ImageCompressionSource &source);
// "GIF 24 帧".
QString gifBadgeText(int frameCount);
// "75%": the integer part of quality × 100.
QString qualityText(double jpegQuality);

qint64 totalOriginalBytes(const std::vector<ImageCompressionSource> &sources);
qint64 totalCompressedBytes(const std::vector<ImageCompressionResult> &results);
int keptOriginalCount(const std::vector<ImageCompressionResult> &results);
// Outputs written under a numbered name because their own was taken.
int numberedNameCount(const std::vector<ImageCompressionResult> &results);
// What the written files saved: the sum of each one's source size minus its size, never below 0.
// Images that failed, or that left the list, count nothing.
qint64 savedBytes(const std::vector<ImageCompressionResult> &results);
// The sentence of the results banner, with the outputs that took a numbered name and the
// images that failed at its end.
QString summaryText(const std::vector<ImageCompressionResult> &results, int failedCount = 0);
// The banner's sentence for a finished run: summaryText() of what it wrote, with its failures and
// their first reason.
QString summaryText(const CompressionRunReport &report);
// "，15 张失败：无法写入 /out：文件夹不存在" when every failed image shares the reason, else
// "，15 张失败（其中 12 张：…）"; "，15 张失败" without a reason; empty when nothing failed.
QString failureNote(int failedCount, const QString &firstReason = {}, int firstReasonShare = 0);
// What a finished run adds to its status for the outputs that took a numbered name:
// "，1 张因重名另存为 a-压缩-2.jpg", "，3 张因重名另存为 a-压缩-2.jpg 等"; empty when none did.
QString numberedNamesNote(const std::vector<ImageCompressionResult> &results);
bool hasGIF(const std::vector<ImageCompressionSource> &sources);

// The original size, then each preset strictly smaller than the largest long edge of the list.
std::vector<ImageCompressionMaxDimension> availableMaxDimensions(const std::vector<ImageCompressionSource> &sources);
// The settings with the long edge put back to the original size when it is no longer offered.
ImageCompressionSettings normalizedSettings(const ImageCompressionSettings &settings,
                                            const std::vector<ImageCompressionSource> &sources);

} // namespace ImageCompressionRules
