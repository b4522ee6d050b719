#include <gtest/gtest.h>

#include "platform/ImageDecoding.h"
#include "support/ColourTestFiles.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>

using ColourTestFiles::pngChunk;
using ColourTestFiles::pngWithChunks;

namespace {

// A picture of many colours, as a photo has.
QImage pngColourChunksPicture()
{
    QImage image(120, 80, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 2 + 10, y * 3, (x * y) % 256));
    return image;
}

} // namespace

TEST(PngColourChunks, GammaAndPrimariesThatSaySrgbAreSrgb)
{
    QTemporaryDir dir;
    const QByteArray plain = TestSupport::encodedImage(pngColourChunksPicture(), "PNG");
    ASSERT_EQ(plain.mid(12, 4), "IHDR");
    const std::optional<QImage> expected = ImageDecoding::loadOrientedImageData(plain);
    const std::optional<ImageDecoding::Preview> plainPreview = ImageDecoding::previewImageData(plain, 60);
    ASSERT_TRUE(expected && plainPreview);

    // gAMA 1/2.2 with sRGB's primaries, in either order, as many writers record an sRGB picture;
    // and gAMA alone, which leaves the primaries sRGB's.
    const QByteArray gamma = pngChunk("gAMA", {45455});
    const QByteArray primaries = pngChunk("cHRM", ColourTestFiles::srgbChromaticities());
    for (const QByteArray &chunks : {gamma + primaries, primaries + gamma, gamma}) {
        const QByteArray stated = pngWithChunks(plain, chunks);
        const std::optional<QImage> read =
            ImageDecoding::loadOrientedImage(TestSupport::writeFile(dir.filePath(QStringLiteral("stated.png")), stated));
        ASSERT_TRUE(read);
        EXPECT_EQ(TestSupport::maxChannelDifference(*read, *expected), 0);
        const std::optional<QImage> held = ImageDecoding::loadOrientedImageData(stated);
        ASSERT_TRUE(held);
        EXPECT_EQ(TestSupport::maxChannelDifference(*held, *expected), 0);
        const std::optional<ImageDecoding::Preview> preview = ImageDecoding::previewImageData(stated, 60);
        ASSERT_TRUE(preview);
        EXPECT_EQ(TestSupport::maxChannelDifference(preview->thumbnail, plainPreview->thumbnail), 0);
    }

    // Another gamma, or other primaries: read as they say.
    const QByteArray wide = pngChunk("cHRM", {31270, 32900, 70800, 29200, 17000, 79700, 13100, 4600});
    for (const QByteArray &chunks : {pngChunk("gAMA", {55556}), gamma + wide}) {
        const std::optional<QImage> read = ImageDecoding::loadOrientedImageData(pngWithChunks(plain, chunks));
        ASSERT_TRUE(read);
        EXPECT_GT(TestSupport::maxChannelDifference(*read, *expected), 4);
    }
}
