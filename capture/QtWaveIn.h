// The real sound input: Qt Multimedia's QAudioSource in push mode.
//
// Qt cannot change the format of a running source, so every open creates a
// new QAudioSource for its rate and close deletes it. Data is read on
// readyRead (GUI thread) straight into the buffer at the head of the queue,
// 1024 bytes (512 samples) at a time.
#pragma once

#include "capture/QueuedWaveIn.h"

#include <QAudio>
#include <QIODevice>
#include <QPointer>
#include <array>

class QAudioSource;

namespace wavein {

class QtWaveIn final : public QueuedWaveIn {
    Q_OBJECT
public:
    explicit QtWaveIn(QObject* parent = nullptr);
    ~QtWaveIn() override;

    MMResult open(Handle* handle, const WaveFormat& format, WaveInSink* sink) override;
    MMResult query(const WaveFormat& format) override;
    MMResult prepareHeader(Handle device, WaveHeader* header) override;
    MMResult unprepareHeader(Handle device, WaveHeader* header) override;
    MMResult addBuffer(Handle device, WaveHeader* header) override;
    MMResult start(Handle device) override;
    MMResult reset(Handle device) override;
    MMResult close(Handle device) override;

private:
    bool isOpen(Handle device) const { return open_ && device == handle_; }
    void readAvailable();
    void stateChanged(QAudio::State state);
    void stopSource();
    void handBackAll();

    static constexpr std::size_t kMaxQueued = 16;

    QPointer<QAudioSource> source_;
    // Qt deletes the device it handed out when the stream fails.
    QPointer<QIODevice> io_;
    WaveInSink* sink_ = nullptr;
    Handle handle_ = 0;
    Handle lastHandle_ = 0;
    bool open_ = false;
    bool running_ = false;

    // Buffers lent by the program, oldest first; the head one is being filled.
    std::array<WaveHeader*, kMaxQueued> queue_{};
    std::size_t queueHead_ = 0;
    std::size_t queued_ = 0;
    std::uint32_t filled_ = 0; // bytes already in the head buffer
};

} // namespace wavein
