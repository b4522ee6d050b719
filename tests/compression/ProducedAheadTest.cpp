#include "compression/ProducedAhead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

TEST(ProducedAhead, ItemsComeInOrderThenTheFailureThenNothing)
{
    int made = 0;
    ProducedAhead<int> ahead([&made]() -> std::optional<int> {
        if (made == 50)
            throw std::runtime_error("frame 50");
        return made++;
    });
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(ahead.next(), i);
    EXPECT_THROW(ahead.next(), std::runtime_error);
    EXPECT_EQ(ahead.next(), std::nullopt);
}

TEST(ProducedAhead, ATakerThatStopsEarlyStopsTheProducer)
{
    // The producer never runs out; leaving after a few items must not wait for it forever, and it
    // never gets far ahead.
    std::atomic<int> made = 0;
    {
        ProducedAhead<int> ahead([&made]() -> std::optional<int> { return made++; });
        for (int i = 0; i < 5; ++i)
            ASSERT_EQ(ahead.next(), i);
    }
    EXPECT_LE(made.load(), 5 + 3);
    // A producer with nothing at all.
    ProducedAhead<int> empty([]() -> std::optional<int> { return std::nullopt; });
    EXPECT_EQ(empty.next(), std::nullopt);
}
