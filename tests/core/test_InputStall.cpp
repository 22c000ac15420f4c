#include "capture/InputStall.h"

#include <gtest/gtest.h>

// One second plus a block's time, rounded up; stalled only past the limit,
// also across the clock's wrap.
TEST(InputStall, OneSecondPlusOneBlock) {
    const std::pair<std::uint32_t, std::uint32_t> limits[] = {
        {8000, 1064}, {11025, 1047}, {22050, 1024}, {44100, 1012}, {48000, 1011}, {0, 1000}};
    for (auto [rate, limit] : limits) {
        EXPECT_EQ(InputStallLimitMs(rate), limit) << rate;
        EXPECT_FALSE(InputStalled(5000 + limit, 5000, rate)) << rate;
        EXPECT_TRUE(InputStalled(5000 + limit + 1, 5000, rate)) << rate;
    }
    EXPECT_FALSE(InputStalled(100, 0xFFFFFF00u, 48000)); // 356 ms across the wrap
    EXPECT_TRUE(InputStalled(0xFFFFFF00u + 1012, 0xFFFFFF00u, 48000));
}
