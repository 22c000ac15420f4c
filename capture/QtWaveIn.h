// The real sound input: Qt Multimedia's QAudioSource in push mode.
//
// Every call into Qt Multimedia runs on the sound thread (QtWaveInWorker):
// with PulseAudio, starting a stream waits on the server without a time
// limit, and a stalled server must never freeze the window. The calls here
// run on the GUI thread and never wait for the sound server: they keep the
// lent buffers and the handles themselves, hand the work to the sound thread
// and take back its answers and captured bytes from the event loop. The only
// wait is query()'s, for its answer, and it is bounded like every other: a
// device that leaves a request unanswered for kAnswerLimitMs fails with
// ERR_NOT_ANSWERING.
//
// Qt cannot change the format of a running source, so every open creates a
// new QAudioSource for its rate and close deletes it. Captured bytes fill the
// buffer at the head of the queue, 1024 bytes (512 samples) at a time.
#pragma once

#include "capture/QueuedWaveIn.h"

#include <QElapsedTimer>
#include <array>
#include <memory>

class CaptureChannel;
class QSocketNotifier;
class QTimer;
struct CaptureMessage;

namespace wavein {

class QtWaveInWorker;

class QtWaveIn final : public QueuedWaveIn {
    Q_OBJECT
public:
    // How long a request to the sound server may stay unanswered before the
    // device counts as not answering (ERR_NOT_ANSWERING).
    static constexpr int kAnswerLimitMs = kNotAnsweringLimitMs;

    explicit QtWaveIn(QObject* parent = nullptr);
    ~QtWaveIn() override;

    // Opens at once when the device looks usable; the opened notification
    // follows once the sound thread has set the source up, or a failure
    // notification if it could not.
    MMResult open(Handle* handle, const WaveFormat& format, WaveInSink* sink) override;
    MMResult query(const WaveFormat& format) override;
    MMResult prepareHeader(Handle device, WaveHeader* header) override;
    MMResult unprepareHeader(Handle device, WaveHeader* header) override;
    MMResult addBuffer(Handle device, WaveHeader* header) override;
    // Recording starts on the sound thread; a stream that cannot be started
    // is reported by a failure notification.
    MMResult start(Handle device) override;
    MMResult reset(Handle device) override;
    MMResult close(Handle device) override;

private:
    enum class Request { Query, Open, Start, Stop, Close };

    bool isOpen(Handle device) const { return open_ && device == handle_; }
    // False while an earlier request has gone unanswered past the limit.
    bool answering();
    std::uint32_t request(Request what, const WaveFormat& format = {});
    // Handles everything the sound thread has sent so far.
    void takeMessages();
    void take(const CaptureMessage& m);
    void deposit(const char* bytes, std::uint32_t count);
    void fail(MMResult code);
    void watch();
    void checkProgress();
    void handBackAll();

    static constexpr std::size_t kMaxQueued = 16;

    std::shared_ptr<CaptureChannel> channel_;
    QtWaveInWorker* worker_ = nullptr; // on the sound thread
    QSocketNotifier* wake_ = nullptr;
    QTimer* watchdog_ = nullptr;
    QElapsedTimer sinceProgress_;
    std::uint32_t lastSeq_ = 0;     // the last request made
    std::uint32_t progressSeq_ = 0; // completed requests at the last progress
    bool stalled_ = false;
    bool noDevice_ = false; // the sound thread last found no input device

    WaveInSink* sink_ = nullptr;
    Handle handle_ = 0;
    Handle lastHandle_ = 0;
    bool open_ = false;
    bool running_ = false;
    MMResult failure_ = MMSYSERR_NOERROR; // reported for the open handle
    std::uint32_t openSeq_ = 0;
    std::uint32_t streamSeq_ = 0;
    std::uint32_t querySeq_ = 0;
    bool queryAnswered_ = false;
    MMResult queryResult_ = MMSYSERR_NOERROR;

    // Buffers lent by the program, oldest first; the head one is being filled.
    std::array<WaveHeader*, kMaxQueued> queue_{};
    std::size_t queueHead_ = 0;
    std::size_t queued_ = 0;
    std::uint32_t filled_ = 0; // bytes already in the head buffer
};

} // namespace wavein
