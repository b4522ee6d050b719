#include <gtest/gtest.h>

#include "platform/ImageContentFormat.h"
#include "platform/ImageDecoding.h"
#include "support/GifTestFiles.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>

namespace {

// A GIF's screen and image descriptors, declaring a side × side picture, behind six bytes that
// are not a GIF signature: 29 bytes that a GIF decoder handed them by the file's name reads as a
// whole picture of background.
QByteArray unsignedGifBody(int side)
{
    QByteArray bytes("NOTGIF", 6);
    const auto u16 = [&bytes](int value) { bytes.append(char(value & 0xFF)).append(char(value >> 8)); };
    u16(side);
    u16(side);
    bytes.append("\0\0\0", 3);
    bytes.append(',');
    u16(0);
    u16(0);
    u16(side);
    u16(side);
    bytes.append('\0');
    bytes.append("\x02\x02\x44\x01\0;", 6);
    return bytes;
}

} // namespace

TEST(ImageContentFormat, TheContentChoosesTheDecoderNotTheName)
{
    QTemporaryDir dir;
    // Bytes without a GIF signature are no GIF, whatever the file is called, at every entry point.
    const QByteArray fake = unsignedGifBody(2000);
    ASSERT_EQ(fake.size(), 29);
    const QString fakeGif = TestSupport::writeFile(dir.filePath(QStringLiteral("screen.gif")), fake);
    EXPECT_FALSE(ImageDecoding::orientedImageSize(fakeGif));
    EXPECT_FALSE(ImageDecoding::loadOrientedImage(fakeGif));
    EXPECT_FALSE(ImageDecoding::makeThumbnail(fakeGif, 96));
    EXPECT_FALSE(ImageDecoding::loadOrientedImageData(fake));
    EXPECT_FALSE(ImageDecoding::previewImageData(fake, 96));

    // A picture under another format's name is read as what it is.
    const QImage picture = TestSupport::solidImage(40, 30, QColor(10, 200, 30));
    const QString pngAsGif =
        TestSupport::writeFile(dir.filePath(QStringLiteral("photo.gif")), TestSupport::encodedImage(picture, "PNG"));
    const std::optional<QImage> png = ImageDecoding::loadOrientedImage(pngAsGif);
    ASSERT_TRUE(png);
    EXPECT_EQ(png->size(), QSize(40, 30));
    EXPECT_EQ(png->pixelColor(5, 5), QColor(10, 200, 30));
    EXPECT_EQ(ImageDecoding::orientedImageSize(pngAsGif), QSize(40, 30));
    const QString gifAsJpeg = dir.filePath(QStringLiteral("animation.jpg"));
    ASSERT_TRUE(GifTestFiles::writeGif(gifAsJpeg, GifTestFiles::simpleAnimation(QSize(40, 30), 2)));
    EXPECT_EQ(ImageDecoding::orientedImageSize(gifAsJpeg), QSize(40, 30));
    const QString noName = TestSupport::writeFile(dir.filePath(QStringLiteral("photo")), TestSupport::encodedImage(picture, "BMP"));
    EXPECT_TRUE(ImageDecoding::makeThumbnail(noName, 96));
}

TEST(ImageContentFormat, FormatsWhoseDataCannotFillTheirPictureAreRefused)
{
    QTemporaryDir dir;
    // Binary grey PNM: a byte a pixel. 5000² declared in 40 bytes, and the same picture whole.
    const QByteArray header("P5\n5000 5000\n255\n");
    EXPECT_FALSE(ImageDecoding::orientedImageSize(
        TestSupport::writeFile(dir.filePath(QStringLiteral("claims.pgm")), header + QByteArray(24, '\0'))));
    const QByteArray small("P5\n300 200\n255\n");
    EXPECT_EQ(ImageDecoding::orientedImageSize(
                  TestSupport::writeFile(dir.filePath(QStringLiteral("whole.pgm")), small + QByteArray(300 * 200, '\x40'))),
              QSize(300, 200));
    EXPECT_FALSE(ImageContentFormat::canHold("xpm", QSize(1000, 1000), 4000));
    EXPECT_TRUE(ImageContentFormat::canHold("png", QSize(10000, 10000), 4000));
}
