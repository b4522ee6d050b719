#include <gtest/gtest.h>

#include "platform/PngEncoder.h"
#include "support/TestSupport.h"

#include <QPainter>
#include <QtEndian>

#include <random>

namespace {

// Gradients under sensor noise, independent in each channel: the photographic kind.
QImage noisyImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::minstd_rand random(7);
    const auto noisy = [&](int value) { return std::clamp(value + int(random() % 17) - 8, 0, 255); };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(noisy(x * 200 / width + 30), noisy(y * 180 / height + 40), noisy(128)));
    return image;
}

// Flat areas, lines of text and sharp edges: the screenshot kind.
QImage screenshotImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(245, 245, 247));
    QPainter painter(&image);
    painter.fillRect(QRect(width / 3, height / 4, width / 2, height / 3), QColor(37, 99, 235));
    QFont font;
    font.setPixelSize(14);
    painter.setFont(font);
    for (int y = 16; y < height; y += 20)
        painter.drawText(8, y, QStringLiteral("保存到桌面 Export %1 — the quick brown fox").arg(y));
    return image;
}

int idatChunks(const QByteArray &png)
{
    int count = 0;
    for (qsizetype at = 8; at + 8 <= png.size(); at += 12 + qFromBigEndian<quint32>(png.constData() + at))
        count += png.mid(at + 4, 4) == "IDAT";
    return count;
}

} // namespace

TEST(PngEncoder, DecodesToTheSamePixelsWhicheverCompressionIsChosen)
{
    // Sizes around the sampled bands (64 rows) and odd widths, both kinds of content.
    for (const QImage &image : { noisyImage(257, 203), screenshotImage(301, 150), noisyImage(1, 1),
                                 screenshotImage(40, 64), noisyImage(33, 65) }) {
        const std::optional<QByteArray> png = PngEncoder::encodeOpaque(image);
        ASSERT_TRUE(png);
        const QImage decoded = QImage::fromData(*png, "PNG");
        ASSERT_EQ(decoded.size(), image.size());
        EXPECT_FALSE(decoded.hasAlphaChannel());
        EXPECT_EQ(TestSupport::maxChannelDifference(decoded, image), 0) << image.width() << "x" << image.height();
    }
    EXPECT_FALSE(PngEncoder::encodeOpaque(QImage()));
}

TEST(PngEncoder, OtherFormatsAndTheResolutionAreKept)
{
    QImage grey = noisyImage(50, 40).convertToFormat(QImage::Format_Grayscale8);
    grey.setDotsPerMeterX(11811);
    grey.setDotsPerMeterY(5906);
    const QImage decoded = QImage::fromData(*PngEncoder::encodeOpaque(grey), "PNG");
    EXPECT_EQ(TestSupport::maxChannelDifference(decoded, grey), 0);
    EXPECT_EQ(decoded.dotsPerMeterX(), 11811);
    EXPECT_EQ(decoded.dotsPerMeterY(), 5906);
}

TEST(PngEncoder, PremultipliedPixelsKeepTheirStraightColour)
{
    // Half-transparent pixels: dropping the alpha must leave the colour itself, whatever the layout.
    QImage straight(64, 48, QImage::Format_ARGB32);
    for (int y = 0; y < straight.height(); ++y)
        for (int x = 0; x < straight.width(); ++x)
            straight.setPixel(x, y, qRgba(200, 4 * x, 5 * y, x % 2 ? 255 : 128));
    for (const QImage::Format format : { QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBA8888_Premultiplied,
                                         QImage::Format_RGBA64_Premultiplied, QImage::Format_ARGB32 }) {
        const QImage image = straight.convertToFormat(format);
        const QImage decoded = QImage::fromData(*PngEncoder::encodeOpaque(image), "PNG");
        ASSERT_EQ(decoded.size(), image.size());
        // Premultiplying to 8 bits and back loses at most a level or two at half alpha.
        EXPECT_LE(TestSupport::maxChannelDifference(decoded, straight.convertToFormat(QImage::Format_RGB32)), 2)
            << format;
    }
}

TEST(PngEncoder, FilesStayNearTheSizeOfQtsWriter)
{
    // A wrong choice between the two compressions costs 15 % on noise and 50 % on screenshots.
    for (const QImage &image : { noisyImage(600, 400), screenshotImage(800, 500) }) {
        const qsizetype ours = PngEncoder::encodeOpaque(image)->size();
        const qsizetype qt = TestSupport::encodedImage(image, "PNG").size();
        EXPECT_LE(double(ours), 1.1 * double(qt)) << image.width();
    }
}

TEST(PngEncoder, ImageDataIsOneZlibStreamOfFilteredRows)
{
    const QImage image = noisyImage(600, 400);
    const QByteArray png = *PngEncoder::encodeOpaque(image);
    ASSERT_GT(idatChunks(png), 1); // the payloads of several chunks are joined
    const std::optional<QByteArray> data = PngEncoder::imageData(png);
    ASSERT_TRUE(data);
    // qUncompress takes a zlib stream after the expected size, big-endian.
    const qsizetype rowBytes = 1 + 3 * image.width();
    QByteArray framed(4, '\0');
    qToBigEndian<quint32>(quint32(rowBytes * image.height()), framed.data());
    const QByteArray rows = qUncompress(framed + *data);
    ASSERT_EQ(rows.size(), rowBytes * image.height());
    for (int y = 0; y < image.height(); ++y)
        ASSERT_LE(quint8(rows[y * rowBytes]), 4) << "filter byte of row " << y;

    EXPECT_FALSE(PngEncoder::imageData(QByteArray("not a png")));
    EXPECT_FALSE(PngEncoder::imageData(png.left(png.size() / 2)));
    EXPECT_FALSE(PngEncoder::imageData(png.left(8)));
}
