#include "platform/DecodeBudget.h"

#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(DecodeBudget, ReservationsBeyondTheLimitWaitButOneAloneAlwaysProceeds)
{
    const qint64 saved = DecodeBudget::limit();
    DecodeBudget::setLimit(100);
    {
        // Alone, even a reservation far above the limit goes ahead.
        DecodeBudget::Reservation huge(1000);
        EXPECT_EQ(DecodeBudget::reservedBytes(), 1000);
    }
    EXPECT_EQ(DecodeBudget::reservedBytes(), 0);

    DecodeBudget::Reservation first(60);
    DecodeBudget::Reservation fits(40); // exactly at the limit
    std::atomic<bool> admitted { false };
    std::thread waiting([&] {
        DecodeBudget::Reservation more(30);
        admitted = true;
    });
    QThread::msleep(50);
    EXPECT_FALSE(admitted) << "a reservation past the limit went ahead";
    fits.release();
    fits.release(); // a second release gives nothing back twice
    waiting.join();
    EXPECT_TRUE(admitted);
    EXPECT_EQ(DecodeBudget::reservedBytes(), 60);

    // Moving a reservation moves its bytes; only the last holder gives them back.
    DecodeBudget::Reservation moved(std::move(first));
    EXPECT_EQ(DecodeBudget::reservedBytes(), 60);
    moved = DecodeBudget::Reservation(10);
    EXPECT_EQ(DecodeBudget::reservedBytes(), 10);
    moved.release();
    EXPECT_EQ(DecodeBudget::reservedBytes(), 0);

    EXPECT_EQ(DecodeBudget::pixelBytes(14000, 14000, 1), 24'500'000);
    EXPECT_EQ(DecodeBudget::pixelBytes(10, 10, 32, 4), 800);
    DecodeBudget::setLimit(saved);
}
