#include "capture/PulseWaveIn.h"

#include "capture/PulseCapture.h"

#include <QSocketNotifier>
#include <QTimer>
#include <cstring>
#include <poll.h>

namespace wavein {

namespace {

// How often an open that waits for the server is looked at.
constexpr int kWatchdogTickMs = 250;

bool isPcm16Mono(const WaveFormat& f) {
    return f.wFormatTag == 1 && f.nChannels == 1 && f.wBitsPerSample == 16 && f.nBlockAlign == 2 &&
           f.nSamplesPerSec > 0 && f.nAvgBytesPerSec == 2 * f.nSamplesPerSec;
}

MMResult fromFailure(PulseCapture::Failure f) {
    switch (f) {
    case PulseCapture::Failure::NoServer:
    case PulseCapture::Failure::NoSource:
        return MMSYSERR_NODRIVER;
    case PulseCapture::Failure::ServerGone:
        return ERR_DISCONNECTED;
    case PulseCapture::Failure::BadFormat:
        return WAVERR_BADFORMAT;
    default:
        return MMSYSERR_ERROR;
    }
}

} // namespace

PulseWaveIn::PulseWaveIn(QObject* parent)
    : QueuedWaveIn(parent), capture_(std::make_unique<PulseCapture>()) {
    if (capture_->ring().wakeFd() >= 0) {
        wake_ = new QSocketNotifier(capture_->ring().wakeFd(), QSocketNotifier::Read, this);
        connect(wake_, &QSocketNotifier::activated, this, &PulseWaveIn::onWake);
    }
    watchdog_ = new QTimer(this);
    watchdog_->setInterval(kWatchdogTickMs);
    connect(watchdog_, &QTimer::timeout, this, &PulseWaveIn::checkOpening);
}

PulseWaveIn::~PulseWaveIn() {
    // The notifier goes before the eventfd it watches (the capture's).
    delete wake_;
}

void PulseWaveIn::onWake() {
    capture_->ring().clearWake();
    checkStates();
    takeBlocks();
}

MMResult PulseWaveIn::failureCode() const {
    return fromFailure(capture_->failure());
}

void PulseWaveIn::checkStates() {
    if (!open_ || failure_ != MMSYSERR_NOERROR) return;
    const PulseCapture::Stream stream = capture_->stream();
    if (stream == PulseCapture::Stream::Failed ||
        capture_->server() == PulseCapture::Server::Failed) {
        // Before the stream was ready, the server's reason says it best;
        // afterwards, whatever the reason, the input has gone away.
        CallScope scope(*this);
        fail(opening_ ? failureCode() : ERR_DISCONNECTED);
        deliverSoon();
        return;
    }
    if (opening_ && stream == PulseCapture::Stream::Ready) {
        opening_ = false;
        watchdog_->stop();
        CallScope scope(*this);
        post(Kind::Opened, sink_, handle_);
        deliverSoon();
    }
}

void PulseWaveIn::checkOpening() {
    onWake();
    if (!opening_) {
        watchdog_->stop();
        return;
    }
    if (openedAt_.elapsed() < kAnswerLimitMs) return;
    // The server has not set the stream up within the limit (it has
    // stalled): report it, so that the program closes the device.
    watchdog_->stop();
    CallScope scope(*this);
    fail(ERR_NOT_ANSWERING);
    scheduleDrain();
}

void PulseWaveIn::reportLost(std::uint64_t blocks) {
    if (blocks == 0) return;
    lostTotal_ += blocks;
    post(Kind::Lost, sink_, handle_, nullptr, static_cast<MMResult>(blocks));
}

void PulseWaveIn::takeBlocks() {
    BlockRing& ring = capture_->ring();
    while (const BlockRing::Block* block = ring.front()) {
        if (!running_ || block->stream != serial_) {
            ring.pop(); // of a stream that was stopped since
            continue;
        }
        {
            CallScope scope(*this);
            // The ring counts a loss before the blocks that follow it.
            const std::uint64_t lost = ring.lost();
            reportLost(lost - lostSeen_);
            lostSeen_ = lost;
            if (lentCount_ == 0) {
                // The program holds every buffer: like any device that runs
                // out of buffers, drop the block, and say so.
                reportLost(1);
            } else {
                WaveHeader* h = lent_[lentHead_];
                lentHead_ = (lentHead_ + 1) % kMaxLent;
                --lentCount_;
                const std::uint32_t n =
                    std::min<std::uint32_t>(h->dwBufferLength, BlockRing::kBlockBytes);
                std::memcpy(h->lpData, block->bytes.data(), n);
                h->dwBytesRecorded = n;
                h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
                post(Kind::Data, sink_, handle_, h);
            }
            ring.pop();
        }
        // Delivered before the next block is taken, so that the buffer the
        // window gives back is there for it.
        deliverSoon();
    }
    if (running_) {
        CallScope scope(*this);
        const std::uint64_t lost = ring.lost();
        reportLost(lost - lostSeen_);
        lostSeen_ = lost;
    }
    deliverSoon();
}

void PulseWaveIn::fail(MMResult code) {
    if (!open_ || failure_ != MMSYSERR_NOERROR) return;
    failure_ = code;
    opening_ = false;
    running_ = false;
    watchdog_->stop();
    post(Kind::Failed, sink_, handle_, nullptr, code);
}

MMResult PulseWaveIn::query(const WaveFormat& format) {
    if (!isPcm16Mono(format)) return WAVERR_BADFORMAT;
    if (wake_ == nullptr) return MMSYSERR_NOMEM;
    // The one call that waits, as its answer is its result: only while the
    // connection is being made, and never longer than the limit.
    QElapsedTimer waited;
    waited.start();
    PulseCapture::Server server = capture_->server();
    bool polled = false;
    while (server == PulseCapture::Server::Connecting && !queryStalled_) {
        const qint64 left = kAnswerLimitMs - waited.elapsed();
        if (left <= 0) {
            queryStalled_ = true;
            break;
        }
        pollfd ready{capture_->ring().wakeFd(), POLLIN, 0};
        ::poll(&ready, 1, static_cast<int>(left));
        polled = true;
        server = capture_->server();
    }
    // What woke the poll is looked at from the event loop as usual.
    if (polled) QMetaObject::invokeMethod(this, &PulseWaveIn::onWake, Qt::QueuedConnection);
    switch (server) {
    case PulseCapture::Server::Connecting:
        return ERR_NOT_ANSWERING;
    case PulseCapture::Server::Failed:
        return failureCode();
    case PulseCapture::Server::Ready:
        break;
    }
    return PulseCapture::RateSupported(format.nSamplesPerSec) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

MMResult PulseWaveIn::open(Handle* handle, const WaveFormat& format, WaveInSink* sink) {
    CallScope scope(*this);
    if (handle == nullptr || sink == nullptr) return MMSYSERR_INVALPARAM;
    if (open_) return MMSYSERR_ALLOCATED;
    if (!isPcm16Mono(format)) return WAVERR_BADFORMAT;
    if (wake_ == nullptr) return MMSYSERR_NOMEM;
    // Without a server, say so now, as the open of a missing device would,
    // and not after the window has come up.
    if (capture_->server() == PulseCapture::Server::Failed) return failureCode();
    if (queryStalled_ && capture_->server() == PulseCapture::Server::Connecting)
        return ERR_NOT_ANSWERING;
    if (!PulseCapture::RateSupported(format.nSamplesPerSec)) return WAVERR_BADFORMAT;
    if (!capture_->openStream(format.nSamplesPerSec)) return failureCode();

    open_ = true;
    opening_ = true;
    running_ = false;
    failure_ = MMSYSERR_NOERROR;
    sink_ = sink;
    handle_ = ++lastHandle_;
    *handle = handle_;
    lentHead_ = lentCount_ = 0;
    openedAt_.start();
    watchdog_->start();
    return MMSYSERR_NOERROR;
}

MMResult PulseWaveIn::prepareHeader(Handle device, WaveHeader* header) {
    if (!isOpen(device)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMResult PulseWaveIn::unprepareHeader(Handle device, WaveHeader* header) {
    if (!isOpen(device)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMResult PulseWaveIn::addBuffer(Handle device, WaveHeader* header) {
    if (!isOpen(device)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->lpData == nullptr || header->dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    if (lentCount_ == kMaxLent) return MMSYSERR_NOMEM;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    header->dwBytesRecorded = 0;
    lent_[(lentHead_ + lentCount_) % kMaxLent] = header;
    ++lentCount_;
    return MMSYSERR_NOERROR;
}

MMResult PulseWaveIn::start(Handle device) {
    if (!isOpen(device)) return MMSYSERR_INVALHANDLE;
    if (failure_ != MMSYSERR_NOERROR) return failure_;
    if (running_) return MMSYSERR_NOERROR;
    running_ = true;
    // Blocks of an earlier run, and losses before this one, are not ours.
    ++serial_;
    lostSeen_ = capture_->ring().lost();
    capture_->run(true, serial_);
    return MMSYSERR_NOERROR;
}

void PulseWaveIn::handBackAll() {
    for (std::size_t i = 0; i < lentCount_; ++i) {
        WaveHeader* h = lent_[(lentHead_ + i) % kMaxLent];
        h->dwBytesRecorded = 0;
        h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        post(Kind::Data, sink_, handle_, h);
    }
    lentHead_ = lentCount_ = 0;
}

MMResult PulseWaveIn::reset(Handle device) {
    CallScope scope(*this);
    if (!isOpen(device)) return MMSYSERR_INVALHANDLE;
    running_ = false;
    capture_->run(false);
    handBackAll();
    scheduleDrain();
    return MMSYSERR_NOERROR;
}

MMResult PulseWaveIn::close(Handle device) {
    CallScope scope(*this);
    if (!isOpen(device)) return MMSYSERR_INVALHANDLE;
    if (lentCount_ > 0) return WAVERR_STILLPLAYING; // reset first: the buffers are still lent
    open_ = false;
    opening_ = false;
    running_ = false;
    watchdog_->stop();
    capture_->closeStream();
    post(Kind::Closed, sink_, handle_);
    scheduleDrain();
    return MMSYSERR_NOERROR;
}

} // namespace wavein
