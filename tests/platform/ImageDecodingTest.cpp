#include <gtest/gtest.h>

#include "platform/ImageDecoding.h"
#include "support/ColourTestFiles.h"
#include "support/GifTestFiles.h"
#include "support/ProfileTestFiles.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QColorSpace>
#include <QTemporaryDir>

namespace {

// A JPEG of the image with an EXIF APP1 segment carrying the orientation tag spliced in after SOI.
QByteArray jpegWithOrientation(const QImage &image, quint16 orientation)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);

    QByteArray tiff("MM\0\x2A\0\0\0\x08", 8); // big-endian header, first IFD at 8
    tiff.append("\0\x01", 2);                  // one entry
    tiff.append("\x01\x12\0\x03\0\0\0\x01", 8); // Orientation, SHORT, count 1
    tiff.append(char(orientation >> 8)).append(char(orientation & 0xFF)).append("\0\0", 2);
    tiff.append("\0\0\0\0", 4); // no next IFD
    QByteArray app1("\xFF\xE1", 2);
    const int length = 2 + 6 + tiff.size();
    app1.append(char(length >> 8)).append(char(length & 0xFF));
    app1.append("Exif\0\0", 6).append(tiff);
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

// Left half red, right half blue.
QImage halves(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(220, 20, 20));
    for (int y = 0; y < height; ++y)
        for (int x = width / 2; x < width; ++x)
            image.setPixelColor(x, y, QColor(20, 20, 220));
    return image;
}

bool isRed(QColor c)
{
    return c.red() > 150 && c.blue() < 100;
}

bool isBlue(QColor c)
{
    return c.blue() > 150 && c.red() < 100;
}

} // namespace

TEST(ImageDecoding, AppliesTheExifOrientation)
{
    QTemporaryDir dir;
    // Orientation 6: stored sideways, shown turned a quarter clockwise, so the stored left half
    // becomes the top half.
    const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("rotated.jpg")),
                                                jpegWithOrientation(halves(800, 600), 6));
    const auto image = ImageDecoding::loadOrientedImage(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(600, 800));
    EXPECT_TRUE(isRed(image->pixelColor(300, 100)));
    EXPECT_TRUE(isBlue(image->pixelColor(300, 700)));
    EXPECT_EQ(image->format(), QImage::Format_RGB32);

    // Its thumbnail is upright too, 72 × 96 both from the picture and from the file (where the
    // JPEG is decoded already reduced, in the stored orientation).
    EXPECT_EQ(ImageDecoding::makeThumbnail(*image, 96).size(), QSize(72, 96));
    const auto fromFile = ImageDecoding::makeThumbnail(path, 96);
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(fromFile->size(), QSize(72, 96));
    EXPECT_TRUE(isRed(fromFile->pixelColor(36, 10)));
    EXPECT_TRUE(isBlue(fromFile->pixelColor(36, 86)));
}

TEST(ImageDecoding, ThumbnailSizes)
{
    EXPECT_EQ(ImageDecoding::thumbnailSize({4000, 3000}, 96), QSize(96, 72));
    EXPECT_EQ(ImageDecoding::thumbnailSize({3000, 4000}, 96), QSize(72, 96));
    EXPECT_EQ(ImageDecoding::thumbnailSize({3000, 1}, 96), QSize(96, 1));
    EXPECT_EQ(ImageDecoding::thumbnailSize({50, 20}, 96), QSize(50, 20));
    EXPECT_EQ(ImageDecoding::thumbnailSize({96, 96}, 96), QSize(96, 96));
    EXPECT_EQ(ImageDecoding::thumbnailSize({1000, 333}, 96), QSize(96, 32));

    const QImage wide = TestSupport::solidImage(3000, 1, Qt::red);
    const QImage wideThumb = ImageDecoding::makeThumbnail(wide, 96);
    EXPECT_EQ(wideThumb.size(), QSize(96, 1));
    EXPECT_EQ(wideThumb.pixelColor(50, 0), QColor(Qt::red));
    const QImage small = TestSupport::solidImage(50, 20, Qt::blue);
    EXPECT_EQ(ImageDecoding::makeThumbnail(small, 96).cacheKey(), small.cacheKey());
    EXPECT_TRUE(ImageDecoding::makeThumbnail(QImage(), 96).isNull());

    // Transparency is kept.
    QImage clear(400, 200, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    EXPECT_EQ(qAlpha(ImageDecoding::makeThumbnail(clear, 96).pixel(10, 10)), 0);

    // A PNG goes the full-decode way and gives the same size as a JPEG would.
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("wide.png"));
    ASSERT_TRUE(wide.save(png));
    const auto pngThumb = ImageDecoding::makeThumbnail(png, 96);
    ASSERT_TRUE(pngThumb);
    EXPECT_EQ(pngThumb->size(), QSize(96, 1));
}

TEST(ImageDecoding, NormalisesDepthAndColourSpace)
{
    QTemporaryDir dir;
    // 16 bits per channel become 8.
    QImage deep(20, 10, QImage::Format_RGBA64);
    deep.fill(QColor(10, 200, 30, 128));
    const QString deepPath = dir.filePath(QStringLiteral("deep.png"));
    ASSERT_TRUE(deep.save(deepPath));
    const auto deepImage = ImageDecoding::loadOrientedImage(deepPath);
    ASSERT_TRUE(deepImage);
    EXPECT_EQ(deepImage->format(), QImage::Format_ARGB32);
    EXPECT_NEAR(qAlpha(deepImage->pixel(5, 5)), 128, 1);

    // A wide-gamut profile is converted to sRGB at decode.
    QImage wide(20, 10, QImage::Format_RGB32);
    wide.fill(QColor(40, 200, 60));
    wide.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    const QString widePath = dir.filePath(QStringLiteral("wide.png"));
    ASSERT_TRUE(wide.save(widePath));
    const auto converted = ImageDecoding::loadOrientedImage(widePath);
    ASSERT_TRUE(converted);
    EXPECT_EQ(converted->colorSpace(), QColorSpace(QColorSpace::SRgb));
    EXPECT_NE(converted->pixelColor(5, 5), QColor(40, 200, 60));
    EXPECT_LT(converted->pixelColor(5, 5).red(), 40);
}

TEST(ImageDecoding, SixteenBitThumbnailsMatchTheirEightBitTwin)
{
    // Columns alternating opaque and half transparent, in colour: the thumbnail averages them, so
    // its alpha is about 191 and its colours the alpha-weighted mean, whatever the file's depth.
    QImage eight(400, 300, QImage::Format_ARGB32);
    for (int y = 0; y < eight.height(); ++y)
        for (int x = 0; x < eight.width(); ++x)
            eight.setPixel(x, y, x % 2 ? qRgba(240, y * 255 / 300, 40, 255) : qRgba(20, 100, 220, 128));
    QTemporaryDir dir;
    const QString eightPath = dir.filePath(QStringLiteral("eight.png"));
    const QString sixteenPath = dir.filePath(QStringLiteral("sixteen.png"));
    ASSERT_TRUE(eight.save(eightPath));
    ASSERT_TRUE(eight.convertToFormat(QImage::Format_RGBA64).save(sixteenPath));
    const auto fromEight = ImageDecoding::makeThumbnail(eightPath, 96);
    const auto fromSixteen = ImageDecoding::makeThumbnail(sixteenPath, 96);
    ASSERT_TRUE(fromEight && fromSixteen);
    ASSERT_EQ(fromSixteen->size(), QSize(96, 72));
    EXPECT_NEAR(qAlpha(fromSixteen->pixel(48, 36)), 191, 2);
    EXPECT_LE(TestSupport::maxChannelDifference(*fromSixteen, *fromEight), 2);
    // The project list's thumbnails come the same way from held bytes.
    const auto held = ImageDecoding::previewImageData(TestSupport::encodedImage(eight.convertToFormat(QImage::Format_RGBA64), "PNG"), 96);
    ASSERT_TRUE(held);
    EXPECT_LE(TestSupport::maxChannelDifference(held->thumbnail, *fromEight), 2);
}

TEST(ImageDecoding, RefusesBadAndOversizedFiles)
{
    QTemporaryDir dir;
    EXPECT_FALSE(ImageDecoding::loadOrientedImage(dir.filePath(QStringLiteral("missing.png"))));
    EXPECT_FALSE(ImageDecoding::loadOrientedImage(TestSupport::writeFile(dir.filePath(QStringLiteral("empty.png")), {})));
    EXPECT_FALSE(ImageDecoding::loadOrientedImage(
        TestSupport::writeFile(dir.filePath(QStringLiteral("text.jpg")), QByteArray("not an image"))));
    QByteArray jpeg = jpegWithOrientation(halves(64, 64), 1);
    jpeg.truncate(40);
    EXPECT_FALSE(ImageDecoding::loadOrientedImage(TestSupport::writeFile(dir.filePath(QStringLiteral("cut.jpg")), jpeg)));
    // A header announcing 400 megapixels is refused before anything is decoded.
    const QString bomb = TestSupport::writeFile(dir.filePath(QStringLiteral("bomb.pgm")),
                                                QByteArray("P5\n20000 20000\n255\n") + QByteArray(64, '\0'));
    EXPECT_FALSE(ImageDecoding::loadOrientedImage(bomb));
    EXPECT_FALSE(ImageDecoding::makeThumbnail(bomb, 96));
}

namespace {

// A GIF of one 8 × 8 frame in the corner of a screen of `screen`.
QString gifOfSmallFrameOn(const QString &path, QSize screen)
{
    GifTestFiles::GifRecipe recipe;
    recipe.canvas = screen;
    recipe.globalPalette = { qRgb(220, 20, 20), qRgb(20, 20, 220) };
    recipe.frames = { GifTestFiles::solidFrame(QRect(0, 0, 8, 8), 1) };
    return GifTestFiles::writeGif(path, recipe) ? path : QString();
}

} // namespace

// Where a GIF's screen is out of proportion to its first frame, Qt's reader gives the frame's size
// as the picture's, yet decodes the whole screen: the screen is what the limits and the decode
// budget see.
TEST(ImageDecoding, GifsAreSizedByTheirScreenNotTheirFirstFrame)
{
    QTemporaryDir dir;
    const QSize screen(4000, 10);
    const QString wide = gifOfSmallFrameOn(dir.filePath(QStringLiteral("wide.gif")), screen);
    ASSERT_FALSE(wide.isEmpty());
    const QByteArray bytes = TestSupport::readFile(wide);
    EXPECT_EQ(ImageDecoding::orientedImageSize(wide), screen);
    EXPECT_EQ(ImageDecoding::orientedImageSizeData(bytes), screen);
    const std::optional<QImage> image = ImageDecoding::loadOrientedImage(wide);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), screen);
    const std::optional<ImageDecoding::Preview> preview = ImageDecoding::previewImageData(bytes, 160);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->size, screen);
    EXPECT_FALSE(ImageDecoding::exceedsLimits(wide));

    // A screen of 400 megapixels behind an 8 × 8 frame is refused as too large before any decode.
    const QString huge = gifOfSmallFrameOn(dir.filePath(QStringLiteral("huge.gif")), QSize(20000, 20000));
    ASSERT_FALSE(huge.isEmpty());
    EXPECT_TRUE(ImageDecoding::exceedsLimits(huge));
    EXPECT_TRUE(ImageDecoding::exceedsLimitsData(TestSupport::readFile(huge)));
    EXPECT_FALSE(ImageDecoding::orientedImageSize(huge));
    EXPECT_FALSE(ImageDecoding::loadOrientedImage(huge));
    EXPECT_FALSE(ImageDecoding::makeThumbnail(huge, 96));
    EXPECT_FALSE(ImageDecoding::previewImageData(TestSupport::readFile(huge), 96));
}

namespace {

// What a colour in `space` is in sRGB.
QColor inSrgb(QColor color, const QColorSpace &space)
{
    QImage pixel(1, 1, QImage::Format_RGB32);
    pixel.fill(color);
    pixel.setColorSpace(space);
    pixel.convertToColorSpace(QColorSpace::SRgb);
    return pixel.pixelColor(0, 0);
}

int channelDistance(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

} // namespace

TEST(ImageDecoding, ProfilesSurviveOrientationAndCmykGoesThroughItsProfile)
{
    QTemporaryDir dir;
    // A wide-gamut photo stored sideways (every orientation that turns, and one that does not):
    // its colour comes out converted from its profile, whether decoded, thumbnailed or previewed.
    const QColor stored(120, 160, 90);
    const QColorSpace adobe(QColorSpace::AdobeRgb);
    const QColor expected = inSrgb(stored, adobe);
    ASSERT_GT(channelDistance(stored, expected), 15) << "the fixture must tell the readings apart";
    QImage picture(80, 60, QImage::Format_RGB32);
    picture.fill(stored);
    picture.setColorSpace(adobe);
    for (const quint16 orientation : {quint16(1), quint16(5), quint16(6), quint16(7), quint16(8)}) {
        const QByteArray tagged = jpegWithOrientation(picture, orientation);
        const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("wide%1.jpg").arg(orientation)), tagged);
        const QSize upright = orientation >= 5 ? QSize(60, 80) : QSize(80, 60);
        const auto image = ImageDecoding::loadOrientedImage(path);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), upright);
        EXPECT_LE(channelDistance(image->pixelColor(30, 30), expected), 4) << orientation;
        const auto thumbnail = ImageDecoding::makeThumbnail(path, 40);
        ASSERT_TRUE(thumbnail);
        EXPECT_LE(channelDistance(thumbnail->pixelColor(10, 10), expected), 4) << orientation;
        const auto preview = ImageDecoding::previewImageData(tagged, 40);
        ASSERT_TRUE(preview);
        EXPECT_EQ(preview->size, upright);
        EXPECT_LE(channelDistance(preview->thumbnail.pixelColor(10, 10), expected), 4) << orientation;
    }

    // A CMYK JPEG is converted through its embedded profile: half black prints warm brown, not
    // grey. Without a profile the reader's own conversion stays.
    const QString cmyk = TestSupport::writeFile(
        dir.filePath(QStringLiteral("cmyk.jpg")),
        ColourTestFiles::cmykJpeg(QSize(64, 48), 0, 0, 0, 128, ColourTestFiles::warmCmykProfile()));
    const auto warm = ImageDecoding::loadOrientedImage(cmyk);
    ASSERT_TRUE(warm);
    EXPECT_EQ(warm->size(), QSize(64, 48));
    EXPECT_LE(channelDistance(warm->pixelColor(20, 20), QColor(127, 102, 76)), 4);
    const auto warmThumb = ImageDecoding::makeThumbnail(cmyk, 16);
    ASSERT_TRUE(warmThumb);
    EXPECT_EQ(warmThumb->size(), QSize(16, 12));
    EXPECT_LE(channelDistance(warmThumb->pixelColor(8, 6), QColor(127, 102, 76)), 4);
    const QString bare = TestSupport::writeFile(dir.filePath(QStringLiteral("bare.jpg")),
                                                ColourTestFiles::cmykJpeg(QSize(64, 48), 0, 0, 0, 128, {}));
    const auto grey = ImageDecoding::loadOrientedImage(bare);
    ASSERT_TRUE(grey);
    EXPECT_LE(channelDistance(grey->pixelColor(20, 20), QColor(127, 127, 127)), 2);
}

// A grey picture with a grey profile of its own (here a linear one, far from sRGB's curve) comes
// out as the colour management library converts it, from a JPEG and from a PNG alike, in the
// full-size decode and in the thumbnail; Qt's reader alone drops such a profile.
TEST(ImageDecoding, GreyPicturesGoThroughTheirGreyProfile)
{
    QImage grey(QSize(128, 64), QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x)
            grey.scanLine(y)[x] = uchar((x / 16 + 8 * (y / 32)) * 16); // flat 16 × 32 patches
    const QByteArray profile = ProfileTestFiles::linearGreyProfile();
    const QImage expected = ProfileTestFiles::librarySrgb(grey, profile);
    ASSERT_GT(ProfileTestFiles::meanDifference(expected, grey), 20); // the profile matters
    for (const QByteArray &file : { ProfileTestFiles::greyJpeg(grey, profile), ProfileTestFiles::greyPng(grey, profile) }) {
        const bool isPng = file.startsWith("\x89PNG");
        const std::optional<QImage> decoded = ImageDecoding::loadOrientedImageData(file);
        ASSERT_TRUE(decoded) << isPng;
        EXPECT_LT(ProfileTestFiles::meanDifference(*decoded, expected), 3) << isPng;
        const auto preview = ImageDecoding::previewImageData(file, 32);
        ASSERT_TRUE(preview) << isPng;
        const QImage expectedThumbnail = expected.scaled(preview->thumbnail.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        EXPECT_LT(ProfileTestFiles::meanDifference(preview->thumbnail, expectedThumbnail), 6) << isPng;
    }
}

// A CMYK TIFF with a CMYK profile of its own comes out as the colour management library converts
// it (Qt's reader alone mixes the ink without any profile), in the full-size decode and in the
// thumbnail; a profile whose tables declare more than it holds is not used.
TEST(ImageDecoding, CmykTiffsGoThroughTheirProfile)
{
    const QSize size(64, 32);
    const std::vector<uchar> ink = ProfileTestFiles::cmykPatches(size);
    for (const double version : { 4.3, 2.1 }) {
        const QByteArray profile = ColourTestFiles::warmCmykProfile(version);
        const QByteArray tiff = ProfileTestFiles::cmykTiff(size, ink, profile);
        ASSERT_FALSE(tiff.isEmpty());
        const QImage expected = ProfileTestFiles::librarySrgb(size, ink, profile);
        const std::optional<QImage> decoded = ImageDecoding::loadOrientedImageData(tiff);
        ASSERT_TRUE(decoded) << version;
        EXPECT_LT(ProfileTestFiles::meanDifference(*decoded, expected), 3) << version;
        const auto preview = ImageDecoding::previewImageData(tiff, 16);
        ASSERT_TRUE(preview) << version;
        EXPECT_LT(ProfileTestFiles::meanDifference(
                      preview->thumbnail,
                      expected.scaled(preview->thumbnail.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)),
                  6)
            << version;
    }
    // Grid points declared far beyond the data: the picture is still read, without the profile.
    QByteArray bogus = ColourTestFiles::warmCmykProfile(2.1);
    const qsizetype table = bogus.indexOf("mft2");
    ASSERT_GT(table, 0);
    bogus[table + 10] = char(75);
    EXPECT_TRUE(ImageDecoding::loadOrientedImageData(ProfileTestFiles::cmykTiff(size, ink, bogus)));
}

// Tiled, planar and 16-bit CMYK TIFFs are read through their profile as the strip ones are, and
// without one the ink is mixed as Qt's reader mixed it.
TEST(ImageDecoding, CmykTiffsOfEveryLayoutGoThroughTheirProfile)
{
    const QSize size(40, 28); // not a whole number of tiles or strips
    const std::vector<uchar> ink = ProfileTestFiles::cmykPatches(size);
    const QByteArray profile = ColourTestFiles::warmCmykProfile(4.3);
    const QImage expected = ProfileTestFiles::librarySrgb(size, ink, profile);
    using Shape = ProfileTestFiles::CmykTiffShape;
    for (const Shape shape : {Shape {true, false, 8}, Shape {false, true, 8}, Shape {true, true, 8}, Shape {false, false, 16},
                              Shape {true, false, 16}, Shape {false, true, 16}, Shape {true, true, 16}}) {
        const QString name = QStringLiteral("tiled %1 planar %2 bits %3").arg(shape.tiled).arg(shape.planar).arg(shape.bits);
        const QByteArray tiff = ProfileTestFiles::cmykTiff(size, ink, profile, shape);
        ASSERT_FALSE(tiff.isEmpty()) << name.toStdString();
        const std::optional<QImage> decoded = ImageDecoding::loadOrientedImageData(tiff);
        ASSERT_TRUE(decoded) << name.toStdString();
        EXPECT_LE(ProfileTestFiles::meanDifference(*decoded, expected), 1) << name.toStdString();
        const auto preview = ImageDecoding::previewImageData(tiff, 0);
        ASSERT_TRUE(preview) << name.toStdString();
        EXPECT_EQ(preview->size, size);

        // Without a profile: the same mix for every layout, and for 8 bits what Qt's reader gives.
        const std::optional<QImage> mixed =
            ImageDecoding::loadOrientedImageData(ProfileTestFiles::cmykTiff(size, ink, QByteArray(), shape));
        ASSERT_TRUE(mixed) << name.toStdString();
        const QImage plain =
            QImage::fromData(ProfileTestFiles::cmykTiff(size, ink, QByteArray(), Shape {false, false, 8}), "TIFF");
        ASSERT_FALSE(plain.isNull());
        EXPECT_LE(ProfileTestFiles::meanDifference(*mixed, plain), 0.01) << name.toStdString();
    }
}

// A large picture declared over data that cannot fill it (every strip pointing at one row) is
// refused before its pixels are held, grey or CMYK, with a profile or without; a small one is read.
TEST(ImageDecoding, TiffsWhoseDataCannotFillTheirPictureAreRefused)
{
    QTemporaryDir dir;
    const QByteArray profile = ColourTestFiles::warmCmykProfile(4.3);
    for (const auto &[samples, withProfile] : {std::pair {1, false}, std::pair {4, false}, std::pair {4, true}}) {
        const QByteArray tiff = ColourTestFiles::sharedRowTiff(QSize(7000, 7000), samples, withProfile ? profile : QByteArray());
        EXPECT_LT(tiff.size(), 200'000);
        const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("shared.tif")), tiff);
        EXPECT_FALSE(ImageDecoding::loadOrientedImageData(tiff)) << samples << withProfile;
        EXPECT_FALSE(ImageDecoding::previewImageData(tiff, 96)) << samples << withProfile;
        EXPECT_FALSE(ImageDecoding::makeThumbnail(path, 96)) << samples << withProfile;
        const QByteArray small = ColourTestFiles::sharedRowTiff(QSize(300, 200), samples, withProfile ? profile : QByteArray());
        const std::optional<QImage> read = ImageDecoding::loadOrientedImageData(small);
        ASSERT_TRUE(read) << samples << withProfile;
        EXPECT_EQ(read->size(), QSize(300, 200));
    }
}
