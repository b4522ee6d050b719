#include "CompressionTestSupport.h"

#include "compression/ImageCompressionService.h"
#include "support/PlantedWriteFailure.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <gtest/gtest.h>

using namespace ImageCompressionService;
using namespace CompressionTest;

namespace {

ImageCompressionSource probe(const QString &path)
{
    auto probed = source(path);
    EXPECT_TRUE(probed) << path.toStdString();
    return probed ? *probed : ImageCompressionSource {};
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ImageCompressionSettings settings(ImageCompressionMaxDimension dimension, double quality = 0.75)
{
    return ImageCompressionSettings(quality, dimension);
}

QImage halfTransparent(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(qRgba(255, 0, 0, 255));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w / 2; ++x)
            image.setPixel(x, y, qRgba(0, 0, 0, 0));
    return image;
}

} // namespace

TEST(StillCompression, LongEdgeArithmetic)
{
    using D = ImageCompressionMaxDimension;
    EXPECT_EQ(resizedSize({1600, 1001}, D::longEdge800), QSize(800, 501));
    EXPECT_EQ(resizedSize({4000, 3000}, D::longEdge1920), QSize(1920, 1440));
    EXPECT_EQ(resizedSize({1000, 800}, D::longEdge1920), QSize(1000, 800));
    EXPECT_EQ(resizedSize({1280, 20}, D::longEdge1280), QSize(1280, 20));
    EXPECT_EQ(resizedSize({1, 10000}, D::longEdge800), QSize(1, 800));
    EXPECT_EQ(resizedSize({4000, 3000}, D::original), QSize(4000, 3000));

    QTemporaryDir dir;
    QTemporaryDir out;
    const QString odd = saveImage(photoLike(1600, 1001), dir.filePath("odd.jpg"), "jpeg", 90);
    const auto result = compress(probe(odd), settings(D::longEdge800), out.path());
    EXPECT_EQ(result.outputPixelSize, QSizeF(800, 501));
    EXPECT_EQ(QImageReader(result.outputURL).size(), QSize(800, 501));
    EXPECT_FALSE(result.usedOriginalCopy);
    EXPECT_EQ(result.compressedBytes, QFileInfo(result.outputURL).size());
    EXPECT_EQ(result.fileName, "odd.jpg");
    EXPECT_EQ(result.originalFrameCount, 1);
    EXPECT_EQ(result.outputFrameCount, 1);
}

TEST(StillCompression, OrientationIsBakedIntoThePixels)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    // Stored 1600 × 1200 with the top rows red; orientation 6 shows them on the right.
    QImage stored = photoLike(1600, 1200);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 1600; ++x)
            stored.setPixel(x, y, qRgb(255, 0, 0));
    const QString plain = saveImage(stored, dir.filePath("plain.jpg"), "jpeg", 90);
    const QString turned = TestSupport::writeFile(dir.filePath("turned.jpg"), withExifOrientation(bytesOf(plain), 6));

    const auto result = compress(probe(turned), settings(ImageCompressionMaxDimension::longEdge800), out.path());
    QImageReader reader(result.outputURL);
    reader.setAutoTransform(false); // the output carries no tag: its pixels are upright
    const QImage output = reader.read();
    ASSERT_EQ(output.size(), QSize(600, 800));
    EXPECT_GT(qRed(output.pixel(595, 400)), 200);
    EXPECT_LT(qRed(output.pixel(5, 400)) - qGreen(output.pixel(5, 400)), 200);
}

TEST(StillCompression, OutputNamesNeverClashAndNeverOverwrite)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    const QString photo = saveImage(photoLike(64, 48), dir.filePath("photo.jpg"), "jpeg", 90);
    const auto source = probe(photo);
    TestSupport::writeFile(out.filePath("photo-压缩.jpg"), "keep me");
    QDir(out.path()).mkdir("photo-压缩-2.jpg"); // a folder blocks a name as a file does
    QFile::link(out.filePath("nowhere"), out.filePath("photo-压缩-3.jpg")); // so does a dangling link

    EXPECT_EQ(outputURL(photo, out.path(), "jpg"), out.filePath("photo-压缩-4.jpg"));
    const auto first = compress(source, settings(ImageCompressionMaxDimension::original), out.path());
    EXPECT_EQ(first.outputURL, out.filePath("photo-压缩-4.jpg"));
    const auto second = compress(source, settings(ImageCompressionMaxDimension::original), out.path());
    EXPECT_EQ(second.outputURL, out.filePath("photo-压缩-5.jpg"));
    EXPECT_EQ(bytesOf(out.filePath("photo-压缩.jpg")), "keep me");
    EXPECT_TRUE(QFileInfo(out.filePath("photo-压缩-2.jpg")).isDir());

    // Blank and extension-less names.
    const QString blank = saveImage(photoLike(16, 16), dir.filePath("   .png"), "png");
    EXPECT_EQ(QFileInfo(compress(probe(blank), {}, out.path()).outputURL).fileName(), "图片-压缩.png");
    const QString bare = saveImage(photoLike(16, 16), dir.filePath("shot"), "png");
    EXPECT_EQ(QFileInfo(compress(probe(bare), {}, out.path()).outputURL).fileName(), "shot-压缩.png");
    EXPECT_EQ(outputBaseName("/x/a.tar.gz"), "a.tar");
    EXPECT_EQ(outputBaseName("/x/.hidden"), ".hidden");
}

TEST(StillCompression, KeepTheOriginalOnlyWhenItIsAlreadyTheOutputFormat)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    using D = ImageCompressionMaxDimension;

    // A small JPEG re-encoded at a high quality grows: the original is copied byte for byte.
    const QString small = saveImage(photoLike(300, 200), dir.filePath("small.jpg"), "jpeg", 30);
    const auto kept = compress(probe(small), settings(D::original, 0.95), out.path());
    EXPECT_TRUE(kept.usedOriginalCopy);
    EXPECT_EQ(bytesOf(kept.outputURL), bytesOf(small));
    EXPECT_EQ(kept.compressedBytes, kept.originalBytes);
    EXPECT_EQ(kept.outputPixelSize, QSizeF(300, 200));

    // A PNG written as we would write it is not smaller again: kept.
    const QString png = saveImage(photoLike(120, 80), dir.filePath("p.png"), "png");
    const auto keptPng = compress(probe(png), {}, out.path());
    EXPECT_TRUE(keptPng.usedOriginalCopy);
    EXPECT_EQ(bytesOf(keptPng.outputURL), bytesOf(png));

    // Resized output is always written, even when it grows.
    const QString tiny = saveImage(photoLike(1000, 800), dir.filePath("tiny.jpg"), "jpeg", 5);
    const auto grown = compress(probe(tiny), settings(D::longEdge800, 0.95), out.path());
    EXPECT_FALSE(grown.usedOriginalCopy);
    EXPECT_LT(grown.savedRatio(), 0);

    // A WebP (or a PNG named .jpg) is never copied under a JPEG name: the output is a real JPEG.
    const QString webp = saveImage(photoLike(300, 200), dir.filePath("w.webp"), "webp", 5);
    const QString disguised = saveImage(photoLike(40, 30), dir.filePath("disguised.jpg"), "png");
    for (const QString &input : {webp, disguised}) {
        const auto result = compress(probe(input), settings(D::original, 0.95), out.path());
        EXPECT_FALSE(result.usedOriginalCopy) << input.toStdString();
        EXPECT_TRUE(result.outputURL.endsWith(".jpg"));
        EXPECT_TRUE(bytesOf(result.outputURL).startsWith("\xFF\xD8\xFF"));
    }
}

TEST(StillCompression, TransparencyKeptInPngAndWhiteInJpeg)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    const QString png = saveImage(halfTransparent(100, 50), dir.filePath("t.png"), "png");
    const QString tiff = saveImage(halfTransparent(100, 50), dir.filePath("t.tif"), "tiff");

    const auto pngResult = compress(probe(png), settings(ImageCompressionMaxDimension::original), out.path());
    QImage pngOut(pngResult.outputURL);
    EXPECT_EQ(qAlpha(pngOut.pixel(10, 25)), 0);
    EXPECT_EQ(qAlpha(pngOut.pixel(90, 25)), 255);

    const auto jpegResult = compress(probe(tiff), settings(ImageCompressionMaxDimension::original), out.path());
    EXPECT_TRUE(jpegResult.outputURL.endsWith("t-压缩.jpg"));
    const QImage jpegOut(jpegResult.outputURL);
    EXPECT_GT(qGray(jpegOut.pixel(10, 25)), 245); // white, not black
    EXPECT_GT(qRed(jpegOut.pixel(90, 25)), 230);
}

TEST(StillCompression, InputMetadataIsNotCarriedOver)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    QImage image = photoLike(80, 60);
    image.setText("Comment", QString(4000, QLatin1Char('x')));
    const QString png = saveImage(image, dir.filePath("m.png"), "png");
    ASSERT_FALSE(QImageReader(png).textKeys().isEmpty());
    const auto result = compress(probe(png), {}, out.path());
    EXPECT_FALSE(result.usedOriginalCopy);
    EXPECT_TRUE(QImageReader(result.outputURL).textKeys().isEmpty());
}

TEST(StillCompression, FailuresLeaveNoTemporaryFiles)
{
    QTemporaryDir dir;
    const QString photo = saveImage(photoLike(64, 48), dir.filePath("photo.jpg"), "jpeg", 90);
    const auto good = probe(photo);
    {
        const ScopedTempFolder temp;
        // The destination folder is gone: the copy fails after encoding.
        try {
            compress(good, {}, dir.filePath("no-such-folder"));
            FAIL();
        } catch (const ImageCompressionServiceError &error) {
            EXPECT_EQ(error.description(), "无法写入 " + dir.filePath("no-such-folder") + "：文件夹不存在");
        }
        EXPECT_TRUE(temp.entries().isEmpty()) << temp.entries().join(",").toStdString();

        // The source became unreadable after probing.
        ImageCompressionSource broken = good;
        broken.url = TestSupport::writeFile(dir.filePath("broken.jpg"), "not an image");
        try {
            compress(broken, {}, dir.path());
            FAIL();
        } catch (const ImageCompressionServiceError &error) {
            EXPECT_EQ(error.description(), "无法读取图片：broken.jpg");
        }
        EXPECT_TRUE(temp.entries().isEmpty());
    }
    {
        // The temporary folder cannot take the file.
        const ScopedTempFolder temp;
        qputenv("TMPDIR", QFile::encodeName(dir.filePath("missing-temp")));
        QTemporaryDir out;
        try {
            compress(good, {}, out.path());
            FAIL();
        } catch (const ImageCompressionServiceError &error) {
            EXPECT_EQ(error.kind(), ImageCompressionServiceError::Kind::cannotCreateDestination);
            EXPECT_TRUE(error.description().startsWith("无法创建输出文件：" + dir.filePath("missing-temp/kivo-compression-")));
            EXPECT_TRUE(error.description().endsWith("（文件夹不存在）")) << error.description().toStdString();
        }
        EXPECT_TRUE(QDir(out.path()).isEmpty());
    }
    {
        // A full disk under the encoders (still, GIF) says so; nothing is left anywhere.
        QTemporaryDir out;
        const ScopedTempFolder temp;
        const TestSupport::PlantedWriteFailure full(ENOSPC);
        for (const ImageCompressionSource &source : { good, probe(writeAnimation(dir.path(), "moving.gif")) }) {
            try {
                compress(source, {}, out.path());
                ADD_FAILURE() << "written on a full disk";
            } catch (const ImageCompressionServiceError &error) {
                EXPECT_EQ(error.kind(), ImageCompressionServiceError::Kind::cannotFinalize);
                EXPECT_TRUE(error.description().endsWith("（磁盘空间不足）")) << error.description().toStdString();
                EXPECT_EQ(error.sharedReason(), "无法写入压缩结果（磁盘空间不足）");
            }
        }
        EXPECT_TRUE(temp.entries().isEmpty()) << temp.entries().join(",").toStdString();
        EXPECT_TRUE(QDir(out.path()).isEmpty());
    }
}

// A source whose name is near the file system's limit still gets its outputs: the name gives up
// characters (never half of one) for "-压缩" and the number, and keeps its extension.
TEST(StillCompression, SourcesWithLongNamesCompress)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    const QString stem = QString(82, u'长'); // 246 bytes; with ".jpg" the name has 250
    const QString photo = saveImage(photoLike(64, 48), dir.filePath(stem + ".jpg"), "jpeg", 90);
    ASSERT_FALSE(photo.isEmpty());
    const auto source = probe(photo);
    const auto first = compress(source, settings(ImageCompressionMaxDimension::original), out.path());
    EXPECT_EQ(QFileInfo(first.outputURL).fileName().toStdString(), (QString(81, u'长') + "-压缩.jpg").toStdString());
    EXPECT_FALSE(first.tookNumberedName);
    const auto second = compress(source, settings(ImageCompressionMaxDimension::original), out.path());
    EXPECT_EQ(QFileInfo(second.outputURL).fileName().toStdString(), (QString(80, u'长') + "-压缩-2.jpg").toStdString());
    EXPECT_TRUE(second.tookNumberedName);
    EXPECT_TRUE(QFileInfo(second.outputURL).isFile());
}
