// The one-way road from the sound thread to the GUI thread of the real
// backend: a fixed ring of messages (captured bytes, answers to requests,
// stream failures) with one writer and one reader, and a file descriptor
// that becomes readable when a message is waiting.
//
// No locks and no allocation after construction: the writer is the sound
// thread, which must never wait for the GUI, and the reader is the GUI
// thread, which must never wait for the sound server. The two keep their
// order, so everything the sound thread wrote before an answer is read
// before that answer.
#pragma once

#include "capture/WaveIn.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

struct CaptureMessage {
    enum class Kind : std::uint8_t {
        Data,         // `bytes` captured bytes of the stream started by request `seq`
        Answer,       // the result of request `seq`
        StreamFailed, // the stream started by request `seq` stopped with `result`
    };
    static constexpr std::size_t kMaxBytes = 1024; // one block: 512 16-bit samples

    Kind kind = Kind::Data;
    std::uint32_t seq = 0;
    wavein::MMResult result = 0;
    std::uint32_t bytes = 0;
    std::array<char, kMaxBytes> data{};
};

class CaptureChannel {
public:
    static constexpr std::size_t kSlots = 64;
    // Captured data may fill this many slots; the rest stay free for answers,
    // so that a reader that falls behind loses sound, never an answer.
    static constexpr std::size_t kDataSlots = 48;

    CaptureChannel();
    ~CaptureChannel();
    CaptureChannel(const CaptureChannel&) = delete;
    CaptureChannel& operator=(const CaptureChannel&) = delete;

    // Readable while a message waits (an eventfd); -1 if none could be made.
    int wakeFd() const { return wakeFd_; }

    // ---- writer (one thread)
    // The slot to fill for captured data, or nullptr when data has used its
    // share of the ring. Nothing is sent until publish().
    CaptureMessage* beginData();
    // The slot for an answer or a failure, or nullptr when the ring is full.
    CaptureMessage* beginControl();
    // Sends the slot last begun and wakes the reader.
    void publish();
    // Sends the slot last begun without waking the reader, for a writer that
    // sends several at once and then wakes the reader once with wake().
    void publishQuietly();
    void wake();
    // Records that request `seq` (and every earlier one) has been carried out.
    void completed(std::uint32_t seq);

    // ---- reader (one thread)
    // The oldest waiting message, or nullptr.
    const CaptureMessage* front() const;
    void pop();
    // Makes wakeFd() unreadable again; call before looking at front().
    void clearWake();
    std::uint32_t completedSeq() const { return completed_.load(std::memory_order_acquire); }

private:
    std::array<CaptureMessage, kSlots> slots_{};
    std::atomic<std::size_t> head_{0}; // next to read; written by the reader
    std::atomic<std::size_t> tail_{0}; // next to write; written by the writer
    std::atomic<std::uint32_t> completed_{0};
    int wakeFd_ = -1;
};
