#include "capture/InputStall.h"

namespace {

constexpr std::uint64_t kStallBaseMs = 1000;
constexpr std::uint64_t kBlockSamples = 512;

} // namespace

std::uint32_t InputStallLimitMs(std::uint32_t sampleRate) {
    if (sampleRate == 0) return kStallBaseMs;
    const std::uint64_t blockMs = (kBlockSamples * 1000 + sampleRate - 1) / sampleRate;
    return static_cast<std::uint32_t>(kStallBaseMs + blockMs);
}

bool InputStalled(std::uint32_t nowMs, std::uint32_t lastBlockMs, std::uint32_t sampleRate) {
    // The difference wraps with the clock, like the load check's.
    return nowMs - lastBlockMs > InputStallLimitMs(sampleRate);
}
