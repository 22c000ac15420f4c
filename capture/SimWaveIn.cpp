#include "capture/SimWaveIn.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wavein {

SimWaveIn::SimWaveIn(QObject* parent) : QueuedWaveIn(parent) {
    queue_.reserve(16);
}

SimWaveIn::Signal SimWaveIn::tone(double hz, double amplitude) {
    return [hz, amplitude](std::int16_t* out, std::size_t count, std::uint64_t first,
                           std::uint32_t rate) {
        for (std::size_t i = 0; i < count; ++i) {
            const double t = static_cast<double>(first + i) / rate;
            out[i] = static_cast<std::int16_t>(
                std::lrint(amplitude * std::sin(2 * std::numbers::pi * hz * t)));
        }
    };
}

SimWaveIn::Signal SimWaveIn::constant(std::int16_t value) {
    return [value](std::int16_t* out, std::size_t count, std::uint64_t, std::uint32_t) {
        std::fill(out, out + count, value);
    };
}

MMResult SimWaveIn::record(const char* what, MMResult r) {
    log_.push_back(std::string(what) + " = " + std::to_string(r));
    return r;
}

MMResult SimWaveIn::query(const WaveFormat& format) {
    const std::string what = "query " + std::to_string(format.nSamplesPerSec);
    if (const MMResult r = injected(Call::Query)) return record(what.c_str(), r);
    const bool ok =
        std::find(accepted_.begin(), accepted_.end(), format.nSamplesPerSec) != accepted_.end();
    return record(what.c_str(), ok ? MMSYSERR_NOERROR : WAVERR_BADFORMAT);
}

MMResult SimWaveIn::open(Handle* handle, const WaveFormat& format, WaveInSink* sink) {
    const std::string what = "open " + std::to_string(format.nSamplesPerSec);
    if (const MMResult r = injected(Call::Open)) return record(what.c_str(), r);
    if (handle == nullptr || sink == nullptr) return record(what.c_str(), MMSYSERR_INVALPARAM);
    if (open_) return record(what.c_str(), MMSYSERR_ALLOCATED);
    if (std::find(accepted_.begin(), accepted_.end(), format.nSamplesPerSec) == accepted_.end())
        return record(what.c_str(), WAVERR_BADFORMAT);
    open_ = true;
    running_ = false;
    sink_ = sink;
    rate_ = format.nSamplesPerSec;
    samplePos_ = 0;
    handle_ = ++lastHandle_;
    *handle = handle_;
    ++opens_;
    queue_.clear();
    post(Kind::Opened, sink_, handle_);
    scheduleDrain();
    return record(what.c_str(), MMSYSERR_NOERROR);
}

MMResult SimWaveIn::prepareHeader(Handle device, WaveHeader* header) {
    if (const MMResult r = injected(Call::Prepare)) return record("prepare", r);
    if (!isOpen(device)) return record("prepare", MMSYSERR_INVALHANDLE);
    if (header == nullptr || header->lpData == nullptr)
        return record("prepare", MMSYSERR_INVALPARAM);
    header->dwFlags |= WHDR_PREPARED;
    return record("prepare", MMSYSERR_NOERROR);
}

MMResult SimWaveIn::unprepareHeader(Handle device, WaveHeader* header) {
    if (const MMResult r = injected(Call::Unprepare)) return record("unprepare", r);
    if (!isOpen(device)) return record("unprepare", MMSYSERR_INVALHANDLE);
    if (header == nullptr) return record("unprepare", MMSYSERR_INVALPARAM);
    if (header->dwFlags & WHDR_INQUEUE) return record("unprepare", WAVERR_STILLPLAYING);
    header->dwFlags &= ~WHDR_PREPARED;
    return record("unprepare", MMSYSERR_NOERROR);
}

MMResult SimWaveIn::addBuffer(Handle device, WaveHeader* header) {
    if (const MMResult r = injected(Call::Add)) return record("add", r);
    if (!isOpen(device)) return record("add", MMSYSERR_INVALHANDLE);
    if (header == nullptr || header->lpData == nullptr || header->dwBufferLength == 0)
        return record("add", MMSYSERR_INVALPARAM);
    if (!(header->dwFlags & WHDR_PREPARED)) return record("add", WAVERR_UNPREPARED);
    if (header->dwFlags & WHDR_INQUEUE) return record("add", WAVERR_STILLPLAYING);
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    header->dwBytesRecorded = 0;
    queue_.push_back(header);
    return record("add", MMSYSERR_NOERROR);
}

MMResult SimWaveIn::start(Handle device) {
    if (const MMResult r = injected(Call::Start)) return record("start", r);
    if (!isOpen(device)) return record("start", MMSYSERR_INVALHANDLE);
    running_ = true;
    return record("start", MMSYSERR_NOERROR);
}

MMResult SimWaveIn::reset(Handle device) {
    if (const MMResult r = injected(Call::Reset)) return record("reset", r);
    if (!isOpen(device)) return record("reset", MMSYSERR_INVALHANDLE);
    running_ = false;
    for (WaveHeader* h : queue_) {
        h->dwBytesRecorded = 0;
        h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        post(Kind::Data, sink_, handle_, h);
    }
    queue_.clear();
    scheduleDrain();
    return record("reset", MMSYSERR_NOERROR);
}

MMResult SimWaveIn::close(Handle device) {
    if (const MMResult r = injected(Call::Close)) return record("close", r);
    if (!isOpen(device)) return record("close", MMSYSERR_INVALHANDLE);
    if (!queue_.empty()) return record("close", WAVERR_STILLPLAYING);
    open_ = false;
    running_ = false;
    post(Kind::Closed, sink_, handle_);
    scheduleDrain();
    return record("close", MMSYSERR_NOERROR);
}

int SimWaveIn::fillBuffers(int n) {
    int filled = 0;
    while (running_ && filled < n && !queue_.empty()) {
        WaveHeader* h = queue_.front();
        queue_.erase(queue_.begin());
        const std::size_t samples = h->dwBufferLength / 2;
        auto* out = reinterpret_cast<std::int16_t*>(h->lpData);
        if (signal_)
            signal_(out, samples, samplePos_, rate_);
        else
            std::fill(out, out + samples, std::int16_t{0});
        samplePos_ += samples;
        h->dwBytesRecorded = h->dwBufferLength;
        h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        post(Kind::Data, sink_, handle_, h);
        ++filled;
    }
    scheduleDrain();
    return filled;
}

void SimWaveIn::loseBlocks(std::uint32_t blocks) {
    if (!running_) return;
    samplePos_ += std::uint64_t{blocks} * 512;
    post(Kind::Lost, sink_, handle_, nullptr, blocks);
    scheduleDrain();
}

void SimWaveIn::failStream(MMResult code) {
    if (!running_) return;
    running_ = false;
    post(Kind::Failed, sink_, handle_, nullptr, code);
    scheduleDrain();
}

} // namespace wavein
