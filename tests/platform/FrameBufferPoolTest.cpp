#include <gtest/gtest.h>

#include "platform/FrameBufferPool.h"

#include <QPainter>

#include <thread>
#include <vector>

TEST(FrameBufferPool, HandsOutOnlyBuffersNoImageStillShares)
{
    FrameBufferPool pool(2);
    QImage first = pool.image(64, 32, QImage::Format_ARGB32);
    first.fill(0xff112233);
    const uchar *firstBuffer = first.constBits();
    EXPECT_EQ(first.bytesPerLine(), QImage(64, 32, QImage::Format_ARGB32).bytesPerLine());

    // A copy keeps the buffer lent out after the original is gone; painting on a shared image gives
    // the painter pixels of its own.
    QImage copy = first;
    first = QImage();
    QImage second = pool.image(64, 32, QImage::Format_ARGB32);
    EXPECT_NE(second.constBits(), firstBuffer);
    QImage painted = copy;
    QPainter(&painted).fillRect(0, 0, 64, 32, Qt::red);
    EXPECT_EQ(copy.pixel(5, 5), 0xff112233);

    // Once the last copy is gone the buffer is used again.
    copy = QImage();
    EXPECT_EQ(pool.image(64, 32, QImage::Format_ARGB32).constBits(), firstBuffer);
    EXPECT_TRUE(pool.image(0, 32, QImage::Format_ARGB32).isNull());
    EXPECT_TRUE(pool.image(64, 32, QImage::Format_Invalid).isNull());
}

TEST(FrameBufferPool, SizeChangesAndImagesThatOutliveThePool)
{
    QImage survivor;
    {
        FrameBufferPool pool(3);
        // Larger pictures after smaller ones, with smaller ones returning from other threads: every
        // picture can be written whole (the address sanitizer reports a buffer that is too small).
        for (const QSize size : {QSize(64, 32), QSize(128, 64), QSize(3, 200), QSize(128, 64)}) {
            std::vector<std::thread> threads;
            for (int i = 0; i < 3; ++i) {
                QImage image = pool.image(size.width(), size.height(), QImage::Format_ARGB32);
                ASSERT_EQ(image.size(), size);
                image.fill(0xff808080);
                threads.emplace_back([image = std::move(image)]() mutable { image = QImage(); });
            }
            for (std::thread &thread : threads)
                thread.join();
        }
        survivor = pool.image(128, 64, QImage::Format_ARGB32);
        survivor.fill(0xff0000ff);
    }
    EXPECT_EQ(survivor.pixel(127, 63), 0xff0000ff);
}
