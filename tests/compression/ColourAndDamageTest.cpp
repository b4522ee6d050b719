#include "CompressionTestSupport.h"

#include "compression/ImageCompressionService.h"
#include "platform/JpegFile.h"
#include "support/ColourTestFiles.h"
#include "support/ProfileTestFiles.h"
#include "support/TestSupport.h"

#include <QColorSpace>
#include <QImageReader>

#include <gtest/gtest.h>

using namespace ImageCompressionService;
using namespace CompressionTest;

namespace {

int channelDistance(QColor a, QColor b)
{
    return std::max({ std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue()) });
}

// The output's pixels as stored (no tag is applied) and the colour space that came with them.
QImage storedOutput(const ImageCompressionResult &result)
{
    QImageReader reader(result.outputURL);
    reader.setAutoTransform(false);
    return reader.read();
}

ImageCompressionResult compressed(const QString &path, const QString &destination)
{
    const auto probed = source(path);
    EXPECT_TRUE(probed) << qPrintable(path);
    return compress(probed ? *probed : ImageCompressionSource {},
                    ImageCompressionSettings(0.9, ImageCompressionMaxDimension::longEdge800), destination);
}

} // namespace

TEST(CompressionColour, ProfilesStayWithThePixelsTheyDescribe)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    const QColorSpace adobe(QColorSpace::AdobeRgb);
    const QColor stored(120, 160, 90);

    // A wide-gamut portrait photo: turned upright and written with its own profile.
    QImage photo(1200, 900, QImage::Format_RGB32);
    photo.fill(stored);
    photo.setColorSpace(adobe);
    for (const int orientation : { 6, 8 }) {
        const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("portrait%1.jpg").arg(orientation)),
                                                    withExifOrientation(ColourTestFiles::jpeg(photo), orientation));
        const QImage output = storedOutput(compressed(path, out.path()));
        ASSERT_EQ(output.size(), QSize(600, 800));
        EXPECT_EQ(output.colorSpace(), adobe) << orientation;
        EXPECT_LE(channelDistance(output.pixelColor(300, 400), stored), 4) << orientation;
    }

    // Transparency and a profile, flattened onto white for a JPEG: the profile stays.
    QImage clear(1000, 500, QImage::Format_ARGB32);
    clear.fill(QColor(120, 160, 90, 255));
    for (int y = 0; y < 500; ++y)
        for (int x = 0; x < 100; ++x)
            clear.setPixel(x, y, qRgba(0, 0, 0, 0));
    clear.setColorSpace(adobe);
    const QString tiff = dir.filePath(QStringLiteral("clear.tiff"));
    ASSERT_TRUE(clear.save(tiff, "TIFF"));
    ASSERT_EQ(QImageReader(tiff).read().colorSpace(), adobe) << "the fixture carries its profile";
    const QImage flattened = storedOutput(compressed(tiff, out.path()));
    EXPECT_EQ(flattened.colorSpace(), adobe);
    EXPECT_LE(channelDistance(flattened.pixelColor(600, 200), stored), 4);
    EXPECT_LE(channelDistance(flattened.pixelColor(10, 200), Qt::white), 2);

    // CMYK with its own profile: converted through it to sRGB, and no CMYK profile is written
    // over RGB pixels.
    const QString cmyk = TestSupport::writeFile(
        dir.filePath(QStringLiteral("print.jpg")),
        ColourTestFiles::cmykJpeg(QSize(1600, 1000), 0, 0, 0, 128, ColourTestFiles::warmCmykProfile()));
    const ImageCompressionResult converted = compressed(cmyk, out.path());
    const QImage rgb = storedOutput(converted);
    ASSERT_EQ(rgb.size(), QSize(800, 500));
    EXPECT_LE(channelDistance(rgb.pixelColor(400, 250), QColor(127, 102, 76)), 4);
    const auto layout = JpegFile::layout(TestSupport::readFile(converted.outputURL));
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->components, 3);
    if (!layout->iccProfile.isEmpty()) {
        EXPECT_EQ(layout->iccProfile.mid(16, 4), QByteArray("RGB ")) << "the profile's colour space";
    }
}

TEST(CompressionColour, CutShortJpegsAndPageCounts)
{
    QTemporaryDir dir;
    // Half a download: the probe treats it as unreadable rather than compressing a grey half.
    const QByteArray whole = ColourTestFiles::jpeg(photoLike(400, 300), 90);
    const QString full = TestSupport::writeFile(dir.filePath(QStringLiteral("whole.jpg")), whole);
    const QString half = TestSupport::writeFile(dir.filePath(QStringLiteral("half.jpg")), whole.left(whole.size() / 2));
    EXPECT_TRUE(source(full));
    EXPECT_FALSE(source(half));
    // Bytes after the end marker (as some cameras append) do not make a whole file look cut.
    const QString trailing
        = TestSupport::writeFile(dir.filePath(QStringLiteral("trailing.jpg")), whole + QByteArray(100, 'x'));
    EXPECT_TRUE(source(trailing));

    // A three-page TIFF counts its pages.
    const QString pages = TestSupport::writeFile(dir.filePath(QStringLiteral("pages.tiff")),
                                                 ColourTestFiles::multiPageTiff(QSize(40, 30), 3));
    const auto probed = source(pages);
    ASSERT_TRUE(probed);
    EXPECT_EQ(probed->frameCount, 3);
    EXPECT_EQ(probed->pixelSize, QSizeF(40, 30));
}

TEST(CompressionColour, HalfTransparentPixelsAreFlattenedInThePicturesOwnColourSpace)
{
    // Over white in the stored (Adobe RGB) values, not after a conversion to sRGB and back: the
    // output keeps the profile, so its pixels must be those a colour-managed reader flattens to.
    QTemporaryDir dir;
    QTemporaryDir out;
    const QColorSpace adobe(QColorSpace::AdobeRgb);
    for (const QImage::Format format : { QImage::Format_ARGB32, QImage::Format_RGBA64 }) {
        QImage veiled(600, 400, QImage::Format_ARGB32);
        veiled.fill(qRgba(200, 40, 90, 128));
        QImage image = veiled.convertToFormat(format);
        image.setColorSpace(adobe);
        const QString tiff = dir.filePath(QStringLiteral("veiled%1.tiff").arg(int(format)));
        ASSERT_TRUE(image.save(tiff, "TIFF"));
        const QImage flattened = storedOutput(compressed(tiff, out.path()));
        EXPECT_EQ(flattened.colorSpace(), adobe);
        const auto over = [](int channel) { return (channel * 128 + 255 * 127 + 127) / 255; };
        EXPECT_LE(channelDistance(flattened.pixelColor(300, 200), QColor(over(200), over(40), over(90))), 3) << format;
    }
}

// A grey JPEG with a grey profile of its own (linear here, far from sRGB's curve) is compressed in
// the colours the profile gives it, without a profile that would not fit its pixels.
TEST(CompressionColour, GreyPicturesAreCompressedThroughTheirGreyProfile)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    QImage grey(QSize(256, 64), QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x)
            grey.scanLine(y)[x] = uchar(x / 16 * 16); // flat 16-pixel columns
    const QByteArray profile = ProfileTestFiles::linearGreyProfile();
    const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("grey.jpg")),
                                                ProfileTestFiles::greyJpeg(grey, profile));
    const ImageCompressionResult result = compressed(path, out.path());
    ASSERT_FALSE(result.usedOriginalCopy);
    const QImage output = storedOutput(result);
    EXPECT_LT(ProfileTestFiles::meanDifference(output, ProfileTestFiles::librarySrgb(grey, profile)), 3);
    const auto layout = JpegFile::layout(TestSupport::readFile(result.outputURL));
    ASSERT_TRUE(layout);
    EXPECT_TRUE(layout->iccProfile.isEmpty() || layout->iccProfile.mid(16, 4) == "GRAY");
}

// A CMYK TIFF with a CMYK profile is compressed in the colours its profile gives it.
TEST(CompressionColour, CmykTiffsAreCompressedThroughTheirProfile)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    const QSize size(64, 32);
    const std::vector<uchar> ink = ProfileTestFiles::cmykPatches(size);
    const QByteArray profile = ColourTestFiles::warmCmykProfile();
    const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("print.tif")),
                                                ProfileTestFiles::cmykTiff(size, ink, profile));
    const QImage output = storedOutput(compressed(path, out.path()));
    EXPECT_LT(ProfileTestFiles::meanDifference(output, ProfileTestFiles::librarySrgb(size, ink, profile)), 4);
}

// Tiled, planar and 16-bit ones too; and one whose data cannot fill its picture is refused.
TEST(CompressionColour, CmykTiffsOfEveryLayoutAndUnfillableTiffs)
{
    QTemporaryDir dir;
    const QSize size(40, 28);
    const std::vector<uchar> ink = ProfileTestFiles::cmykPatches(size);
    const QByteArray profile = ColourTestFiles::warmCmykProfile();
    const QImage expected = ProfileTestFiles::librarySrgb(size, ink, profile);
    using Shape = ProfileTestFiles::CmykTiffShape;
    for (const Shape shape : {Shape {true, true, 8}, Shape {false, true, 16}, Shape {true, false, 16}}) {
        const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("print.tif")),
                                                    ProfileTestFiles::cmykTiff(size, ink, profile, shape));
        const CompressionImageIO::UprightImage read = CompressionImageIO::loadUprightImage(path);
        ASSERT_FALSE(read.image.isNull()) << shape.tiled << shape.planar << shape.bits;
        EXPECT_LE(ProfileTestFiles::meanDifference(read.image, expected), 1) << shape.tiled << shape.planar << shape.bits;
    }
    const QString shared = TestSupport::writeFile(dir.filePath(QStringLiteral("shared.tif")),
                                                  ColourTestFiles::sharedRowTiff(QSize(7000, 7000), 4, profile));
    EXPECT_TRUE(CompressionImageIO::loadUprightImage(shared).image.isNull());
    EXPECT_FALSE(ImageCompressionService::source(shared));
    QTemporaryDir out;
    ImageCompressionSource source;
    source.url = shared;
    source.fileName = QStringLiteral("shared.tif");
    source.pixelSize = QSizeF(7000, 7000);
    try {
        ImageCompressionService::compress(source, {}, out.path());
        ADD_FAILURE() << "a picture its data cannot fill must not compress";
    } catch (const ImageCompressionServiceError &error) {
        EXPECT_EQ(error.description(), QStringLiteral("图片过大，无法处理：shared.tif"));
    }
}

TEST(CompressionColour, PngsThatSaySrgbThroughTheirGammaAreNotShifted)
{
    QTemporaryDir dir;
    QImage picture(90, 60, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x * 2 + 20, y * 4, (x * y) % 256));
    const QByteArray plain = TestSupport::encodedImage(picture, "PNG");
    const QByteArray stated = ColourTestFiles::pngWithChunks(
        plain, ColourTestFiles::pngChunk("gAMA", {45455}) + ColourTestFiles::pngChunk("cHRM", ColourTestFiles::srgbChromaticities()));
    const QImage read = CompressionImageIO::loadUprightImage(TestSupport::writeFile(dir.filePath("stated.png"), stated)).image;
    ASSERT_FALSE(read.isNull());
    EXPECT_EQ(read.colorSpace(), QColorSpace(QColorSpace::SRgb));
    EXPECT_EQ(TestSupport::maxChannelDifference(read.convertToFormat(QImage::Format_RGB32), picture), 0);
}
