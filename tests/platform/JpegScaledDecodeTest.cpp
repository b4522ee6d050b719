#include "platform/JpegFile.h"
#include "support/JpegTestFiles.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Gradients with a fine pattern, so that every scaling step shows in the pixels.
QImage patterned(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y,
                           qRgb((x * 255) / std::max(size.width(), 1), (x * 7 + y * 13) % 256,
                                int(127 + 120 * std::sin(y * 0.05))));
    return image;
}

QImage readerScaled(const QByteArray &bytes, QSize scaledSize)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setScaledSize(scaledSize);
    return reader.read();
}

} // namespace

// The direct decode gives the reader's pixels: the same whole eighths, and the same smoothing
// where the eighths miss the size.
TEST(JpegScaledDecode, SameAsTheReader)
{
    struct Case {
        QSize size;
        QSize scaled;
        JpegTestFiles::Layout layout;
    };
    JpegTestFiles::Layout grey;
    grey.grey = true;
    JpegTestFiles::Layout full;
    full.lumaH = full.lumaV = 1;
    JpegTestFiles::Layout progressive;
    progressive.progressive = true;
    const std::vector<Case> cases {
        { { 800, 600 }, { 100, 75 }, {} }, // exactly 1/8
        { { 801, 601 }, { 101, 76 }, {} }, // just over: 2/8, then smoothed
        { { 1203, 901 }, { 301, 226 }, {} }, // 2/8 and smoothed
        { { 640, 480 }, { 400, 300 }, full }, // 5/8 and smoothed
        { { 640, 480 }, { 640, 480 }, {} }, // full size
        { { 333, 999 }, { 42, 125 }, grey },  { { 500, 400 }, { 250, 200 }, progressive }, { { 1, 1 }, { 1, 1 }, {} },
    };
    for (const Case &c : cases) {
        const QByteArray bytes = JpegTestFiles::encoded(patterned(c.size), c.layout);
        const auto layout = JpegFile::layout(bytes);
        ASSERT_TRUE(layout);
        EXPECT_EQ(QSize(layout->width, layout->height), c.size);
        const std::optional<QImage> direct = JpegFile::decodeScaledChecked(bytes, *layout, c.scaled).image;
        ASSERT_TRUE(direct) << c.size.width() << "×" << c.size.height();
        const QImage expected = readerScaled(bytes, c.scaled);
        EXPECT_EQ(direct->size(), c.scaled);
        EXPECT_EQ(direct->format(), expected.format());
        EXPECT_EQ(TestSupport::maxChannelDifference(*direct, expected), 0) << c.size.width() << "×" << c.size.height();
    }
}

// CMYK is left to the caller; a file cut short is damaged, not left to a reader that fills it in.
TEST(JpegScaledDecode, LeavesCmykToTheCallerAndTellsDamage)
{
    const QImage picture = patterned({ 64, 48 });
    JpegTestFiles::Layout cmyk;
    cmyk.cmyk = true;
    const QByteArray whole = JpegTestFiles::encoded(picture, {});
    for (const auto &[bytes, damaged] : { std::pair(JpegTestFiles::encoded(picture, cmyk), false),
                                          std::pair(whole.left(whole.size() / 2), true) }) {
        const auto layout = JpegFile::layout(bytes);
        ASSERT_TRUE(layout);
        const JpegFile::CheckedDecode decoded = JpegFile::decodeScaledChecked(bytes, *layout, { 16, 12 });
        EXPECT_FALSE(decoded.image);
        EXPECT_EQ(decoded.damaged, damaged);
    }
}
