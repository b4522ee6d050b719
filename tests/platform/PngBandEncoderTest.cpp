#include <gtest/gtest.h>

#include "platform/PngBandEncoder.h"
#include "platform/PngEncoder.h"

#include <QPainter>

#include <random>

namespace {

// Sensor noise over gradients, with a few transparent pixels to show that alpha is dropped.
QImage noisyImage(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    std::minstd_rand random(11);
    const auto noisy = [&](int value) { return std::clamp(value + int(random() % 33) - 16, 0, 255); };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgba(noisy(x * 200 / width + 30), noisy(y * 180 / height + 40), noisy(128),
                                       format == QImage::Format_ARGB32 && (x + y) % 7 == 0 ? 90 : 255));
    return image;
}

// The pixels a reader should find: the colour channels as stored, fully opaque.
QImage opaque(const QImage &image)
{
    QImage result(image.size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            result.setPixel(x, y, qRgb(qRed(p), qGreen(p), qBlue(p)));
        }
    return result;
}

QImage decoded(const std::optional<QByteArray> &png)
{
    if (!png)
        return {};
    return QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_RGB32);
}

TEST(PngBandEncoder, AnyNumberOfBandsDecodesToTheSourcePixels)
{
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32}) {
        const QImage source = noisyImage(1919, 301, format);
        const QImage expected = opaque(source);
        for (const int bands : {0, 1, 2, 3, 7, 64}) {
            const std::optional<QByteArray> png = PngBandEncoder::encodeOpaque(source, bands);
            ASSERT_TRUE(png) << bands;
            EXPECT_TRUE(decoded(png) == expected) << "format " << format << ", bands " << bands;
        }
        // The same pixels as the one-pass encoder of the image exports.
        EXPECT_TRUE(decoded(PngBandEncoder::encodeOpaque(source)) == decoded(PngEncoder::encodeOpaque(source)));
    }
}

TEST(PngBandEncoder, TinyAndOddPicturesAndOtherFormats)
{
    for (const QSize size : {QSize(1, 1), QSize(3, 2), QSize(1, 100), QSize(100, 1), QSize(5, 33), QSize(7, 65)}) {
        const QImage source = noisyImage(size.width(), size.height(), QImage::Format_RGB32);
        for (const int bands : {1, 4, 200})
            EXPECT_TRUE(decoded(PngBandEncoder::encodeOpaque(source, bands)) == source)
                << size.width() << "x" << size.height() << ", bands " << bands;
    }
    // Premultiplied and 24-bit pictures are converted first.
    QImage drawn(120, 90, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::white);
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 59, 48), 5));
    painter.drawEllipse(10, 10, 90, 60);
    painter.end();
    EXPECT_TRUE(decoded(PngBandEncoder::encodeOpaque(drawn, 3)) == drawn.convertToFormat(QImage::Format_RGB32));
    const QImage rgb888 = drawn.convertToFormat(QImage::Format_RGB888);
    EXPECT_TRUE(decoded(PngBandEncoder::encodeOpaque(rgb888, 3)) == drawn.convertToFormat(QImage::Format_RGB32));
    EXPECT_FALSE(PngBandEncoder::encodeOpaque(QImage()));
}

TEST(PngBandEncoder, KeepsTheResolution)
{
    QImage source = noisyImage(64, 64, QImage::Format_RGB32);
    source.setDotsPerMeterX(5906);
    source.setDotsPerMeterY(2953);
    const std::optional<QByteArray> png = PngBandEncoder::encodeOpaque(source, 2);
    ASSERT_TRUE(png);
    const QImage read = QImage::fromData(*png, "PNG");
    EXPECT_EQ(read.dotsPerMeterX(), 5906);
    EXPECT_EQ(read.dotsPerMeterY(), 2953);
}

} // namespace
