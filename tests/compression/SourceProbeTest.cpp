#include "CompressionTestSupport.h"

#include "compression/ImageCompressionService.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace ImageCompressionService;
using namespace CompressionTest;

namespace {

QStringList names(const QStringList &paths)
{
    QStringList out;
    for (const QString &p : paths)
        out << QFileInfo(p).fileName();
    return out;
}

QString makePng(const QString &path, int w = 16, int h = 12)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return saveImage(TestSupport::solidImage(w, h, Qt::red), path, "png");
}

} // namespace

TEST(SourceDiscovery, NaturalOrderDeduplicationAndWhatIsLeftOut)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char *name : {"img10.jpg", "img2.jpg", "B.png", "a.png"})
        makePng(root + "/" + name);
    makePng(root + "/nested/deeper/c3.png");
    makePng(root + "/.hidden.png");
    makePng(root + "/.secret/inside.png");
    TestSupport::writeFile(root + "/notes.txt", "hello");
    TestSupport::writeFile(root + "/vector.svg", "<svg xmlns='http://www.w3.org/2000/svg'/>");
    QFile::link(root, root + "/nested/loop"); // a link back to the top must not trap the walk

    const QStringList found = expandedImageURLs({root, root + "/a.png", root + "/nested/../a.png",
                                                 root + "/missing.png", root + "/notes.txt"});
    EXPECT_EQ(names(found), QStringList({"a.png", "B.png", "c3.png", "img2.jpg", "img10.jpg"}));

    EXPECT_EQ(deduplicatedURLs({"/a/./b.png", "/a/b.png", "/a/c.png"}), QStringList({"/a/./b.png", "/a/c.png"}));
    EXPECT_TRUE(imageURLs(root + "/nothing-here").isEmpty());
    EXPECT_EQ(imageURLs(root + "/a.png"), QStringList({root + "/a.png"}));

    // Same name in two folders: the order of the inputs decides (stable sort).
    makePng(root + "/one/same.png");
    makePng(root + "/two/same.png");
    const QStringList same = expandedImageURLs({root + "/two/same.png", root + "/one/same.png"});
    EXPECT_EQ(same, QStringList({root + "/two/same.png", root + "/one/same.png"}));

    EXPECT_TRUE(naturalFileNameLess("img2", "img10"));
    EXPECT_TRUE(naturalFileNameLess("a", "B"));
    EXPECT_TRUE(naturalFileNameLess("x007", "x8"));
    EXPECT_FALSE(naturalFileNameLess("IMG", "img"));
}

TEST(SourceProbe, StillImagesGifsAndUnreadableFiles)
{
    QTemporaryDir dir;
    const QString png = makePng(dir.filePath("a.png"), 100, 50);
    const QString gif = dir.filePath("anim.gif");
    ASSERT_TRUE(writeGif(gif, simpleAnimation(QSize(40, 30), 20)));
    const QString gifNamedPng = dir.filePath("really-gif.png");
    QFile::copy(gif, gifNamedPng);
    const QString pngNamedGif = makePng(dir.filePath("really-png.gif"), 20, 10);
    const QString truncated = TestSupport::writeFile(dir.filePath("cut.jpg"),
        QByteArray::fromHex("FFD8FFE000104A464946000101"));
    const QString zeroFrames = TestSupport::writeFile(dir.filePath("empty.gif"),
        QByteArray("GIF89a\x0A\0\x0A\0\0\0\0;", 14));

    const auto sources = ImageCompressionService::sources({dir.path()});
    ASSERT_EQ(sources.size(), 4u);

    const auto &stillPng = sources[0];
    EXPECT_EQ(stillPng.fileName, "a.png");
    EXPECT_EQ(stillPng.pixelSize, QSizeF(100, 50));
    EXPECT_EQ(stillPng.frameCount, 1);
    EXPECT_FALSE(stillPng.isGIF);
    EXPECT_EQ(stillPng.originalBytes, QFileInfo(png).size());
    EXPECT_EQ(stillPng.thumbnail.size(), QSize(100, 50));

    EXPECT_EQ(sources[1].fileName, "anim.gif");
    EXPECT_TRUE(sources[1].isGIF);
    EXPECT_EQ(sources[1].frameCount, 20);
    EXPECT_EQ(sources[1].pixelSize, QSizeF(40, 30));
    EXPECT_EQ(sources[2].fileName, "really-gif.png");
    EXPECT_TRUE(sources[2].isGIF);
    EXPECT_EQ(sources[2].frameCount, 20);
    EXPECT_EQ(sources[3].fileName, "really-png.gif");
    EXPECT_TRUE(sources[3].isGIF);
    EXPECT_EQ(sources[3].frameCount, 1);
    EXPECT_NE(sources[0].id, sources[1].id);

    EXPECT_FALSE(source(truncated));
    EXPECT_FALSE(source(zeroFrames));
    EXPECT_FALSE(source(dir.filePath("missing.png")));
    EXPECT_FALSE(source(dir.path()));
}

TEST(SourceProbe, OrientationTagGivesTheUprightSizeAndThumbnail)
{
    QTemporaryDir dir;
    // Stored 400 × 300, left half red, right half blue; orientation 6 turns it a quarter clockwise.
    QImage stored(400, 300, QImage::Format_RGB32);
    stored.fill(Qt::blue);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 200; ++x)
            stored.setPixel(x, y, qRgb(255, 0, 0));
    QByteArray jpeg;
    {
        QTemporaryDir scratch;
        const QString plain = saveImage(stored, scratch.filePath("p.jpg"), "jpeg", 95);
        QFile file(plain);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        jpeg = file.readAll();
    }
    const QString path = TestSupport::writeFile(dir.filePath("turned.jpg"), withExifOrientation(jpeg, 6));

    const auto probed = source(path);
    ASSERT_TRUE(probed);
    EXPECT_EQ(probed->pixelSize, QSizeF(300, 400));
    ASSERT_EQ(probed->thumbnail.size(), QSize(96, 128));
    // After the quarter turn the red half is on top.
    EXPECT_GT(qRed(probed->thumbnail.pixel(48, 10)), 200);
    EXPECT_GT(qBlue(probed->thumbnail.pixel(48, 118)), 200);
}

TEST(SourceProbe, HeaderClaimingAHugeSizeIsRefusedWithoutDecoding)
{
    QTemporaryDir dir;
    const QString bomb = TestSupport::writeFile(dir.filePath("bomb.png"), pngHeaderClaiming(60000, 60000));
    // A GIF whose canvas is beyond the pixel cap.
    static const char hugeCanvas[] = "GIF89a\xFF\xFF\xFF\xFF\0\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;";
    const QString gifBomb = TestSupport::writeFile(dir.filePath("bomb.gif"), QByteArray(hugeCanvas, sizeof hugeCanvas - 1));
    EXPECT_FALSE(source(bomb));
    EXPECT_FALSE(source(gifBomb));
    EXPECT_TRUE(CompressionImageIO::loadUprightImage(gifBomb).tooLarge);
    // The same screen behind a one-pixel frame, whose size is what Qt's reader gives for the picture.
    static const char hugeScreen[] = "GIF89a\x20\x4E\x20\x4E\0\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;";
    const QString screenBomb =
        TestSupport::writeFile(dir.filePath("screen.gif"), QByteArray(hugeScreen, sizeof hugeScreen - 1));
    EXPECT_FALSE(source(screenBomb));
    EXPECT_TRUE(CompressionImageIO::loadUprightImage(screenBomb).tooLarge);
    EXPECT_TRUE(CompressionImageIO::loadUprightImage(screenBomb, 800).tooLarge);

    ImageCompressionSource fake;
    fake.url = bomb;
    fake.fileName = "bomb.png";
    fake.pixelSize = QSizeF(60000, 60000);
    QTemporaryDir out;
    try {
        compress(fake, {}, out.path());
        FAIL() << "a bomb must not compress";
    } catch (const ImageCompressionServiceError &error) {
        EXPECT_EQ(error.description(), "图片过大，无法处理：bomb.png");
    }
    EXPECT_TRUE(QDir(out.path()).isEmpty());
}

TEST(SourceProbe, PaletteTransparencyReachesTheThumbnail)
{
    QTemporaryDir dir;
    QImage palette(300, 200, QImage::Format_Indexed8);
    palette.setColorTable({ qRgba(255, 0, 0, 128), qRgba(0, 0, 0, 0) });
    palette.fill(0);
    // Close to the thumbnail's size too, where the picture is not reduced by averaging.
    for (const QSize size : { QSize(300, 200), QSize(200, 150) }) {
        const QString path = saveImage(palette.copy(0, 0, size.width(), size.height()),
                                       dir.filePath(QStringLiteral("p%1.png").arg(size.width())), "png");
        const auto probed = source(path);
        ASSERT_TRUE(probed);
        const QImage &thumbnail = probed->thumbnail;
        const QColor centre = thumbnail.pixelColor(thumbnail.width() / 2, thumbnail.height() / 2);
        EXPECT_NEAR(centre.alpha(), 128, 3) << size.width();
        EXPECT_EQ(centre.red(), 255) << size.width();
    }
}

TEST(SourceProbe, ThumbnailSizes)
{
    EXPECT_EQ(makeThumbnail(QImage(4000, 3000, QImage::Format_RGB32), 128).size(), QSize(128, 96));
    EXPECT_EQ(makeThumbnail(QImage(100, 50, QImage::Format_RGB32), 128).size(), QSize(100, 50));
    EXPECT_EQ(makeThumbnail(QImage(1000, 1, QImage::Format_RGB32), 128).size(), QSize(128, 1));
}

TEST(SourceProbe, TheContentChoosesTheDecoderNotTheName)
{
    QTemporaryDir dir;
    // A GIF's descriptors for a 3000 × 3000 picture behind six bytes that are no GIF signature.
    static const char body[] = "NOTGIF\xB8\x0B\xB8\x0B\0\0\0,\0\0\0\0\xB8\x0B\xB8\x0B\0\x02\x02\x44\x01\0;";
    const QByteArray fake(body, sizeof body - 1);
    ASSERT_EQ(fake.size(), 29);
    const QString fakeGif = TestSupport::writeFile(dir.filePath("screen.gif"), fake);
    EXPECT_FALSE(source(fakeGif));
    EXPECT_TRUE(CompressionImageIO::loadUprightImage(fakeGif, 128, true, true).image.isNull());
    EXPECT_TRUE(CompressionImageIO::loadUprightImage(fakeGif).image.isNull());

    // A PNG under a GIF's name is a still picture, read as a PNG.
    const QString pngAsGif = makePng(dir.filePath("photo.gif"), 30, 20);
    const CompressionImageIO::UprightImage png = CompressionImageIO::loadUprightImage(pngAsGif);
    ASSERT_FALSE(png.image.isNull());
    EXPECT_EQ(png.image.size(), QSize(30, 20));
}
