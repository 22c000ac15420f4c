#include "analysis/Spectrum.h"
#include "analysis/Rounding.h"

#include <algorithm>
#include <cstring>

// Every expression here is evaluated in x87 extended precision (long double)
// and rounded to double only where a value is kept as a double field; the
// results must agree to the last bit with the 80-bit arithmetic the display
// scale was designed with. Conversions to integers are either Trunc (toward
// zero) or Round (nearest, ties to even), never mixed up.

namespace {

using rounding::ClampToInt32;
using rounding::kInt64Limit;
using rounding::RoundToInt64;
using rounding::TruncSaturating;

constexpr int kLastPoint = kSpectrumSize - 1; // 511: last bin and last column of the picture

} // namespace

uint16_t SampleRateFromButtons(bool s48, bool s44, bool s22, bool s11) {
    if (s48) return 48000;
    if (s44) return 44100;
    if (s22) return 22050;
    if (s11) return 11025;
    return 8000;
}

FrequencyScale ComputeScale(uint16_t sampleRate, uint16_t bandwidth) {
    FrequencyScale scale;
    scale.SampleRate = sampleRate;
    scale.Nyquist = static_cast<uint16_t>(sampleRate / 2); // 5512 at 11025, not 5512.5
    scale.Bandwidth = bandwidth;
    scale.BinWidth = static_cast<double>(static_cast<long double>(scale.Nyquist) / 256);
    if (sampleRate == 0 || bandwidth == 0)
        return scale; // no valid ratio: ZoomRatio and MaxDisplayFreq stay 0
    scale.ZoomRatio = static_cast<double>(static_cast<long double>(sampleRate) /
                                          static_cast<long double>(bandwidth));
    // Quotient and product in extended precision, from the stored double
    // ZoomRatio; the result can fall just below the bandwidth (2886.99… for
    // 2887 Hz at 8000/s).
    scale.MaxDisplayFreq = static_cast<double>(512.0L / scale.ZoomRatio * scale.BinWidth);
    return scale;
}

std::string MaxAudioFreqText(const FrequencyScale& scale, bool frequencyView) {
    if (frequencyView) return std::to_string(TruncSaturating(scale.MaxDisplayFreq));
    // Block length in ms: 512 samples at SampleRate, taken as unsigned 16-bit.
    if (!(scale.BinWidth > 0)) return "0";
    const long double ms = 1.0L / scale.BinWidth * 1000;
    if (!(ms < kInt64Limit)) return "0";
    return std::to_string(static_cast<uint16_t>(RoundToInt64(ms)));
}

void SpecToPoints(int32_t* averaged, int displayHeight, uint16_t specGainValue, uint16_t nyquist,
                  uint16_t bandwidth, DisplayPoint* points) {
    averaged[0] = 1;
    averaged[1] = 1;
    const int32_t base = ClampToInt32(static_cast<int64_t>(displayHeight) - 2);

    // 0.04/101 at gain 1, 0.02 at gain 100. A gain of 102 or more would divide
    // by zero or turn the trace upside down, so it is held at 101.
    const int gain = std::min<int>(specGainValue, 101);
    const double scale = static_cast<double>(0.04L / (102 - gain));

    // Columns per bin: 2.0 at the full Nyquist bandwidth, up to 4.0 at a
    // quarter of the sample rate. A step of 0 (Nyquist 0) becomes 1, and so
    // does a bandwidth of 0, which would make it infinite.
    double step = 1.0;
    if (bandwidth != 0) {
        step = static_cast<double>(static_cast<long double>(nyquist) /
                                   (static_cast<long double>(bandwidth) / 2));
        if (step == 0) step = 1.0;
    }

    int i = 0;
    int32_t x = 0;
    for (;; ++i) {
        // i × Step is exact in extended precision (9 bits times 53 bits); a
        // product rounded to double could land on a half and round the wrong
        // way (51 × 4000/1088 must give column 187, not 188).
        x = ClampToInt32(RoundToInt64(static_cast<long double>(i) * step));
        if (x > kLastPoint || i == kLastPoint) break;
        // Subtract before truncating: magnitude 1 lands just above the base
        // line, on row base − 1.
        const long double y =
            static_cast<long double>(base) - averaged[i] * static_cast<long double>(scale);
        points[i] = {x, ClampToInt32(TruncSaturating(y))};
    }
    for (; i < kSpectrumSize; ++i)
        points[i] = {x, base};
}

void AverageBuffers(const int32_t* fft, int32_t* accumulator, int32_t* averaged,
                    uint16_t avgCount) {
    if (avgCount <= 1) {
        std::memcpy(averaged, fft, kSpectrumSize * sizeof(int32_t));
        return;
    }
    for (int i = 0; i < kSpectrumSize; ++i) {
        // 32-bit addition; magnitudes of 512-sample blocks keep the sum far
        // inside the range, and wrapping (not undefined overflow) covers
        // anything else.
        const int32_t sum = static_cast<int32_t>(static_cast<uint32_t>(accumulator[i]) +
                                                 static_cast<uint32_t>(fft[i]));
        // The average is the extended-precision quotient stored as a double,
        // and the new sum is Trunc(sum − average) in extended precision. For
        // counts below 2048 plain double arithmetic gives the same numbers,
        // and it is several times faster than x87 division and truncation:
        // - sum/count rounded once to double equals it rounded to 64 bits and
        //   then to 53 unless the 64-bit result sits exactly on a 53-bit
        //   midpoint; a quotient with a non-zero distance to such a midpoint
        //   is at least 2^(p−53)/count away from it (p its binary exponent),
        //   more than the 2^(p−64) the first rounding can move it while
        //   count < 2^11;
        // - the fraction of the average is 0 or at least 1/count − 2⁻²² from
        //   an integer, so sum − average, rounded to double (off by at most
        //   2⁻²² for |sum| < 2³¹), truncates to the same integer.
        double a;
        int32_t remainder;
        if (avgCount < 2048) {
            a = static_cast<double>(sum) / avgCount;
            remainder = static_cast<int32_t>(static_cast<double>(sum) - a);
        } else {
            a = static_cast<double>(static_cast<long double>(sum) / avgCount);
            remainder = static_cast<int32_t>(static_cast<long double>(sum) - a);
        }
        averaged[i] = static_cast<int32_t>(a); // |a| ≤ |sum|: in range, cut toward zero
        accumulator[i] = remainder;            // |sum − a| ≤ |sum|: in range
    }
}
