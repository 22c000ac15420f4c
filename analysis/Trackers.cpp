#include "analysis/Trackers.h"
#include "analysis/Rounding.h"

namespace {

// Columns per bin, kept as a double like the spectrum points' step.
double ColumnsPerBin(uint16_t nyquist, uint16_t bandwidth) {
    if (bandwidth == 0) return 1.0; // would be infinite; the points take 1 too
    const double scale = static_cast<double>(static_cast<long double>(nyquist) /
                                             (static_cast<long double>(bandwidth) / 2));
    return scale == 0 ? 1.0 : scale;
}

uint16_t Column(uint16_t bin, double scale) {
    // The product in extended precision is exact (9 bits times 53), so a bin
    // whose column is a half rounds to even exactly as its point does.
    return static_cast<uint16_t>(rounding::RoundToInt64(static_cast<long double>(bin) * scale));
}

void ClearLowestBins(int32_t* spectrum) {
    spectrum[0] = 0;
    spectrum[1] = 0;
}

} // namespace

uint16_t BinToColumn(uint16_t bin, uint16_t nyquist, uint16_t bandwidth) {
    return Column(bin, ColumnsPerBin(nyquist, bandwidth));
}

void TrackPoints(int32_t* spectrum, uint16_t nyquist, uint16_t bandwidth, uint16_t& markPos,
                 uint16_t& spacePos) {
    ClearLowestBins(spectrum);
    const int32_t* s = spectrum;
    uint16_t candidate = 0; // top of the current rise
    uint16_t best = 0;      // strongest peak so far
    uint16_t second = 0;    // second strongest
    for (uint16_t i = 0; i < kTrackedBins; ++i) {
        if (s[i] > s[candidate]) {
            candidate = i;
        } else if (s[i] < s[candidate]) { // the candidate is a peak
            if (s[candidate] >= s[best]) {
                if (s[second] < s[best]) second = best;
                best = candidate;
                // A new candidate has to rise above the second peak's level.
                candidate = second;
            } else if (s[candidate] > s[second]) {
                second = candidate;
            }
        }
    }
    const double scale = ColumnsPerBin(nyquist, bandwidth);
    const uint16_t lower = best <= second ? best : second;
    const uint16_t higher = best <= second ? second : best;
    markPos = Column(lower, scale);
    spacePos = Column(higher, scale);
}

void TrackCWPoints(int32_t* spectrum, uint16_t nyquist, uint16_t bandwidth, uint16_t& markPos) {
    ClearLowestBins(spectrum);
    const int32_t* s = spectrum;
    uint16_t candidate = 0;
    uint16_t peak = 0;
    for (uint16_t i = 0; i < kTrackedBins; ++i) {
        if (s[i] > s[candidate])
            candidate = i;
        else if (s[i] < s[candidate] && s[candidate] >= s[peak])
            peak = candidate;
    }
    markPos = Column(peak, ColumnsPerBin(nyquist, bandwidth));
}
