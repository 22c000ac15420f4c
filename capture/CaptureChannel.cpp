#include "capture/CaptureChannel.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

CaptureChannel::CaptureChannel() : wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

CaptureChannel::~CaptureChannel() {
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

CaptureMessage* CaptureChannel::beginData() {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) >= kDataSlots) return nullptr;
    return &slots_[tail % kSlots];
}

CaptureMessage* CaptureChannel::beginControl() {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) >= kSlots) return nullptr;
    return &slots_[tail % kSlots];
}

void CaptureChannel::publish() {
    publishQuietly();
    wake();
}

void CaptureChannel::publishQuietly() {
    tail_.store(tail_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

void CaptureChannel::wake() {
    if (wakeFd_ < 0) return;
    const std::uint64_t one = 1;
    // Only fails when the counter is about to overflow, and then the reader
    // is awake anyway.
    while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void CaptureChannel::completed(std::uint32_t seq) {
    // Requests finish in order, but one may finish inside another (Qt can
    // run the thread's events from within a call): keep the highest.
    if (seq > completed_.load(std::memory_order_relaxed))
        completed_.store(seq, std::memory_order_release);
}

const CaptureMessage* CaptureChannel::front() const {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return nullptr;
    return &slots_[head % kSlots];
}

void CaptureChannel::pop() {
    head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

void CaptureChannel::clearWake() {
    if (wakeFd_ < 0) return;
    std::uint64_t count = 0;
    while (::read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
}
