// A simulated sound input for tests: scripted blocks, a list of accepted
// rates and failure injection on every call. It keeps the rules of the real
// device (handles, prepared and queued headers, notification order) and
// delivers its notifications through the event loop like the real one.
#pragma once

#include "capture/QueuedWaveIn.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wavein {

class SimWaveIn final : public QueuedWaveIn {
    Q_OBJECT
public:
    enum class Call { Open, Query, Prepare, Unprepare, Add, Start, Reset, Close };

    // Writes `count` samples starting at sample number `first` of the stream
    // (counted from the open) at `rate` samples per second.
    using Signal = std::function<void(std::int16_t* out, std::size_t count, std::uint64_t first,
                                      std::uint32_t rate)>;

    explicit SimWaveIn(QObject* parent = nullptr);

    MMResult open(Handle* handle, const WaveFormat& format, WaveInSink* sink) override;
    MMResult query(const WaveFormat& format) override;
    MMResult prepareHeader(Handle device, WaveHeader* header) override;
    MMResult unprepareHeader(Handle device, WaveHeader* header) override;
    MMResult addBuffer(Handle device, WaveHeader* header) override;
    MMResult start(Handle device) override;
    MMResult reset(Handle device) override;
    MMResult close(Handle device) override;

    // Script.
    void setAcceptedRates(std::vector<std::uint32_t> rates) { accepted_ = std::move(rates); }
    // From now on every `call` returns `code` (0 clears it).
    void setFailure(Call call, MMResult code) { failures_[static_cast<int>(call)] = code; }
    void setSignal(Signal s) { signal_ = std::move(s); }
    static Signal tone(double hz, double amplitude);
    static Signal constant(std::int16_t value);

    // Fills up to `n` of the queued buffers, oldest first, while recording;
    // returns how many were filled. Their notifications follow through the
    // event loop.
    int fillBuffers(int n);
    // `blocks` blocks of the stream are lost on the way, as when the window
    // falls behind: the next filled buffers carry the sound after them.
    void loseBlocks(std::uint32_t blocks);
    // The stream stops by itself with `code`, as when the server goes away.
    void failStream(MMResult code);

    // Inspection.
    bool isOpen() const { return open_; }
    bool isRecording() const { return running_; }
    std::uint32_t rate() const { return rate_; }
    std::size_t queuedBuffers() const { return queue_.size(); }
    int opens() const { return opens_; }
    // One line per call, e.g. "open 8000 = 0", "add = 0".
    const std::vector<std::string>& log() const { return log_; }
    void clearLog() { log_.clear(); }

private:
    MMResult injected(Call call) const { return failures_[static_cast<int>(call)]; }
    MMResult record(const char* what, MMResult r);
    bool isOpen(Handle device) const { return open_ && device == handle_; }

    std::vector<std::uint32_t> accepted_{8000, 11025, 22050, 44100, 48000};
    std::array<MMResult, 8> failures_{};
    Signal signal_;
    std::vector<std::string> log_;

    WaveInSink* sink_ = nullptr;
    Handle handle_ = 0;
    Handle lastHandle_ = 0;
    bool open_ = false;
    bool running_ = false;
    std::uint32_t rate_ = 0;
    std::uint64_t samplePos_ = 0;
    int opens_ = 0;
    std::vector<WaveHeader*> queue_;
};

} // namespace wavein
