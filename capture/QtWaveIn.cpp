#include "capture/QtWaveIn.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QMediaDevices>

namespace wavein {

namespace {

bool isPcm16Mono(const WaveFormat& f) {
    return f.wFormatTag == 1 && f.nChannels == 1 && f.wBitsPerSample == 16 && f.nBlockAlign == 2 &&
           f.nSamplesPerSec > 0 && f.nAvgBytesPerSec == 2 * f.nSamplesPerSec;
}

QAudioFormat toQt(const WaveFormat& f) {
    QAudioFormat q;
    q.setSampleRate(static_cast<int>(f.nSamplesPerSec));
    q.setChannelCount(1);
    q.setSampleFormat(QAudioFormat::Int16);
    return q;
}

// Without a sound server the default device is null; report that as a
// missing driver rather than letting start() fail obscurely later.
MMResult checkDevice(const QAudioDevice& dev, const WaveFormat& f) {
    if (!isPcm16Mono(f)) return WAVERR_BADFORMAT;
    if (dev.isNull()) return MMSYSERR_NODRIVER;
    if (!dev.isFormatSupported(toQt(f))) return WAVERR_BADFORMAT;
    return MMSYSERR_NOERROR;
}

} // namespace

QtWaveIn::QtWaveIn(QObject* parent) : QueuedWaveIn(parent) {}

QtWaveIn::~QtWaveIn() {
    if (source_) {
        source_->disconnect(this);
        source_->stop();
        delete source_;
    }
}

MMResult QtWaveIn::query(const WaveFormat& format) {
    CallScope scope(*this);
    return checkDevice(QMediaDevices::defaultAudioInput(), format);
}

MMResult QtWaveIn::open(Handle* handle, const WaveFormat& format, WaveInSink* sink) {
    CallScope scope(*this);
    if (handle == nullptr || sink == nullptr) return MMSYSERR_INVALPARAM;
    if (open_) return MMSYSERR_ALLOCATED;
    const QAudioDevice dev = QMediaDevices::defaultAudioInput();
    if (const MMResult r = checkDevice(dev, format); r != MMSYSERR_NOERROR) return r;

    source_ = new QAudioSource(dev, toQt(format), this);
    // Without this, PulseAudio hands the data over in 50 ms bursts; with it,
    // every 512-sample block arrives on its own.
    source_->setBufferSize(1024);
    connect(source_, &QAudioSource::stateChanged, this, &QtWaveIn::stateChanged);

    open_ = true;
    running_ = false;
    sink_ = sink;
    handle_ = ++lastHandle_;
    *handle = handle_;
    queueHead_ = queued_ = 0;
    filled_ = 0;
    post(Kind::Opened, sink_, handle_);
    scheduleDrain();
    return MMSYSERR_NOERROR;
}

MMResult QtWaveIn::prepareHeader(Handle device, WaveHeader* header) {
    if (!isOpen(device)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMResult QtWaveIn::unprepareHeader(Handle device, WaveHeader* header) {
    if (!isOpen(device)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMResult QtWaveIn::addBuffer(Handle device, WaveHeader* header) {
    if (!isOpen(device)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->lpData == nullptr || header->dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    if (queued_ == kMaxQueued) return MMSYSERR_NOMEM;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    header->dwBytesRecorded = 0;
    queue_[(queueHead_ + queued_) % kMaxQueued] = header;
    ++queued_;
    return MMSYSERR_NOERROR;
}

MMResult QtWaveIn::start(Handle device) {
    CallScope scope(*this);
    if (!isOpen(device)) return MMSYSERR_INVALHANDLE;
    if (running_) return MMSYSERR_NOERROR;
    io_ = source_->start();
    if (io_ == nullptr || source_->error() != QAudio::NoError) {
        const bool busy = source_->error() == QAudio::OpenError;
        source_->stop();
        io_ = nullptr;
        return busy ? MMSYSERR_ALLOCATED : MMSYSERR_ERROR;
    }
    connect(io_, &QIODevice::readyRead, this, &QtWaveIn::readAvailable);
    running_ = true;
    return MMSYSERR_NOERROR;
}

void QtWaveIn::readAvailable() {
    if (!running_ || io_ == nullptr) return;
    for (;;) {
        if (queued_ == 0) {
            // The program holds every buffer: like any device that runs out
            // of buffers, drop what arrived rather than queue it up.
            char scratch[1024];
            while (io_->read(scratch, sizeof scratch) > 0) {
            }
            break;
        }
        WaveHeader* h = queue_[queueHead_];
        const qint64 n = io_->read(h->lpData + filled_, h->dwBufferLength - filled_);
        if (n <= 0) break;
        filled_ += static_cast<std::uint32_t>(n);
        if (filled_ == h->dwBufferLength) {
            h->dwBytesRecorded = filled_;
            h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
            queueHead_ = (queueHead_ + 1) % kMaxQueued;
            --queued_;
            filled_ = 0;
            post(Kind::Data, sink_, handle_, h);
        }
    }
    deliverSoon();
}

void QtWaveIn::stateChanged(QAudio::State state) {
    if (state != QAudio::StoppedState || !running_ || source_ == nullptr) return;
    const QAudio::Error err = source_->error();
    if (err == QAudio::NoError) return;
    // The stream died under us (the sound server went away). The buffers
    // stay with the device until the program resets and closes it.
    running_ = false;
    if (io_ != nullptr) io_->disconnect(this);
    io_ = nullptr;
    post(Kind::Failed, sink_, handle_, nullptr,
         err == QAudio::FatalError ? ERR_DISCONNECTED : MMSYSERR_ERROR);
    deliverSoon();
}

void QtWaveIn::stopSource() {
    running_ = false;
    if (io_ != nullptr) io_->disconnect(this);
    io_ = nullptr;
    if (source_ != nullptr) source_->stop();
}

void QtWaveIn::handBackAll() {
    for (std::size_t i = 0; i < queued_; ++i) {
        WaveHeader* h = queue_[(queueHead_ + i) % kMaxQueued];
        h->dwBytesRecorded = i == 0 ? filled_ : 0;
        h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        post(Kind::Data, sink_, handle_, h);
    }
    queueHead_ = queued_ = 0;
    filled_ = 0;
}

MMResult QtWaveIn::reset(Handle device) {
    CallScope scope(*this);
    if (!isOpen(device)) return MMSYSERR_INVALHANDLE;
    stopSource();
    handBackAll();
    scheduleDrain();
    return MMSYSERR_NOERROR;
}

MMResult QtWaveIn::close(Handle device) {
    CallScope scope(*this);
    if (!isOpen(device)) return MMSYSERR_INVALHANDLE;
    if (queued_ > 0) return WAVERR_STILLPLAYING; // reset first: the buffers are still lent
    stopSource();
    if (source_ != nullptr) {
        source_->disconnect(this);
        // We may be inside one of this source's own signals.
        source_->deleteLater();
        source_ = nullptr;
    }
    open_ = false;
    post(Kind::Closed, sink_, handle_);
    scheduleDrain();
    return MMSYSERR_NOERROR;
}

} // namespace wavein
