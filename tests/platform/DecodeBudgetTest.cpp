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

    // A moved reservation gives its bytes back once, from where it went.
    {
        DecodeBudget::Reservation moved(std::move(first));
        EXPECT_EQ(DecodeBudget::reservedBytes(), 60);
    }
    EXPECT_EQ(DecodeBudget::reservedBytes(), 0);
    DecodeBudget::setLimit(saved);
}
