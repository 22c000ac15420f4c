#include "capture/BlockRing.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

BlockRing::BlockRing() : wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

BlockRing::~BlockRing() {
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

std::size_t BlockRing::write(const void* bytes, std::size_t count, std::uint32_t stream) {
    if (fill_ > 0 && stream_ != stream) fill_ = 0;
    stream_ = stream;
    const auto* from = static_cast<const char*>(bytes);
    std::size_t completed = 0;
    while (count > 0) {
        // A block is gathered straight into the next free slot, which the
        // reader does not look at before the block is published; when there
        // is none, the block is gathered to be counted and dropped.
        if (fill_ == 0)
            gathering_ =
                full() ? &lostBlock_ : &slots_[tail_.load(std::memory_order_relaxed) % kSlots];
        const std::size_t n = std::min(count, kBlockBytes - fill_);
        std::memcpy(gathering_->bytes.data() + fill_, from, n);
        from += n;
        count -= n;
        fill_ += n;
        if (fill_ < kBlockBytes) break;
        fill_ = 0;
        ++completed;
        if (gathering_ == &lostBlock_) {
            countLost(1);
            continue;
        }
        gathering_->stream = stream;
        // Publishes the block's bytes together with the new tail.
        tail_.store(tail_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }
    return completed;
}

bool BlockRing::full() const {
    // Acquires the reader's release of the slot it last took.
    return tail_.load(std::memory_order_relaxed) - head_.load(std::memory_order_acquire) >= kSlots;
}

void BlockRing::skip(std::size_t count) {
    const std::size_t blocks = (fill_ + count + kBlockBytes - 1) / kBlockBytes;
    fill_ = 0;
    countLost(blocks);
}

void BlockRing::countLost(std::uint64_t blocks) {
    if (blocks > 0) lost_.fetch_add(blocks, std::memory_order_release);
}

void BlockRing::wake() {
    if (wakeFd_ < 0) return;
    const std::uint64_t one = 1;
    // Fails only when the counter is about to overflow, and then the reader
    // is awake anyway.
    while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

const BlockRing::Block* BlockRing::front() const {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return nullptr;
    return &slots_[head % kSlots];
}

void BlockRing::pop() {
    // Hands the slot back to the writer only after its bytes were read.
    head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

void BlockRing::clearWake() {
    if (wakeFd_ < 0) return;
    std::uint64_t count = 0;
    while (::read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
}
