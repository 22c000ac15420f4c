#include "capture/BlockRing.h"

#include <cstring>
#include <gtest/gtest.h>
#include <numeric>
#include <poll.h>
#include <thread>
#include <vector>

namespace {

bool readable(const BlockRing& r) {
    pollfd ready{r.wakeFd(), POLLIN, 0};
    return ::poll(&ready, 1, 0) == 1;
}

// Bytes 0, 1, 2, ... (mod 251, so no block repeats another's pattern).
std::vector<char> counting(std::size_t n, std::size_t from = 0) {
    std::vector<char> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<char>((from + i) % 251);
    return v;
}

} // namespace

// The server's fragments have any size: whatever the split, the reader gets
// the same whole blocks, with their bytes in order.
TEST(BlockRing, FragmentsOfAnySizeMakeTheSameWholeBlocks) {
    for (std::size_t fragment : {1u, 7u, 512u, 1000u, 1024u, 2048u, 3000u}) {
        BlockRing r;
        const std::vector<char> sound = counting(3 * BlockRing::kBlockBytes + 100);
        std::size_t completed = 0;
        for (std::size_t at = 0; at < sound.size(); at += fragment)
            completed += r.write(sound.data() + at, std::min(fragment, sound.size() - at), 5);
        EXPECT_EQ(completed, 3u) << fragment;
        for (std::size_t b = 0; b < 3; ++b, r.pop()) {
            const BlockRing::Block* block = r.front();
            ASSERT_NE(block, nullptr) << fragment;
            EXPECT_EQ(block->stream, 5u);
            EXPECT_EQ(std::memcmp(block->bytes.data(), sound.data() + b * BlockRing::kBlockBytes,
                                  BlockRing::kBlockBytes),
                      0)
                << fragment << " block " << b;
        }
        EXPECT_EQ(r.front(), nullptr);
        EXPECT_EQ(r.lost(), 0u);
    }
}

// What cannot be kept is counted: blocks that find the ring full, the blocks
// a hole covers (with the partial block before it), never the partial block
// of a stream that was replaced.
TEST(BlockRing, LostBlocksAreCounted) {
    BlockRing r;
    const std::vector<char> block = counting(BlockRing::kBlockBytes);
    for (std::size_t i = 0; i < BlockRing::kSlots + 3; ++i)
        r.write(block.data(), block.size(), 1);
    EXPECT_EQ(r.lost(), 3u);
    for (std::size_t i = 0; i < BlockRing::kSlots; ++i)
        r.pop();

    r.write(block.data(), 100, 1);
    r.skip(2 * BlockRing::kBlockBytes); // 100 + 2048 bytes: three blocks' worth
    EXPECT_EQ(r.lost(), 6u);

    r.write(block.data(), 100, 1);
    r.write(block.data(), BlockRing::kBlockBytes, 2); // a new stream starts afresh
    ASSERT_NE(r.front(), nullptr);
    EXPECT_EQ(r.front()->stream, 2u);
    EXPECT_EQ(std::memcmp(r.front()->bytes.data(), block.data(), block.size()), 0);
    EXPECT_EQ(r.lost(), 6u);
}

TEST(BlockRing, OnlyAWakeMakesTheDescriptorReadable) {
    BlockRing r;
    const std::vector<char> block = counting(BlockRing::kBlockBytes);
    r.write(block.data(), block.size(), 1);
    EXPECT_FALSE(readable(r));
    r.wake();
    r.wake();
    EXPECT_TRUE(readable(r));
    r.clearWake();
    EXPECT_FALSE(readable(r));
}

// One thread writes, another reads, far more blocks than the ring holds:
// every block arrives whole and in order, never torn. Both spin rather than
// wait on the eventfd or lose blocks, whose system calls and counter would
// order the two threads by themselves: under ThreadSanitizer only the ring's
// own hand-over of the slots is left to carry the bytes across.
TEST(BlockRing, AWriterAndAReaderOnTwoThreadsHandOverEveryBlockWhole) {
    BlockRing r;
    constexpr std::uint32_t kCount = 20000;
    std::thread writer([&] {
        std::array<std::uint32_t, BlockRing::kBlockBytes / 4> block{};
        for (std::uint32_t i = 1; i <= kCount; ++i) {
            block.fill(i);
            while (r.full())
                std::this_thread::yield();
            r.write(block.data(), BlockRing::kBlockBytes, i); // each block its own tag
        }
    });
    std::uint32_t last = 0;
    std::uint64_t received = 0;
    while (received < kCount) {
        const BlockRing::Block* block = r.front();
        if (block == nullptr) {
            std::this_thread::yield();
            continue;
        }
        std::array<std::uint32_t, BlockRing::kBlockBytes / 4> words{};
        std::memcpy(words.data(), block->bytes.data(), BlockRing::kBlockBytes);
        ASSERT_EQ(block->stream, last + 1);
        ASSERT_EQ(words[0], last + 1);
        ASSERT_EQ(words.back(), words[0]) << "a torn block";
        last = words[0];
        ++received;
        r.pop();
    }
    writer.join();
    EXPECT_EQ(r.lost(), 0u);
}
