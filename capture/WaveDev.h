// The ring of eight recording buffers and the calls that open the input.
//
// The ring is allocated once per run and released once, at the close; the
// device borrows a buffer from its addBuffer until its data notification.
#pragma once

#include "capture/WaveIn.h"

#include <array>
#include <cstdint>

class WaveDev {
public:
    static constexpr int kBufferCount = 8;
    static constexpr std::uint32_t kBufferBytes = 1024; // 512 signed 16-bit samples
    static constexpr int kBlockSamples = 512;

    explicit WaveDev(wavein::WaveInDevice& device) : device_(device) {}
    ~WaveDev() { FreeWaveBuffers(); }
    WaveDev(const WaveDev&) = delete;
    WaveDev& operator=(const WaveDev&) = delete;

    // Allocates the eight headers and buffers, zero-filled, each header
    // pointing at its buffer; WaveInHandle := none.
    void InitWaveBuffers();
    // Releases headers 0..7, then buffers 0..7. Safe to call twice.
    void FreeWaveBuffers();
    bool RingAllocated() const { return WaveHeaders[0] != nullptr; }
    // True when `header` is one of the ring's live headers.
    bool OwnsHeader(const wavein::WaveHeader* header) const;

    // Opens the default input at `rate` (mono, 16-bit); the device's
    // notifications go to `window`. The new handle is stored in `handle`.
    wavein::MMResult OpenWaveIn(wavein::WaveInSink* window, wavein::Handle& handle,
                                std::uint32_t rate);
    // Asks whether the default input accepts `rate`; opens nothing.
    wavein::MMResult QueryWaveInFormat(wavein::WaveInSink* window, wavein::Handle& handle,
                                       std::uint32_t rate);

    wavein::WaveInDevice& Device() { return device_; }

    // The open device; a close leaves the old handle here until the next open.
    wavein::Handle WaveInHandle = 0;
    std::array<wavein::WaveHeader*, kBufferCount> WaveHeaders{};
    std::array<char*, kBufferCount> WaveBuffers{};

private:
    wavein::WaveInDevice& device_;
};
