// The real backend's side on the sound thread: every call into Qt
// Multimedia happens here, so that a sound server that stalls holds this
// thread, never the window. It carries out the requests of QtWaveIn in the
// order they were made and sends back, through the channel, their answers,
// the captured bytes and stream failures.
#pragma once

#include "capture/CaptureChannel.h"
#include "capture/WaveIn.h"

#include <QAudio>
#include <QObject>
#include <QPointer>
#include <array>
#include <memory>

class QAudioSource;
class QIODevice;
class QThread;

namespace wavein {

class QtWaveInWorker final : public QObject {
    Q_OBJECT
public:
    explicit QtWaveInWorker(std::shared_ptr<CaptureChannel> channel);
    ~QtWaveInWorker() override;

    // The thread that every worker lives on: one for the whole process,
    // started on first use. Qt's PulseAudio engine belongs to the thread that
    // first uses it and delivers its failures there, so it must outlive every
    // device; the program leaves without stopping it (see ExitQuietly).
    static QThread* SoundThread();

    // Requests, each carried out in order and recorded as completed; those
    // with a result answer through the channel.
    void query(std::uint32_t seq, const WaveFormat& format);
    void open(std::uint32_t seq, const WaveFormat& format);
    void start(std::uint32_t seq);
    void stop(std::uint32_t seq);
    void close(std::uint32_t seq);

private:
    void answer(std::uint32_t seq, CaptureMessage::Kind kind, MMResult result);
    void readAvailable();
    // Adds captured bytes to the block being assembled and sends every block
    // that is complete, one message per block, without waking the window.
    // Returns whether it sent any.
    bool collect(const char* bytes, std::size_t count);
    void stateChanged(QAudio::State state);
    void stopSource();
    void dropSource();

    std::shared_ptr<CaptureChannel> channel_;
    QAudioSource* source_ = nullptr;
    // Qt deletes the device it handed out when the stream fails.
    QPointer<QIODevice> io_;
    bool running_ = false;
    std::uint32_t streamSeq_ = 0; // the start request of the running stream
    // The block being assembled from the source's reads.
    std::array<char, CaptureMessage::kMaxBytes> block_{};
    std::uint32_t blockFill_ = 0;
    // What one read takes from the source: more than PulseAudio hands over
    // at a time.
    std::array<char, 4 * CaptureMessage::kMaxBytes> staging_{};
};

} // namespace wavein
