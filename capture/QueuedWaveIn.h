// Delivery of the wave-input notifications through the Qt event loop.
//
// Both backends put their notifications into one fixed-size FIFO and hand
// them to the sink from the event loop, so a notification never runs nested
// inside a device call (a reset's returned buffers arrive after reset()
// returned) and they keep the order in which the device produced them. The
// FIFO is a fixed array: nothing is allocated per audio block.
#pragma once

#include "capture/WaveIn.h"

#include <QObject>
#include <array>
#include <cstddef>

namespace wavein {

class QueuedWaveIn : public QObject, public WaveInDevice {
    Q_OBJECT
public:
    explicit QueuedWaveIn(QObject* parent = nullptr);

    void detach(WaveInSink* sink) override;

    // Number of notifications waiting for the event loop.
    std::size_t pendingNotifications() const { return count_; }

protected:
    enum class Kind { Opened, Data, Closed, Failed, Lost };

    void post(Kind kind, WaveInSink* sink, Handle device, WaveHeader* header = nullptr,
              MMResult code = 0);
    // Hands the queued notifications over now when that is safe (not inside
    // a device call), otherwise from the event loop.
    void deliverSoon();
    void scheduleDrain();

    // Marks the extent of a device call: notifications found meanwhile (for
    // instance a readyRead emitted by a stop) wait for the event loop.
    struct CallScope {
        explicit CallScope(QueuedWaveIn& d) : d_(d) { ++d_.callDepth_; }
        ~CallScope() { --d_.callDepth_; }
        QueuedWaveIn& d_;
    };

private:
    struct Note {
        Kind kind = Kind::Data;
        WaveInSink* sink = nullptr;
        Handle device = 0;
        WaveHeader* header = nullptr;
        MMResult code = 0; // the failure's code, or the lost blocks
    };

    void drain();

    // At most the eight buffers that a reset hands back, plus an open, a
    // close, a failure and a loss.
    std::array<Note, 16> notes_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    bool drainPosted_ = false;
    bool draining_ = false;
    int callDepth_ = 0;
};

} // namespace wavein
