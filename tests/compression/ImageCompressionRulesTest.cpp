#include "compression/ImageCompressionRules.h"
#include "compression/ImageCompressionService.h"

#include <gtest/gtest.h>

using namespace ImageCompressionRules;

namespace {

ImageCompressionSource source(double width, double height, qint64 bytes = 1000, bool gif = false)
{
    ImageCompressionSource made;
    made.id = QUuid::createUuid();
    made.url = QStringLiteral("/tmp/a.jpg");
    made.fileName = QStringLiteral("a.jpg");
    made.pixelSize = QSizeF(width, height);
    made.originalBytes = bytes;
    made.isGIF = gif;
    return made;
}

ImageCompressionResult result(qint64 original, qint64 compressed, bool keptOriginal, bool numbered = false)
{
    ImageCompressionResult made;
    made.id = QUuid::createUuid();
    made.outputURL = QStringLiteral("/out/a-压缩-%1.jpg").arg(compressed);
    made.originalBytes = original;
    made.compressedBytes = compressed;
    made.usedOriginalCopy = keptOriginal;
    made.tookNumberedName = numbered;
    return made;
}

QStringList titles(const std::vector<ImageCompressionMaxDimension> &dimensions)
{
    QStringList out;
    for (ImageCompressionMaxDimension dimension : dimensions)
        out << ImageCompressionMaxDimensions::title(dimension);
    return out;
}

QString bytes(qint64 count) { return ImageCompressionService::humanReadableByteCount(count); }

} // namespace

TEST(ImageCompressionRules, OfferedLongEdgesAreStrictlySmallerThanTheLargestImage)
{
    EXPECT_EQ(titles(availableMaxDimensions({})), QStringList { QStringLiteral("原尺寸") });
    EXPECT_EQ(titles(availableMaxDimensions({ source(1920, 1080) })),
              (QStringList { QStringLiteral("原尺寸"), QStringLiteral("1280"), QStringLiteral("800") }));
    EXPECT_EQ(titles(availableMaxDimensions({ source(100, 100), source(1921, 10) })),
              (QStringList { QStringLiteral("原尺寸"), QStringLiteral("1920"), QStringLiteral("1280"),
                             QStringLiteral("800") }));
    EXPECT_EQ(titles(availableMaxDimensions({ source(900, 600) })),
              (QStringList { QStringLiteral("原尺寸"), QStringLiteral("800") }));
    EXPECT_EQ(titles(availableMaxDimensions({ source(800, 800) })), QStringList { QStringLiteral("原尺寸") });
    // The long edge may be the height.
    EXPECT_EQ(availableMaxDimensions({ source(1000, 3000) }).size(), 4u);
}

TEST(ImageCompressionRules, NormalisingDropsAChoiceNoLongerOfferedAndKeepsTheQuality)
{
    ImageCompressionSettings settings(0.4, ImageCompressionMaxDimension::longEdge1280);
    const ImageCompressionSettings reset = normalizedSettings(settings, { source(1000, 700) });
    EXPECT_EQ(reset.maxDimension, ImageCompressionMaxDimension::original);
    EXPECT_EQ(reset.jpegQuality, 0.4);
    settings.maxDimension = ImageCompressionMaxDimension::longEdge800;
    EXPECT_EQ(normalizedSettings(settings, { source(1000, 700) }), settings);
    EXPECT_EQ(normalizedSettings(settings, {}).maxDimension, ImageCompressionMaxDimension::original);
}

TEST(ImageCompressionRules, QualityAndSizeTexts)
{
    EXPECT_EQ(qualityText(0.2), QStringLiteral("20%"));
    EXPECT_EQ(qualityText(0.75), QStringLiteral("75%"));
    EXPECT_EQ(qualityText(0.95), QStringLiteral("95%"));
    EXPECT_EQ(qualityText(0.559), QStringLiteral("55%"));
    EXPECT_EQ(pixelSizeText(QSizeF(1920, 1080)), QStringLiteral("1920×1080"));
    EXPECT_EQ(pixelSizeText(QSizeF(99.9, 0.5)), QStringLiteral("99×0"));
    EXPECT_EQ(pixelSizeText(QSizeF(qQNaN(), 1e300)), QStringLiteral("0×9000000000000000000"));
    EXPECT_EQ(gifBadgeText(24), QStringLiteral("GIF 24 帧"));
    EXPECT_EQ(factsText(source(4032, 3024, 3145728)), QStringLiteral("4032×3024 · ") + bytes(3145728));
}

// The saving is what the written files saved, each against its own source: images that failed,
// were never written or left the list count nothing.
TEST(ImageCompressionRules, BannerCountsWhatWasWrittenAndSaysWhatFailedOrWasRenamed)
{
    // K == N wins over the saved amount.
    EXPECT_EQ(summaryText({ result(100, 100, true), result(200, 200, true) }),
              QStringLiteral("已导出 2 张，原图已足够小，已保留原文件"));
    EXPECT_EQ(summaryText({ result(5000, 1000, false) }), QStringLiteral("已导出 1 张，节省 ") + bytes(4000));
    EXPECT_EQ(summaryText({ result(5000, 1000, false), result(3000, 3000, true) }),
              QStringLiteral("已导出 2 张，节省 ") + bytes(4000) + QStringLiteral("，1 张已保留原图"));
    // An output larger than its source (a resize) takes from the others' saving, floored at 0.
    EXPECT_EQ(savedBytes({ result(5000, 1000, false), result(2000, 3000, false) }), 3000);
    EXPECT_EQ(savedBytes({ result(1000, 9000, false) }), 0);
    EXPECT_EQ(summaryText({ result(1000, 9000, false) }), QStringLiteral("已导出 1 张，节省 ") + bytes(0));

    // Two written of six, four failed: their sizes are in no figure, and the failures are said.
    EXPECT_EQ(summaryText({ result(3'000'000, 1'000'000, false), result(3'000'000, 2'000'000, false) }, 4),
              QStringLiteral("已导出 2 张，节省 ") + bytes(3'000'000) + QStringLiteral("，4 张失败"));
    EXPECT_EQ(summaryText({ result(100, 100, true) }, 2),
              QStringLiteral("已导出 1 张，原图已足够小，已保留原文件，2 张失败"));

    // Outputs that took a numbered name are counted in the banner and named in the status.
    const std::vector<ImageCompressionResult> renamed { result(900, 300, false), result(900, 400, false, true),
                                                        result(900, 500, true, true) };
    EXPECT_EQ(summaryText(renamed, 1), QStringLiteral("已导出 3 张，节省 ") + bytes(1500)
                                          + QStringLiteral("，1 张已保留原图，2 张因重名另存为新文件名，1 张失败"));
    // The first failure's reason, and how many of the failures share it.
    EXPECT_EQ(failureNote(15, "无法写入 /out：文件夹不存在", 15), "，15 张失败：无法写入 /out：文件夹不存在");
    EXPECT_EQ(failureNote(15, "无法读取图片", 12), "，15 张失败（其中 12 张：无法读取图片）");
    EXPECT_EQ(failureNote(2), "，2 张失败");
    EXPECT_EQ(failureNote(0, "无法读取图片", 0), "");
    EXPECT_EQ(numberedNamesNote(renamed), QStringLiteral("，2 张因重名另存为 a-压缩-400.jpg 等"));
    EXPECT_EQ(numberedNamesNote({ renamed[1] }), QStringLiteral("，1 张因重名另存为 a-压缩-400.jpg"));
    EXPECT_EQ(numberedNamesNote({ renamed[0] }), QString());
}

TEST(ImageCompressionRules, SelectedSourceFallsBackToTheFirst)
{
    const std::vector<ImageCompressionSource> sources { source(1, 1), source(2, 2), source(3, 3) };
    EXPECT_EQ(selectedSource(sources, sources[1].id), &sources[1]);
    EXPECT_EQ(selectedSource(sources, std::nullopt), &sources[0]);
    EXPECT_EQ(selectedSource(sources, QUuid::createUuid()), &sources[0]);
    EXPECT_EQ(selectedSource({}, sources[1].id), nullptr);
    EXPECT_TRUE(hasGIF({ source(1, 1), source(1, 1, 1, true) }));
    EXPECT_FALSE(hasGIF(sources));
}
