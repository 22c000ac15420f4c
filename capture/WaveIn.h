// The wave-input layer: the only way the program talks to a sound input.
//
// It is shaped like the classic wave-input calls the capture code is written
// against: open (or only ask whether a rate is accepted), prepare, add a
// buffer, start, reset, unprepare, close, each returning a numeric result
// code. Notifications reach the sink on the GUI thread through the Qt event
// loop, never nested inside one of these calls, in order: opened; one per
// filled buffer, in the order of filling; closed after the last buffer that a
// reset or close hands back; a lost notification before a buffer that follows
// lost sound. The layer owns no buffers: the ring is the
// program's, lent to the device from addBuffer until its data notification.
#pragma once

#include <cstdint>

namespace wavein {

using Handle = std::uintptr_t; // 0: no device
using MMResult = std::uint32_t;

// Result codes. The numbers are the ones the error texts are keyed by.
inline constexpr MMResult MMSYSERR_NOERROR = 0;
inline constexpr MMResult MMSYSERR_ERROR = 1;
inline constexpr MMResult MMSYSERR_BADDEVICEID = 2;
inline constexpr MMResult MMSYSERR_ALLOCATED = 4;
inline constexpr MMResult MMSYSERR_INVALHANDLE = 5;
inline constexpr MMResult MMSYSERR_NODRIVER = 6;
inline constexpr MMResult MMSYSERR_NOMEM = 7;
inline constexpr MMResult MMSYSERR_INVALPARAM = 11;
inline constexpr MMResult WAVERR_BADFORMAT = 32;
inline constexpr MMResult WAVERR_STILLPLAYING = 33;
inline constexpr MMResult WAVERR_UNPREPARED = 34;
// Reported when the sound server goes away under a running recording: the
// text for this code ("Wave Port no longer connected") says what happened.
inline constexpr MMResult ERR_DISCONNECTED = 68;
// Reported when the device leaves a request unanswered for longer than
// kNotAnsweringLimitMs (a sound server that has stalled). Our own code: it
// lies above the 16 bits of the platform's codes, so it is none of theirs
// (DeviceErrorText gives its text).
inline constexpr MMResult ERR_NOT_ANSWERING = 0x00010000;
inline constexpr int kNotAnsweringLimitMs = 5000;

// Header flags.
inline constexpr std::uint32_t WHDR_DONE = 0x01;
inline constexpr std::uint32_t WHDR_PREPARED = 0x02;
inline constexpr std::uint32_t WHDR_INQUEUE = 0x10;

// One buffer's header, as the program fills it for each of its eight buffers.
struct WaveHeader {
    char* lpData = nullptr;           // the buffer (the program's memory)
    std::uint32_t dwBufferLength = 0; // bytes in the buffer
    std::uint32_t dwBytesRecorded = 0;
    std::uintptr_t dwUser = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwLoops = 0;
    WaveHeader* lpNext = nullptr;
    std::uintptr_t reserved = 0;
};

// Mono, signed 16-bit, little-endian PCM at a given rate.
struct WaveFormat {
    std::uint16_t wFormatTag = 1; // PCM
    std::uint16_t nChannels = 1;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 2;
    std::uint16_t wBitsPerSample = 16;
    std::uint16_t cbSize = 0;

    static WaveFormat Pcm16Mono(std::uint32_t rate) {
        WaveFormat f;
        f.nSamplesPerSec = rate;
        f.nAvgBytesPerSec = 2 * rate;
        return f;
    }
};

// Receives the notifications; the main window implements it.
class WaveInSink {
public:
    virtual void waveInOpened(Handle device) = 0;
    virtual void waveInData(Handle device, WaveHeader* header) = 0;
    virtual void waveInClosed(Handle device) = 0;
    // The device failed by itself after a call had returned success: the
    // stream stopped (the sound server went away), an open or start could
    // not be completed, or the device stopped answering. The device stays
    // open; the program reports `code` and closes it.
    virtual void waveInFailed(Handle device, MMResult code) = 0;
    // `blocks` blocks of sound were lost before the next filled buffer (the
    // program fell behind, or the sound server dropped sound). Recording
    // goes on.
    virtual void waveInLost(Handle device, std::uint32_t blocks) = 0;

protected:
    ~WaveInSink() = default;
};

class WaveInDevice {
public:
    virtual ~WaveInDevice() = default;

    // Opens the default input for `format`; on success stores the handle and
    // sends the opened notification to `sink` later (or, where the device
    // completes the open elsewhere and that fails, the failure notification).
    virtual MMResult open(Handle* handle, const WaveFormat& format, WaveInSink* sink) = 0;
    // Only asks whether the default input accepts `format`: opens nothing.
    virtual MMResult query(const WaveFormat& format) = 0;
    virtual MMResult prepareHeader(Handle device, WaveHeader* header) = 0;
    virtual MMResult unprepareHeader(Handle device, WaveHeader* header) = 0;
    virtual MMResult addBuffer(Handle device, WaveHeader* header) = 0;
    // A start that succeeds here and fails later sends the failure notification.
    virtual MMResult start(Handle device) = 0;
    // Stops recording and hands back every buffer the device holds.
    virtual MMResult reset(Handle device) = 0;
    virtual MMResult close(Handle device) = 0;

    // Drops every notification still queued for `sink`: called when the sink
    // is destroyed, so nothing is delivered to a dead window.
    virtual void detach(WaveInSink* sink) = 0;
};

} // namespace wavein
