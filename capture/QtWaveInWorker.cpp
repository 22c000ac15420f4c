#include "capture/QtWaveInWorker.h"

#include "capture/SourceFragment.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

namespace wavein {

namespace {

constexpr std::uint32_t kBlockBytes = static_cast<std::uint32_t>(CaptureMessage::kMaxBytes);
// How long the sound thread waits for room for an answer before giving it
// up (only a reader that has stopped reading leaves the ring full).
constexpr auto kAnswerRoomWait = std::chrono::seconds(2);

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
    if (dev.isNull()) return MMSYSERR_NODRIVER;
    if (!dev.isFormatSupported(toQt(f))) return WAVERR_BADFORMAT;
    return MMSYSERR_NOERROR;
}

MMResult fromQt(QAudio::Error error) {
    switch (error) {
    case QAudio::NoError:
        return MMSYSERR_NOERROR;
    case QAudio::OpenError:
        return MMSYSERR_ALLOCATED;
    case QAudio::FatalError: // the sound server went away
        return ERR_DISCONNECTED;
    default:
        return MMSYSERR_ERROR;
    }
}

} // namespace

QThread* QtWaveInWorker::SoundThread() {
    static QThread* const thread = [] {
        auto* t = new QThread;
        t->setObjectName(QStringLiteral("sound"));
        t->start();
        // A program that returns from main() normally stops it with the
        // application; one stuck in the sound server is left to the exit.
        qAddPostRoutine([] {
            SoundThread()->quit();
            SoundThread()->wait(1000);
        });
        return t;
    }();
    return thread;
}

QtWaveInWorker::QtWaveInWorker(std::shared_ptr<CaptureChannel> channel)
    : channel_(std::move(channel)) {}

QtWaveInWorker::~QtWaveInWorker() {
    dropSource();
}

void QtWaveInWorker::answer(std::uint32_t seq, CaptureMessage::Kind kind, MMResult result) {
    CaptureMessage* m = channel_->beginControl();
    const auto giveUp = std::chrono::steady_clock::now() + kAnswerRoomWait;
    while (m == nullptr && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        m = channel_->beginControl();
    }
    if (m == nullptr) return;
    m->kind = kind;
    m->seq = seq;
    m->result = result;
    m->bytes = 0;
    channel_->publish();
}

void QtWaveInWorker::query(std::uint32_t seq, const WaveFormat& format) {
    answer(seq, CaptureMessage::Kind::Answer,
           checkDevice(QMediaDevices::defaultAudioInput(), format));
    channel_->completed(seq);
}

void QtWaveInWorker::open(std::uint32_t seq, const WaveFormat& format) {
    const QAudioDevice dev = QMediaDevices::defaultAudioInput();
    const MMResult r = checkDevice(dev, format);
    if (r == MMSYSERR_NOERROR) {
        dropSource();
        source_ = new QAudioSource(dev, toQt(format));
        // Without a buffer size, PulseAudio hands the sound over in 50 ms
        // bursts; Qt asks it for fragments of this size instead.
        source_->setBufferSize(SourceFragmentBytes(format.nSamplesPerSec));
        connect(source_, &QAudioSource::stateChanged, this, &QtWaveInWorker::stateChanged);
    }
    answer(seq, CaptureMessage::Kind::Answer, r);
    channel_->completed(seq);
}

void QtWaveInWorker::start(std::uint32_t seq) {
    MMResult r = MMSYSERR_INVALHANDLE;
    if (source_ != nullptr) {
        stopSource();
        streamSeq_ = seq;
        // With PulseAudio this waits until the server has set up the stream,
        // without a time limit: QtWaveIn bounds that wait, not this thread.
        io_ = source_->start();
        r = fromQt(source_->error());
        if (io_ == nullptr && r == MMSYSERR_NOERROR) r = MMSYSERR_ERROR;
        if (r == MMSYSERR_NOERROR) {
            connect(io_, &QIODevice::readyRead, this, &QtWaveInWorker::readAvailable);
            running_ = true;
        } else {
            stopSource();
        }
    }
    answer(seq, CaptureMessage::Kind::Answer, r);
    channel_->completed(seq);
}

void QtWaveInWorker::stop(std::uint32_t seq) {
    stopSource();
    channel_->completed(seq);
}

void QtWaveInWorker::close(std::uint32_t seq) {
    dropSource();
    channel_->completed(seq);
}

void QtWaveInWorker::dropSource() {
    stopSource();
    if (source_ == nullptr) return;
    source_->disconnect(this);
    // Not deleted here: Qt's PulseAudio source runs the thread's events in
    // its destructor, which would carry out the requests queued behind this
    // one in the middle of it. From the event loop that is harmless.
    std::exchange(source_, nullptr)->deleteLater();
}

void QtWaveInWorker::stopSource() {
    running_ = false;
    blockFill_ = 0;
    if (io_ != nullptr) io_->disconnect(this);
    io_ = nullptr;
    if (source_ != nullptr) source_->stop();
}

void QtWaveInWorker::readAvailable() {
    bool sent = false;
    while (running_ && io_ != nullptr) {
        // Everything there is at once: a read shorter than what PulseAudio
        // handed over makes Qt keep the rest and queue one more round of
        // its own to offer it.
        const qint64 n = io_->read(staging_.data(), static_cast<qint64>(staging_.size()));
        if (n <= 0) break;
        sent = collect(staging_.data(), static_cast<std::size_t>(n)) || sent;
        if (n < static_cast<qint64>(staging_.size())) break;
    }
    // One wake for all the blocks of this round: the window takes them in one
    // go and shows its picture once.
    if (sent) channel_->wake();
}

bool QtWaveInWorker::collect(const char* bytes, std::size_t count) {
    bool sent = false;
    while (count > 0) {
        const std::size_t n = std::min<std::size_t>(count, kBlockBytes - blockFill_);
        std::memcpy(block_.data() + blockFill_, bytes, n);
        bytes += n;
        count -= n;
        blockFill_ += static_cast<std::uint32_t>(n);
        if (blockFill_ < kBlockBytes) break;
        blockFill_ = 0;
        // With no room left (the window has fallen far behind), the block is
        // dropped, as a device that runs out of buffers would drop it.
        CaptureMessage* m = channel_->beginData();
        if (m == nullptr) continue;
        m->kind = CaptureMessage::Kind::Data;
        m->seq = streamSeq_;
        m->result = MMSYSERR_NOERROR;
        m->bytes = kBlockBytes;
        std::memcpy(m->data.data(), block_.data(), kBlockBytes);
        channel_->publishQuietly();
        sent = true;
    }
    return sent;
}

void QtWaveInWorker::stateChanged(QAudio::State state) {
    if (state != QAudio::StoppedState || !running_ || source_ == nullptr) return;
    const QAudio::Error error = source_->error();
    if (error == QAudio::NoError) return;
    // The stream died under us (the sound server went away).
    running_ = false;
    if (io_ != nullptr) io_->disconnect(this);
    io_ = nullptr;
    answer(streamSeq_, CaptureMessage::Kind::StreamFailed,
           error == QAudio::FatalError ? ERR_DISCONNECTED : MMSYSERR_ERROR);
}

} // namespace wavein
