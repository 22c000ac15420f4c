#include "capture/QtWaveIn.h"

#include "capture/CaptureChannel.h"
#include "capture/QtWaveInWorker.h"

#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <poll.h>

namespace wavein {

namespace {

// How often an unanswered request is looked at.
constexpr int kWatchdogTickMs = 250;

bool isPcm16Mono(const WaveFormat& f) {
    return f.wFormatTag == 1 && f.nChannels == 1 && f.wBitsPerSample == 16 && f.nBlockAlign == 2 &&
           f.nSamplesPerSec > 0 && f.nAvgBytesPerSec == 2 * f.nSamplesPerSec;
}

} // namespace

QtWaveIn::QtWaveIn(QObject* parent)
    : QueuedWaveIn(parent), channel_(std::make_shared<CaptureChannel>()) {
    worker_ = new QtWaveInWorker(channel_);
    worker_->moveToThread(QtWaveInWorker::SoundThread());
    if (channel_->wakeFd() >= 0) {
        wake_ = new QSocketNotifier(channel_->wakeFd(), QSocketNotifier::Read, this);
        connect(wake_, &QSocketNotifier::activated, this, [this] {
            channel_->clearWake();
            takeMessages();
        });
    }
    watchdog_ = new QTimer(this);
    watchdog_->setInterval(kWatchdogTickMs);
    connect(watchdog_, &QTimer::timeout, this, &QtWaveIn::checkProgress);
}

QtWaveIn::~QtWaveIn() {
    // The worker stops and deletes its source on the sound thread, whenever
    // that gets to it: waiting here could mean waiting for a stalled server.
    QMetaObject::invokeMethod(
        worker_, [w = worker_] { w->deleteLater(); }, Qt::QueuedConnection);
}

bool QtWaveIn::answering() {
    if (stalled_ && channel_->completedSeq() == lastSeq_) stalled_ = false;
    return !stalled_;
}

std::uint32_t QtWaveIn::request(Request what, const WaveFormat& format) {
    const std::uint32_t seq = ++lastSeq_;
    QtWaveInWorker* w = worker_;
    auto run = [w, what, seq, format] {
        switch (what) {
        case Request::Query:
            w->query(seq, format);
            break;
        case Request::Open:
            w->open(seq, format);
            break;
        case Request::Start:
            w->start(seq);
            break;
        case Request::Stop:
            w->stop(seq);
            break;
        case Request::Close:
            w->close(seq);
            break;
        }
    };
    QMetaObject::invokeMethod(worker_, run, Qt::QueuedConnection);
    watch();
    return seq;
}

void QtWaveIn::watch() {
    if (watchdog_->isActive()) return;
    progressSeq_ = channel_->completedSeq();
    sinceProgress_.start();
    watchdog_->start();
}

void QtWaveIn::checkProgress() {
    takeMessages();
    const std::uint32_t done = channel_->completedSeq();
    if (done == lastSeq_) {
        watchdog_->stop();
        stalled_ = false;
        return;
    }
    if (done != progressSeq_) {
        progressSeq_ = done;
        sinceProgress_.restart();
        return;
    }
    if (sinceProgress_.elapsed() < kAnswerLimitMs) return;
    // The sound thread is stuck in the sound server. Whatever it was doing,
    // the open device can no longer be relied on: report it, so that the
    // program closes it, and refuse new work until the thread is back.
    watchdog_->stop();
    stalled_ = true;
    CallScope scope(*this);
    fail(ERR_NOT_ANSWERING);
    scheduleDrain();
}

void QtWaveIn::takeMessages() {
    {
        CallScope scope(*this);
        while (const CaptureMessage* m = channel_->front()) {
            take(*m);
            channel_->pop();
        }
    }
    deliverSoon();
}

void QtWaveIn::take(const CaptureMessage& m) {
    switch (m.kind) {
    case CaptureMessage::Kind::Data:
        if (running_ && m.seq == streamSeq_) deposit(m.data.data(), m.bytes);
        break;
    case CaptureMessage::Kind::StreamFailed:
        if (running_ && m.seq == streamSeq_) fail(m.result);
        break;
    case CaptureMessage::Kind::Answer:
        if (m.seq == querySeq_) {
            queryAnswered_ = true;
            queryResult_ = m.result;
            noDevice_ = m.result == MMSYSERR_NODRIVER;
        } else if (m.seq == openSeq_ && open_) {
            noDevice_ = m.result == MMSYSERR_NODRIVER;
            if (m.result == MMSYSERR_NOERROR)
                post(Kind::Opened, sink_, handle_);
            else
                fail(m.result);
        } else if (m.seq == streamSeq_ && running_ && m.result != MMSYSERR_NOERROR) {
            fail(m.result);
        }
        break;
    }
}

void QtWaveIn::fail(MMResult code) {
    if (!open_ || failure_ != MMSYSERR_NOERROR) return;
    failure_ = code;
    running_ = false;
    post(Kind::Failed, sink_, handle_, nullptr, code);
}

void QtWaveIn::deposit(const char* bytes, std::uint32_t count) {
    while (count > 0) {
        // The program holds every buffer: like any device that runs out of
        // buffers, drop what arrived rather than queue it up.
        if (queued_ == 0) return;
        WaveHeader* h = queue_[queueHead_];
        const std::uint32_t n = std::min(count, h->dwBufferLength - filled_);
        std::memcpy(h->lpData + filled_, bytes, n);
        bytes += n;
        count -= n;
        filled_ += n;
        if (filled_ == h->dwBufferLength) {
            h->dwBytesRecorded = filled_;
            h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
            queueHead_ = (queueHead_ + 1) % kMaxQueued;
            --queued_;
            filled_ = 0;
            post(Kind::Data, sink_, handle_, h);
        }
    }
}

MMResult QtWaveIn::query(const WaveFormat& format) {
    CallScope scope(*this);
    if (!isPcm16Mono(format)) return WAVERR_BADFORMAT;
    if (wake_ == nullptr) return MMSYSERR_NOMEM;
    if (!answering()) return ERR_NOT_ANSWERING;
    querySeq_ = request(Request::Query, format);
    queryAnswered_ = false;
    // The one call that waits for the sound thread, as its answer is its
    // result; bounded like every other wait.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        takeMessages();
        if (queryAnswered_) return queryResult_;
        const qint64 left = kAnswerLimitMs - waited.elapsed();
        if (left <= 0) break;
        pollfd ready{channel_->wakeFd(), POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(left)) > 0) channel_->clearWake();
    }
    stalled_ = true;
    return ERR_NOT_ANSWERING;
}

MMResult QtWaveIn::open(Handle* handle, const WaveFormat& format, WaveInSink* sink) {
    CallScope scope(*this);
    if (handle == nullptr || sink == nullptr) return MMSYSERR_INVALPARAM;
    if (open_) return MMSYSERR_ALLOCATED;
    if (!isPcm16Mono(format)) return WAVERR_BADFORMAT;
    if (wake_ == nullptr) return MMSYSERR_NOMEM;
    // Without a sound server Qt never finds a device again in this run: say
    // so now, as the open of a missing device would, and not after the
    // window has come up.
    if (noDevice_) return MMSYSERR_NODRIVER;
    if (!answering()) return ERR_NOT_ANSWERING;

    open_ = true;
    running_ = false;
    failure_ = MMSYSERR_NOERROR;
    sink_ = sink;
    handle_ = ++lastHandle_;
    *handle = handle_;
    queueHead_ = queued_ = 0;
    filled_ = 0;
    openSeq_ = request(Request::Open, format);
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
    if (failure_ != MMSYSERR_NOERROR) return failure_;
    if (running_) return MMSYSERR_NOERROR;
    if (!answering()) return ERR_NOT_ANSWERING;
    running_ = true;
    filled_ = 0;
    streamSeq_ = request(Request::Start);
    return MMSYSERR_NOERROR;
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
    running_ = false;
    request(Request::Stop);
    handBackAll();
    scheduleDrain();
    return MMSYSERR_NOERROR;
}

MMResult QtWaveIn::close(Handle device) {
    CallScope scope(*this);
    if (!isOpen(device)) return MMSYSERR_INVALHANDLE;
    if (queued_ > 0) return WAVERR_STILLPLAYING; // reset first: the buffers are still lent
    running_ = false;
    open_ = false;
    request(Request::Close);
    post(Kind::Closed, sink_, handle_);
    scheduleDrain();
    return MMSYSERR_NOERROR;
}

} // namespace wavein
