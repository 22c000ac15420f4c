#include "capture/CaptureChannel.h"

#include <cstring>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>

// One thread writes, another reads, far more messages than the ring holds:
// every one arrives once, in order, with its bytes.
TEST(CaptureChannel, AWriterAndAReaderOnTwoThreadsKeepEveryMessageInOrder) {
    CaptureChannel c;
    constexpr std::uint32_t kCount = 20000;
    std::thread writer([&] {
        for (std::uint32_t i = 1; i <= kCount; ++i) {
            CaptureMessage* m = nullptr;
            while ((m = c.beginData()) == nullptr)
                std::this_thread::yield();
            m->seq = i;
            std::memcpy(m->data.data(), &i, sizeof i);
            c.publish();
        }
    });
    for (std::uint32_t expected = 1; expected <= kCount;) {
        const CaptureMessage* m = c.front();
        if (m == nullptr) {
            pollfd wake{c.wakeFd(), POLLIN, 0};
            ::poll(&wake, 1, 10);
            c.clearWake();
            continue;
        }
        std::uint32_t carried = 0;
        std::memcpy(&carried, m->data.data(), sizeof carried);
        ASSERT_EQ(m->seq, expected);
        ASSERT_EQ(carried, expected++);
        c.pop();
    }
    writer.join();
}

// A writer that sends several messages quietly wakes the reader once, and
// only when it says so.
TEST(CaptureChannel, QuietMessagesWaitForOneWake) {
    CaptureChannel c;
    const auto readable = [&] {
        pollfd ready{c.wakeFd(), POLLIN, 0};
        return ::poll(&ready, 1, 0) == 1;
    };
    for (int i = 0; i < 2; ++i) {
        c.beginData();
        c.publishQuietly();
    }
    EXPECT_FALSE(readable());
    c.wake();
    EXPECT_TRUE(readable());
    c.clearWake();
    for (int i = 0; i < 2; ++i, c.pop())
        ASSERT_NE(c.front(), nullptr);
    EXPECT_EQ(c.front(), nullptr);
    EXPECT_FALSE(readable());
}
