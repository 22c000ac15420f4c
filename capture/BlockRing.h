// The hand-over of captured sound from the sound server's thread to the
// window's thread: whole blocks of 512 samples in a fixed ring with one
// writer and one reader, an eventfd that becomes readable when there is
// something to look at, and a count of the blocks that were lost.
//
// The writer is the thread of the sound server's client library, which must
// never wait for the window; the reader is the GUI thread, which must never
// wait for the sound server. So no locks, and nothing is allocated after
// construction. The server hands over fragments of any size; the writer
// gathers them into whole blocks first, so the reader only ever sees
// complete blocks, each tagged with the stream it came from.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

class BlockRing {
public:
    static constexpr std::size_t kBlockBytes = 1024; // 512 signed 16-bit samples
    // About 1 s of sound at 8000/s and 170 ms at 48000/s on top of the
    // program's own eight buffers: enough for the window's ordinary pauses
    // (a resize, a dialog opening), and a window that falls further behind
    // is told so (lost()) instead of being shown old sound.
    static constexpr std::size_t kSlots = 16;

    struct Block {
        std::uint32_t stream = 0; // the stream's serial number (see write)
        std::array<char, kBlockBytes> bytes{};
    };

    BlockRing();
    ~BlockRing();
    BlockRing(const BlockRing&) = delete;
    BlockRing& operator=(const BlockRing&) = delete;

    // Readable while the writer has woken the reader and clearWake() has not
    // run since; -1 if the eventfd could not be made.
    int wakeFd() const { return wakeFd_; }

    // ---- writer (one thread)
    // Adds `count` captured bytes of stream `stream`. A block is complete
    // when its 1024th byte arrives; a block whose first byte finds the ring
    // full is lost (counted when complete, not kept). Bytes of a stream other than the one of
    // the block being gathered start a new block. Returns how many blocks
    // were completed (kept or lost).
    std::size_t write(const void* bytes, std::size_t count, std::uint32_t stream);
    // The server skipped `count` bytes (a hole in the stream): the partial
    // block and every block the hole covers are counted as lost.
    void skip(std::size_t count);
    // The block being gathered is thrown away without being counted (the
    // stream stopped).
    void discardPartial() { fill_ = 0; }
    // True while every slot holds a block the reader has not taken: the next
    // complete block would be lost.
    bool full() const;
    // Blocks lost elsewhere (the server said it dropped sound).
    void countLost(std::uint64_t blocks);
    // Makes wakeFd() readable. Safe from any thread.
    void wake();

    // ---- reader (one thread)
    // The oldest complete block, or nullptr.
    const Block* front() const;
    void pop();
    // Blocks lost since construction, in the order of the blocks around
    // them: a block read after lost() has grown was captured after the loss.
    std::uint64_t lost() const { return lost_.load(std::memory_order_acquire); }
    // Makes wakeFd() unreadable again; call before looking at front().
    void clearWake();

private:
    std::array<Block, kSlots> slots_{};
    std::atomic<std::size_t> head_{0}; // next to read; written by the reader
    std::atomic<std::size_t> tail_{0}; // next to write; written by the writer
    std::atomic<std::uint64_t> lost_{0};
    int wakeFd_ = -1;

    // The writer's block being gathered: a free slot, or lostBlock_.
    Block* gathering_ = nullptr;
    Block lostBlock_{};
    std::uint32_t stream_ = 0;
    std::size_t fill_ = 0;
};
