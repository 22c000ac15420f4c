#include "capture/CaptureChannel.h"

#include <cstring>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>

namespace {

bool wakeReadable(const CaptureChannel& c) {
    pollfd p{c.wakeFd(), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
}

void send(CaptureChannel& c, CaptureMessage* m, CaptureMessage::Kind kind, std::uint32_t seq) {
    ASSERT_NE(m, nullptr);
    m->kind = kind;
    m->seq = seq;
    c.publish();
}

} // namespace

TEST(CaptureChannel, DataLeavesRoomForAnswersAndTheReaderIsWoken) {
    CaptureChannel c;
    ASSERT_GE(c.wakeFd(), 0);
    EXPECT_FALSE(wakeReadable(c));
    for (std::uint32_t i = 0; i < CaptureChannel::kDataSlots; ++i)
        send(c, c.beginData(), CaptureMessage::Kind::Data, i);
    EXPECT_TRUE(wakeReadable(c));
    EXPECT_EQ(c.beginData(), nullptr) << "data took the answers' share";
    for (std::size_t i = CaptureChannel::kDataSlots; i < CaptureChannel::kSlots; ++i)
        send(c, c.beginControl(), CaptureMessage::Kind::Answer, static_cast<std::uint32_t>(i));
    EXPECT_EQ(c.beginControl(), nullptr);

    c.clearWake();
    EXPECT_FALSE(wakeReadable(c));
    for (std::uint32_t i = 0; i < CaptureChannel::kSlots; ++i) {
        const CaptureMessage* m = c.front();
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->seq, i);
        EXPECT_EQ(m->kind, i < CaptureChannel::kDataSlots ? CaptureMessage::Kind::Data
                                                          : CaptureMessage::Kind::Answer);
        c.pop();
    }
    EXPECT_EQ(c.front(), nullptr);
    EXPECT_NE(c.beginData(), nullptr);
}

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
            m->bytes = sizeof i;
            std::memcpy(m->data.data(), &i, sizeof i);
            c.publish();
        }
        c.completed(kCount);
    });
    std::uint32_t expected = 1;
    while (expected <= kCount) {
        const CaptureMessage* m = c.front();
        if (m == nullptr) {
            pollfd p{c.wakeFd(), POLLIN, 0};
            ::poll(&p, 1, 10);
            c.clearWake();
            continue;
        }
        std::uint32_t carried = 0;
        std::memcpy(&carried, m->data.data(), sizeof carried);
        ASSERT_EQ(m->seq, expected);
        ASSERT_EQ(carried, expected);
        c.pop();
        ++expected;
    }
    writer.join();
    EXPECT_EQ(c.completedSeq(), kCount);
}
