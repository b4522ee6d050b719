#include <gtest/gtest.h>

#include "model/ImageHandle.h"
#include "platform/ImageDecoding.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <thread>

namespace {

// A picture whose pixels all differ, so a wrong or shifted decode shows.
QImage gradient(int width, int height, int seed = 0)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7 + seed) & 0xFF, (y * 5 + seed) & 0xFF, (x + y + seed) & 0xFF));
    return image;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return bytes;
}

// With a zero limit the cache holds only the latest picture: decoding another one pushes every
// other picture out, so the next read goes back to its source.
void evictOthers()
{
    ImageHandle::fromEncodedData(encoded(gradient(2, 2), "PNG"), QSize(2, 2)).image();
}

// Restores the default cache limit however the test ends.
struct CacheLimitGuard {
    ~CacheLimitGuard() { ImageHandle::setCacheLimit(ImageHandle::defaultCacheLimit); }
};

} // namespace

TEST(ImageHandle, LazyHandlesGiveExactlyTheImportedPixels)
{
    QTemporaryDir dir;
    const QImage picture = gradient(120, 80);
    for (const char *format : {"PNG", "JPEG"}) {
        const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("p.") + format), encoded(picture, format));
        const std::optional<QImage> expected = ImageDecoding::loadOrientedImage(path);
        ASSERT_TRUE(expected);

        const ImageHandle fromFile = ImageHandle::fromFile(path, expected->size());
        ASSERT_FALSE(fromFile.isNull());
        EXPECT_TRUE(fromFile.isLazy());
        EXPECT_EQ(fromFile.size(), QSize(120, 80));
        EXPECT_EQ(fromFile.image(), *expected) << format;

        const ImageHandle fromBytes = ImageHandle::fromEncodedData(encoded(picture, format), expected->size());
        EXPECT_EQ(fromBytes.image(), *expected) << format;

        // Copies share one picture, and so one cache entry.
        const ImageHandle copy = fromFile;
        EXPECT_TRUE(copy.sharesPictureWith(fromFile));
        EXPECT_EQ(copy.image().constBits(), fromFile.image().constBits());
    }
    // A size that does not match the content gives no picture rather than a wrong one.
    const QString png = dir.filePath(QStringLiteral("p.PNG"));
    EXPECT_TRUE(ImageHandle::fromFile(png, QSize(80, 120)).image().isNull());
    EXPECT_TRUE(ImageHandle::fromFile(dir.filePath(QStringLiteral("missing.png")), QSize(1, 1)).isNull());
    EXPECT_TRUE(ImageHandle::fromEncodedData(QByteArray(), QSize(1, 1)).isNull());

    // Many threads asking at once all get the same picture.
    const ImageHandle shared = ImageHandle::fromEncodedData(encoded(picture, "PNG"), picture.size());
    std::vector<QImage> results(6);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&, i] { results[i] = shared.image(); });
    for (std::thread &thread : threads)
        thread.join();
    for (const QImage &result : results)
        EXPECT_EQ(result, picture);
}

TEST(ImageHandle, AChangedFileGivesNoPicture)
{
    QTemporaryDir dir;
    CacheLimitGuard guard;
    ImageHandle::setCacheLimit(0); // every read goes back to the file
    const QString path = dir.filePath(QStringLiteral("photo.png"));
    const QImage original = gradient(64, 48);
    TestSupport::writeFile(path, encoded(original, "PNG"));
    const ImageHandle handle = ImageHandle::fromFile(path, original.size());
    ASSERT_EQ(handle.image(), original);
    evictOthers();

    // Other pixels in a file of exactly the same length and modification time: only the
    // content hash can tell.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QDateTime modified = file.fileTime(QFileDevice::FileModificationTime);
    QByteArray bytes = file.readAll();
    bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x55);
    file.seek(0);
    file.write(bytes);
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    file.close();
    EXPECT_TRUE(handle.image().isNull());
    evictOthers();
    // Once seen changed, it stays refused even when the old bytes come back.
    TestSupport::writeFile(path, encoded(original, "PNG"));
    EXPECT_TRUE(handle.image().isNull());

    // A file replaced by another picture, and a deleted file.
    const QString other = dir.filePath(QStringLiteral("other.png"));
    TestSupport::writeFile(other, encoded(original, "PNG"));
    const ImageHandle second = ImageHandle::fromFile(other, original.size());
    ASSERT_EQ(second.image(), original);
    evictOthers();
    TestSupport::writeFile(other, encoded(gradient(64, 48, 9), "PNG"));
    EXPECT_TRUE(second.image().isNull());
    const QString third = dir.filePath(QStringLiteral("third.png"));
    TestSupport::writeFile(third, encoded(original, "PNG"));
    const ImageHandle deleted = ImageHandle::fromFile(third, original.size());
    ASSERT_TRUE(QFile::remove(third));
    EXPECT_TRUE(deleted.image().isNull());
}

TEST(ImageHandle, TheCacheStaysWithinItsLimitAndKeepsTheLatestPicture)
{
    CacheLimitGuard guard;
    const qint64 before = ImageHandle::cachedBytes();
    ASSERT_EQ(before, 0);
    const QImage picture = gradient(100, 100); // 40 000 bytes decoded
    const qint64 pictureBytes = picture.sizeInBytes();
    {
        std::vector<ImageHandle> handles;
        for (int i = 0; i < 5; ++i)
            handles.push_back(ImageHandle::fromEncodedData(encoded(gradient(100, 100, i), "PNG"), picture.size()));
        ImageHandle::setCacheLimit(before + 2 * pictureBytes);
        for (const ImageHandle &handle : handles)
            ASSERT_FALSE(handle.image().isNull());
        EXPECT_EQ(ImageHandle::cachedBytes(), before + 2 * pictureBytes);

        // A limit below one picture still keeps the one in use.
        ImageHandle::setCacheLimit(1);
        EXPECT_EQ(ImageHandle::cachedBytes(), pictureBytes);
        EXPECT_EQ(handles[2].image(), gradient(100, 100, 2));
        EXPECT_EQ(ImageHandle::cachedBytes(), pictureBytes);
        ImageHandle::setCacheLimit(ImageHandle::defaultCacheLimit);

        // A picture decoded on open goes straight into the cache.
        const ImageHandle primed = ImageHandle::fromEncodedData(QByteArray("not an image"), picture.size(), picture);
        EXPECT_EQ(primed.image(), picture);
    }
    // The last handle of a picture takes its cache entry with it.
    EXPECT_EQ(ImageHandle::cachedBytes(), 0);
}

TEST(ImageHandle, AOneUseDecodeLeavesTheCacheAsItWas)
{
    QTemporaryDir dir;
    const QImage original = gradient(90, 60, 4);
    const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("photo.png")), encoded(original, "PNG"));
    const ImageHandle fromFile = ImageHandle::fromFile(path, original.size());
    const ImageHandle fromBytes = ImageHandle::fromEncodedData(encoded(original, "PNG"), original.size());
    const qint64 before = ImageHandle::cachedBytes();

    // Exact pixels, and nothing kept: an export over many photos does not fill the cache.
    EXPECT_EQ(fromFile.imageForOneUse(), original);
    EXPECT_EQ(fromBytes.imageForOneUse(), original);
    EXPECT_EQ(ImageHandle::cachedBytes(), before);

    // A picture the canvas already holds is shared, not decoded again.
    const QImage shown = fromFile.image();
    ASSERT_EQ(ImageHandle::cachedBytes(), before + shown.sizeInBytes());
    EXPECT_EQ(fromFile.imageForOneUse().cacheKey(), shown.cacheKey());
    EXPECT_EQ(ImageHandle::cachedBytes(), before + shown.sizeInBytes());

    // Pixels that do not match the handle are refused, as by image().
    const ImageHandle stale = ImageHandle::fromFile(path, QSize(90, 61));
    EXPECT_TRUE(stale.imageForOneUse().isNull());
    EXPECT_TRUE(ImageHandle(original).imageForOneUse() == original);
    EXPECT_TRUE(ImageHandle().imageForOneUse().isNull());
}

TEST(ImageHandle, ThumbnailsComeFromTheSourceAtTheAskedSizeWithoutFillingTheCache)
{
    QTemporaryDir dir;
    CacheLimitGuard guard;
    QImage picture(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x * 255 / 399, y * 255 / 299, 128));
    const QSize expected = ImageDecoding::thumbnailSize(picture.size(), 40);
    for (const char *format : {"PNG", "JPEG"}) {
        const QByteArray bytes = encoded(picture, format);
        const ImageHandle fromBytes = ImageHandle::fromEncodedData(bytes, picture.size());
        const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("t.") + format), bytes);
        const ImageHandle fromFile = ImageHandle::fromFile(path, picture.size());
        for (const ImageHandle &handle : {fromBytes, fromFile, ImageHandle(picture)}) {
            const qint64 cached = ImageHandle::cachedBytes();
            const QImage thumbnail = handle.thumbnail(40);
            ASSERT_EQ(thumbnail.size(), expected) << format;
            EXPECT_EQ(ImageHandle::cachedBytes(), cached) << format;
            // The picture's own colours, shrunk: the middle pixel is near the full picture's.
            const QColor small = thumbnail.pixelColor(expected.width() / 2, expected.height() / 2);
            const QColor full = picture.pixelColor(200, 150);
            EXPECT_NEAR(small.red(), full.red(), 12) << format;
            EXPECT_NEAR(small.green(), full.green(), 12) << format;
        }
        // A picture already decoded is shrunk as it is.
        ASSERT_FALSE(fromBytes.image().isNull());
        EXPECT_EQ(fromBytes.thumbnail(40).size(), expected);
    }
    // Nothing where image() gives nothing: a size the content does not have, a changed file.
    EXPECT_TRUE(ImageHandle::fromEncodedData(encoded(picture, "PNG"), QSize(300, 400)).thumbnail(40).isNull());
    const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("changing.png")), encoded(picture, "PNG"));
    const ImageHandle changing = ImageHandle::fromFile(path, picture.size());
    TestSupport::writeFile(path, encoded(gradient(400, 300, 7), "PNG"));
    EXPECT_TRUE(changing.thumbnail(40).isNull());
    EXPECT_TRUE(ImageHandle().thumbnail(40).isNull());
}
