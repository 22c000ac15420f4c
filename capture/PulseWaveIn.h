// The real sound input: the wave-input calls on a PulseCapture (libpulse),
// for PulseAudio and PipeWire alike.
//
// Nothing here waits for the sound server except query(), whose answer is its
// result, and that wait is bounded. The other calls keep the lent buffers and
// the handles themselves and leave requests to the server's client thread;
// its answers and the captured blocks come back through the block ring's
// eventfd, which a socket notifier watches on the GUI thread. Each block is
// copied into the oldest lent buffer and handed to the window at once, so a
// window that gives its buffer back from the data notification never runs
// out of buffers, however many blocks arrive together.
//
// An open that the server leaves unanswered for kAnswerLimitMs fails with
// ERR_NOT_ANSWERING; a stream that dies (the server went away) with
// ERR_DISCONNECTED; blocks lost on the way (the ring full, a hole in the
// stream, no buffer lent) are reported with the lost notification before the
// next block.
#pragma once

#include "capture/QueuedWaveIn.h"

#include <QElapsedTimer>
#include <array>
#include <memory>

class PulseCapture;
class QSocketNotifier;
class QTimer;

namespace wavein {

class PulseWaveIn final : public QueuedWaveIn {
    Q_OBJECT
public:
    static constexpr int kAnswerLimitMs = kNotAnsweringLimitMs;

    explicit PulseWaveIn(QObject* parent = nullptr);
    ~PulseWaveIn() override;

    // Opens at once; the opened notification follows when the server has set
    // the stream up, or a failure notification if it could not.
    MMResult open(Handle* handle, const WaveFormat& format, WaveInSink* sink) override;
    // Waits, at most kAnswerLimitMs, only while the connection to the server
    // is still being made. Both servers resample, so every rate they take is
    // accepted.
    MMResult query(const WaveFormat& format) override;
    MMResult prepareHeader(Handle device, WaveHeader* header) override;
    MMResult unprepareHeader(Handle device, WaveHeader* header) override;
    MMResult addBuffer(Handle device, WaveHeader* header) override;
    MMResult start(Handle device) override;
    MMResult reset(Handle device) override;
    MMResult close(Handle device) override;

    // Blocks lost since the device was made (tests and diagnostics).
    std::uint64_t lostBlocks() const { return lostTotal_; }

private:
    bool isOpen(Handle device) const { return open_ && device == handle_; }
    void onWake();
    void checkStates();
    void takeBlocks();
    void reportLost(std::uint64_t blocks);
    void fail(MMResult code);
    MMResult failureCode() const;
    void checkOpening();
    void handBackAll();

    // The program's eight buffers, and no more, may be lent at a time.
    static constexpr std::size_t kMaxLent = 8;

    std::unique_ptr<PulseCapture> capture_;
    QSocketNotifier* wake_ = nullptr;
    QTimer* watchdog_ = nullptr;
    QElapsedTimer openedAt_;
    bool queryStalled_ = false; // a query found no answer within the limit

    WaveInSink* sink_ = nullptr;
    Handle handle_ = 0;
    Handle lastHandle_ = 0;
    bool open_ = false;
    bool opening_ = false; // open() ran, the stream is not ready yet
    bool running_ = false;
    MMResult failure_ = MMSYSERR_NOERROR; // reported for the open handle
    std::uint32_t serial_ = 0;            // of the running stream's blocks
    std::uint64_t lostSeen_ = 0;          // the ring's lost count already reported
    std::uint64_t lostTotal_ = 0;

    // Buffers lent by the program, oldest first.
    std::array<WaveHeader*, kMaxLent> lent_{};
    std::size_t lentHead_ = 0;
    std::size_t lentCount_ = 0;
};

} // namespace wavein
