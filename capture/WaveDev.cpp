#include "capture/WaveDev.h"

#include <algorithm>

using namespace wavein;

void WaveDev::InitWaveBuffers() {
    FreeWaveBuffers();
    WaveInHandle = 0;
    for (auto& h : WaveHeaders)
        h = new WaveHeader{};
    for (auto& b : WaveBuffers)
        b = new char[kBufferBytes]{};
    WaveHeader& first = *WaveHeaders[0];
    first.lpData = WaveBuffers[0];
    first.dwBufferLength = kBufferBytes;
    first.dwBytesRecorded = 0;
    first.dwUser = 0;
    first.dwFlags = 0;
    first.dwLoops = 1;
    first.lpNext = nullptr;
    first.reserved = 0;
    for (int i = 1; i < kBufferCount; ++i) {
        *WaveHeaders[i] = first;
        WaveHeaders[i]->lpData = WaveBuffers[i];
    }
}

void WaveDev::FreeWaveBuffers() {
    for (auto& h : WaveHeaders) {
        delete h;
        h = nullptr;
    }
    for (auto& b : WaveBuffers) {
        delete[] b;
        b = nullptr;
    }
}

bool WaveDev::OwnsHeader(const WaveHeader* header) const {
    return header != nullptr &&
           std::find(WaveHeaders.begin(), WaveHeaders.end(), header) != WaveHeaders.end();
}

MMResult WaveDev::OpenWaveIn(WaveInSink* window, Handle& handle, std::uint32_t rate) {
    return device_.open(&handle, WaveFormat::Pcm16Mono(rate), window);
}

MMResult WaveDev::QueryWaveInFormat(WaveInSink*, Handle&, std::uint32_t rate) {
    return device_.query(WaveFormat::Pcm16Mono(rate));
}
