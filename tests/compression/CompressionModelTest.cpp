#include "compression/ImageCompressionService.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ImageCompressionService;

TEST(CompressionModel, SettingsClampOnlyInTheInitializer)
{
    EXPECT_EQ(ImageCompressionSettings(1.0, ImageCompressionMaxDimension::original).jpegQuality, 0.95);
    EXPECT_EQ(ImageCompressionSettings(0.1, ImageCompressionMaxDimension::original).jpegQuality, 0.2);
    EXPECT_EQ(ImageCompressionSettings(0.5, ImageCompressionMaxDimension::original).jpegQuality, 0.5);
    EXPECT_EQ(ImageCompressionSettings(std::nan(""), ImageCompressionMaxDimension::original).jpegQuality, 0.2);
    ImageCompressionSettings settings(0.5, ImageCompressionMaxDimension::longEdge800);
    settings.jpegQuality = 1.5;
    EXPECT_EQ(settings.jpegQuality, 1.5);
    EXPECT_EQ(ImageCompressionMaxDimensions::fromRawValue(1000), std::nullopt);
}

TEST(CompressionModel, SavedRatioAndSourceEquality)
{
    ImageCompressionResult result;
    EXPECT_EQ(result.savedRatio(), 0);
    result.originalBytes = 1000;
    result.compressedBytes = 250;
    EXPECT_DOUBLE_EQ(result.savedRatio(), 0.75);
    result.compressedBytes = 1200;
    EXPECT_DOUBLE_EQ(result.savedRatio(), -0.2);

    ImageCompressionSource a;
    a.id = QUuid::createUuid();
    a.url = "/x/a.png";
    ImageCompressionSource b = a;
    b.thumbnail = QImage(4, 4, QImage::Format_ARGB32);
    EXPECT_EQ(a, b);
    b.frameCount = 2;
    EXPECT_NE(a, b);
}

TEST(CompressionModel, ErrorTexts)
{
    using E = ImageCompressionServiceError;
    EXPECT_EQ(E::noReadableImage("/tmp/a b/photo.jpg").description(), "无法读取图片：photo.jpg");
    EXPECT_EQ(E::unsupportedImage("/x/y.gif").description(), "暂不支持该图片格式：y.gif");
    EXPECT_EQ(E::cropUnsupported("/x/y.gif").description(), "GIF 暂不支持裁剪：y.gif");
    EXPECT_EQ(E::cropTooSmall("/x/y.png").description(), "裁剪区域太小：y.png");
    EXPECT_EQ(E::cropFailed("/x/y.png").description(), "无法裁剪图片：y.png");
    EXPECT_EQ(E::cannotCreateDestination("/tmp/k.jpg").description(), "无法创建输出文件：/tmp/k.jpg");
    EXPECT_EQ(E::cannotReadFrame(0).description(), "无法读取 GIF 第 1 帧");
    EXPECT_EQ(E::cannotResizeFrame(3).description(), "无法处理 GIF 第 4 帧");
    EXPECT_EQ(E::cannotFinalize("/tmp/k.gif").description(), "无法写入压缩结果：/tmp/k.gif");
    EXPECT_EQ(E::cannotReadFileSize("/o/p.jpg").description(), "无法读取文件大小：/o/p.jpg");
    EXPECT_EQ(QString::fromUtf8(E::cannotReadFrame(3).what()), "无法读取 GIF 第 4 帧");
}

TEST(CompressionModel, ByteCountText)
{
    EXPECT_EQ(humanReadableByteCount(2'500'000), "2.5 MB");
    EXPECT_EQ(humanReadableByteCount(1'500), "1.5 kB");
    EXPECT_EQ(humanReadableByteCount(0), "0 字节");
}
