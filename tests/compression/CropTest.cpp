#include "CompressionTestSupport.h"

#include "compression/ImageCompressionService.h"
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

// A 1000 × 800 picture whose every pixel encodes its own position.
QImage positions()
{
    QImage image(1000, 800, QImage::Format_ARGB32);
    for (int y = 0; y < 800; ++y)
        for (int x = 0; x < 1000; ++x)
            image.setPixel(x, y, qRgba(x % 256, y % 256, (x / 256) * 16 + (y / 256), x < 100 ? 0 : 255));
    return image;
}

} // namespace

TEST(Crop, RectangleArithmetic)
{
    EXPECT_EQ(clampedUnitRect(QRectF(-0.1, 0.5, 0.5, 0.8)), QRectF(0, 0.5, 0.4, 0.5));
    EXPECT_EQ(clampedUnitRect(QRectF(0.6, 0.6, -0.2, -0.2)), QRectF(0.4, 0.4, 0.2, 0.2));
    EXPECT_EQ(clampedUnitRect(QRectF(std::nan(""), 0, 1, 1)).x(), 0);
    EXPECT_EQ(cropPixelRect(QRectF(0.25, 0.25, 0.5, 0.5), {1000, 800}), QRect(250, 200, 500, 400));
    EXPECT_EQ(cropPixelRect(QRectF(0.1, 0.1, 0.8, 0.8), {1000, 800}), QRect(100, 80, 800, 640));
    // 10.3 … 20.6 pixels is cut outward as 10 … 21.
    EXPECT_EQ(cropPixelRect(QRectF(0.103, 0, 0.103, 1), {100, 100}), QRect(10, 0, 11, 100));
    EXPECT_EQ(croppedFileName("photo.jpg", "jpg"), "photo-裁剪.jpg");
    EXPECT_EQ(croppedFileName("photo-裁剪.jpg", "jpg"), "photo-裁剪-裁剪.jpg");
    EXPECT_EQ(croppedFileName("  .png", "png"), "图片-裁剪.png");
}

TEST(Crop, CutsIntoANewSourceThatKeepsTheId)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    const ScopedTempFolder temp;
    const QString png = saveImage(positions(), dir.filePath("photo.png"), "png");
    const auto original = probe(png);

    const auto cropped = croppedSource(original, QRectF(0.05, 0.25, 0.5, 0.5));
    EXPECT_EQ(cropped.id, original.id);
    EXPECT_EQ(cropped.fileName, "photo-裁剪.png");
    EXPECT_EQ(cropped.pixelSize, QSizeF(500, 400));
    EXPECT_EQ(cropped.frameCount, 1);
    EXPECT_FALSE(cropped.isGIF);
    EXPECT_EQ(cropped.originalBytes, QFileInfo(cropped.url).size());
    EXPECT_TRUE(isCropFile(cropped.url));
    EXPECT_TRUE(QFileInfo(cropped.url).fileName().startsWith(
        "kivo-compression-crop-" + original.id.toString(QUuid::WithoutBraces).toUpper() + "-"));
    const QImage cut(cropped.url);
    EXPECT_EQ(qAlpha(cut.pixel(0, 0)), 0); // transparency kept in a PNG
    const QRgb inside = cut.pixel(100, 10);       // pixel (150, 210) of the original
    EXPECT_EQ(qRed(inside), 150);
    EXPECT_EQ(qGreen(inside), 210);

    // A JPEG source (or anything not PNG) becomes a JPEG crop; cropping again keeps the id.
    const QString jpg = saveImage(photoLike(200, 100), dir.filePath("shot.jpg"), "jpeg", 90);
    const auto once = croppedSource(probe(jpg), QRectF(0, 0, 0.5, 0.5));
    const auto twice = croppedSource(once, QRectF(0, 0, 0.5, 0.5));
    EXPECT_EQ(once.fileName, "shot-裁剪.jpg");
    EXPECT_EQ(twice.fileName, "shot-裁剪-裁剪.jpg");
    EXPECT_EQ(twice.id, once.id);
    EXPECT_EQ(twice.pixelSize, QSizeF(50, 25));
    EXPECT_TRUE(twice.url.endsWith(".jpg"));

    // Compressing a crop names the output after the name the list shows, not the crop file.
    const auto result = compress(twice, {}, out.path());
    EXPECT_EQ(QFileInfo(result.outputURL).fileName(), "shot-裁剪-裁剪-压缩.jpg");
    EXPECT_EQ(result.fileName, "shot-裁剪-裁剪.jpg");

    // Removing: our crop files only.
    const QString foreign = TestSupport::writeFile(temp.path() + "/kivo-compression-crop-not-ours.jpg", "x");
    EXPECT_FALSE(removeCropFile(foreign));
    EXPECT_FALSE(removeCropFile(jpg));
    const QString elsewhere = dir.filePath(QFileInfo(once.url).fileName());
    QFile::copy(once.url, elsewhere);
    EXPECT_FALSE(removeCropFile(elsewhere));
    EXPECT_TRUE(QFileInfo::exists(foreign) && QFileInfo::exists(jpg) && QFileInfo::exists(elsewhere));
    for (const auto &s : {cropped, once, twice})
        EXPECT_TRUE(removeCropFile(s.url));
    EXPECT_EQ(temp.entries(), QStringList({"kivo-compression-crop-not-ours.jpg"}));
}

TEST(Crop, RefusalsLeaveNothingBehind)
{
    QTemporaryDir dir;
    const ScopedTempFolder temp;
    // 128 pixels, so that 7 and 8 pixels are exact binary fractions.
    const QString png = saveImage(TestSupport::solidImage(128, 128, Qt::red), dir.filePath("p.png"), "png");
    const auto source = probe(png);
    auto failure = [&](const ImageCompressionSource &s, QRectF rect) {
        try {
            croppedSource(s, rect);
        } catch (const ImageCompressionServiceError &error) {
            return error.description();
        }
        return QString();
    };
    EXPECT_EQ(failure(source, QRectF(0, 0, 7 / 128.0, 0.5)), "裁剪区域太小：p.png");
    EXPECT_EQ(failure(source, QRectF(0.5, 0.5, 0.5, 7 / 128.0)), "裁剪区域太小：p.png");
    EXPECT_EQ(failure(source, QRectF(2, 2, 1, 1)), "裁剪区域太小：p.png");
    EXPECT_EQ(failure(source, QRectF(0, 0, 8 / 128.0, 8 / 128.0)), QString()); // 8 pixels is enough

    ImageCompressionSource gif = source;
    gif.isGIF = true;
    EXPECT_EQ(failure(gif, QRectF(0, 0, 1, 1)), "GIF 暂不支持裁剪：p.png");
    ImageCompressionSource gone = source;
    gone.url = dir.filePath("gone.png");
    EXPECT_EQ(failure(gone, QRectF(0, 0, 1, 1)), "无法读取图片：gone.png");

    // A temporary folder that cannot take the file: the error names the crop file's path.
    qputenv("TMPDIR", QFile::encodeName(dir.filePath("missing")));
    EXPECT_TRUE(failure(source, QRectF(0, 0, 1, 1)).startsWith("无法创建输出文件：" + dir.filePath("missing/kivo-compression-crop-")));
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    EXPECT_EQ(temp.entries().size(), 1); // only the accepted 8-pixel crop
}
