#include <gtest/gtest.h>

#include "platform/FrameBufferPool.h"

#include <QPainter>

#include <algorithm>

#include <thread>
#include <vector>

namespace {

QImage filled(FrameBufferPool &pool, QRgb colour)
{
    QImage image = pool.image(64, 32, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

} // namespace

TEST(FrameBufferPool, HandsOutOnlyBuffersNoImageStillShares)
{
    FrameBufferPool pool(2);
    QImage first = filled(pool, 0xff112233);
    const uchar *firstBuffer = first.constBits();
    EXPECT_EQ(first.size(), QSize(64, 32));
    EXPECT_EQ(first.bytesPerLine(), QImage(64, 32, QImage::Format_ARGB32).bytesPerLine());
    EXPECT_EQ(quintptr(firstBuffer) % 64, 0u);

    // A copy keeps the buffer lent out even after the original is gone.
    QImage copy = first;
    first = QImage();
    QImage second = filled(pool, 0xff445566);
    EXPECT_NE(second.constBits(), firstBuffer);
    EXPECT_EQ(copy.pixel(5, 5), 0xff112233);

    // Painting on a shared image gives it its own pixels; the pooled buffer stays as it was.
    QImage painted = second;
    QPainter(&painted).fillRect(0, 0, 64, 32, Qt::red);
    EXPECT_EQ(second.pixel(5, 5), 0xff445566);
    EXPECT_NE(painted.constBits(), second.constBits());

    // Once the last copy is gone the buffer is used again.
    copy = QImage();
    const QImage third = pool.image(64, 32, QImage::Format_ARGB32);
    EXPECT_EQ(third.constBits(), firstBuffer);
}

TEST(FrameBufferPool, BuffersOfAnotherSizeAreNeverHandedOut)
{
    FrameBufferPool pool(2);
    std::vector<QImage> images;
    std::vector<const uchar *> buffers;
    for (int i = 0; i < 4; ++i) {
        images.push_back(filled(pool, 0xff000000u + i));
        buffers.push_back(images.back().constBits());
    }
    images.clear();
    int reused = 0;
    for (int i = 0; i < 4; ++i) {
        images.push_back(pool.image(64, 32, QImage::Format_ARGB32));
        reused += std::count(buffers.begin(), buffers.end(), images.back().constBits()) > 0 ? 1 : 0;
    }
    EXPECT_GE(reused, 2);

    // Larger pictures after smaller ones, with small ones still returning: every picture can be
    // written whole (the address sanitizer reports a buffer that is too small).
    images.pop_back();
    for (const QSize size : {QSize(128, 64), QSize(64, 32), QSize(3, 200)}) {
        images.clear();
        for (int i = 0; i < 3; ++i) {
            QImage image = pool.image(size.width(), size.height(), QImage::Format_ARGB32);
            ASSERT_EQ(image.size(), size);
            ASSERT_EQ(image.bytesPerLine(), size.width() * 4);
            image.fill(0xff808080);
            EXPECT_EQ(image.pixel(size.width() - 1, size.height() - 1), 0xff808080);
            images.push_back(image);
        }
    }

    EXPECT_TRUE(pool.image(0, 32, QImage::Format_ARGB32).isNull());
    EXPECT_TRUE(pool.image(64, -1, QImage::Format_ARGB32).isNull());
    EXPECT_TRUE(pool.image(64, 32, QImage::Format_Invalid).isNull());
}

TEST(FrameBufferPool, ImagesOutliveThePoolAndReturnFromAnyThread)
{
    QImage survivor;
    {
        FrameBufferPool pool(3);
        survivor = filled(pool, 0xff0000ff);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([image = filled(pool, 0xff00ff00)]() mutable {
                EXPECT_EQ(image.pixel(1, 1), 0xff00ff00);
                image = QImage();
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        EXPECT_FALSE(pool.image(64, 32, QImage::Format_ARGB32).isNull());
    }
    EXPECT_EQ(survivor.pixel(63, 31), 0xff0000ff);
}
