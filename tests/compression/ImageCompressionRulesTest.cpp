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

ImageCompressionResult result(qint64 compressed, bool keptOriginal)
{
    ImageCompressionResult made;
    made.id = QUuid::createUuid();
    made.compressedBytes = compressed;
    made.usedOriginalCopy = keptOriginal;
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

TEST(ImageCompressionRules, BannerFormsAreTestedInOrder)
{
    const std::vector<ImageCompressionSource> sources { source(10, 10, 5000), source(10, 10, 3000) };
    // K == N wins over the saved amount, also for zero results kept.
    EXPECT_EQ(summaryText(sources, { result(100, true), result(200, true) }),
              QStringLiteral("已导出 2 张，原图已足够小，已保留原文件"));
    EXPECT_EQ(summaryText(sources, { result(1000, false) }), QStringLiteral("已导出 1 张，节省 ") + bytes(7000));
    EXPECT_EQ(summaryText(sources, { result(1000, false), result(3000, true) }),
              QStringLiteral("已导出 2 张，节省 ") + bytes(4000) + QStringLiteral("，1 张已保留原图"));
    // More output than input: the saved amount is floored at 0.
    EXPECT_EQ(savedBytes(sources, { result(9000, false) }), 0);
    EXPECT_EQ(summaryText(sources, { result(9000, false) }), QStringLiteral("已导出 1 张，节省 ") + bytes(0));
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
