#include "capture/QueuedWaveIn.h"

#include <QtGlobal>

namespace wavein {

QueuedWaveIn::QueuedWaveIn(QObject* parent) : QObject(parent) {}

void QueuedWaveIn::post(Kind kind, WaveInSink* sink, Handle device, WaveHeader* header,
                        MMResult code) {
    // Losses that meet before the window has heard of the first are one
    // loss: however long a modal box holds the window, they take one note.
    if (kind == Kind::Lost && count_ > 0) {
        Note& last = notes_[(head_ + count_ - 1) % notes_.size()];
        if (last.kind == Kind::Lost && last.sink == sink && last.device == device) {
            last.code += code;
            return;
        }
    }
    if (count_ == notes_.size()) {
        // Cannot happen with one ring of eight buffers; losing a note is
        // better than overwriting one that is still to be delivered.
        qWarning("wave input: notification queue full, one notification dropped");
        return;
    }
    notes_[(head_ + count_) % notes_.size()] = Note{kind, sink, device, header, code};
    ++count_;
}

void QueuedWaveIn::deliverSoon() {
    if (callDepth_ == 0 && !drainPosted_)
        drain();
    else
        scheduleDrain();
}

void QueuedWaveIn::scheduleDrain() {
    if (drainPosted_ || count_ == 0) return;
    drainPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            drainPosted_ = false;
            drain();
        },
        Qt::QueuedConnection);
}

void QueuedWaveIn::drain() {
    // A handler may open a modal box whose event loop comes back here; the
    // outer loop then goes on delivering in order once the handler returns.
    if (draining_) return;
    draining_ = true;
    while (count_ > 0) {
        const Note n = notes_[head_];
        head_ = (head_ + 1) % notes_.size();
        --count_;
        if (n.sink == nullptr) continue; // detached
        switch (n.kind) {
        case Kind::Opened:
            n.sink->waveInOpened(n.device);
            break;
        case Kind::Data:
            n.sink->waveInData(n.device, n.header);
            break;
        case Kind::Closed:
            n.sink->waveInClosed(n.device);
            break;
        case Kind::Failed:
            n.sink->waveInFailed(n.device, n.code);
            break;
        case Kind::Lost:
            n.sink->waveInLost(n.device, n.code);
            break;
        }
    }
    draining_ = false;
}

void QueuedWaveIn::detach(WaveInSink* sink) {
    for (std::size_t i = 0; i < count_; ++i) {
        Note& n = notes_[(head_ + i) % notes_.size()];
        if (n.sink == sink) n.sink = nullptr;
    }
}

} // namespace wavein
