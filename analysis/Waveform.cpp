#include "analysis/Waveform.h"
#include "analysis/Rounding.h"

#include <cmath>

namespace {

// Pixels per sample step at gain 1 before the 0.01 offset: 64/65535, the
// double nearest to it, so that a full-scale sample spans about 32 × gain
// pixels each way.
constexpr double kPixelsPerSample = 64.0 / 65535.0;

int32_t TruncToInt32(long double v) {
    return rounding::ClampToInt32(rounding::TruncSaturating(v));
}

} // namespace

void SineToPoints(const int16_t* samples, int height, uint16_t waveGain, bool trigger,
                  DisplayPoint* points) {
    // The vertical scale and the zero line are kept as doubles; each y is
    // then formed in extended precision from them and cut toward zero.
    // |0.01 − G| rather than G − 0.01: the same for every gain that occurs,
    // and never negative, so a gain of 0 still draws the trace upright.
    const double vScale = static_cast<double>(
        std::fabs((0.01L - waveGain) * static_cast<long double>(kPixelsPerSample)));
    // The zero line moves up a quarter pixel per gain step.
    const double mid = static_cast<double>(static_cast<long double>(height) / 2 -
                                           static_cast<long double>(waveGain) / 4);
    const auto yOf = [vScale, mid](int16_t s) {
        return TruncToInt32(static_cast<long double>(mid) - s * static_cast<long double>(vScale));
    };

    if (!trigger) {
        for (int i = 1; i < kWaveBlockSize; ++i)
            points[i] = {i, yOf(samples[i])};
        return;
    }

    // The first highest sample of the first half block, if any is above 0;
    // starting there, the rest of the block always holds the 256 samples
    // shown (the last is at most sample 510).
    int16_t best = 0;
    int at = 0;
    for (int i = 1; i <= kTriggerSearchEnd; ++i)
        if (samples[i] > best) {
            best = samples[i];
            at = i;
        }
    constexpr int kShown = kWaveBlockSize / 2;
    for (int j = 0; j < kShown; ++j)
        points[j] = {2 * j, yOf(samples[at + j])};
    const int32_t zeroLine = TruncToInt32(mid);
    for (int j = kShown; j < kWaveBlockSize; ++j)
        points[j] = {kWaveBlockSize, zeroLine};
}
