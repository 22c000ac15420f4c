#pragma once

// The peak trackers that move the cursors onto the strongest tones: FSK (mark
// on the lower, space on the higher of the two strongest) and CW (mark on
// the strongest). Plain data in, plain data out; the main window's
// TrackPoints and TrackCWPoints pass their fields in.

#include <cstdint>

// The trackers look at bins 0 … 256: up to and including half the sample rate.
constexpr int kTrackedBins = 257;

// Column of FFT bin `bin` on the display: Round(bin × Nyquist ÷ (Bandwidth ÷
// 2)), to nearest with ties to even, the same columns per bin that the
// spectrum points use, so a tracked cursor lands on its bin's point. A
// columns-per-bin of 0, or a bandwidth of 0, counts as 1. The column is not
// limited to the display width; its low 16 bits are kept.
uint16_t BinToColumn(uint16_t bin, uint16_t nyquist, uint16_t bandwidth);

// The FSK tracker.
// spectrum: at least 257 signed 32-bit magnitudes, indexed by bin; bins 0 and
//   1 are set to 0 in place first, so they never count as a peak.
// A peak counts once a strictly lower bin follows it (the first bin of a flat
// top is the candidate); the strongest and the second strongest peak end in
// markPos (the lower bin's column) and spacePos (the higher's). With one peak
// the other cursor goes to column 0; with none both do. Two peaks of exactly
// equal strength both end on the lower one.
void TrackPoints(int32_t* spectrum, uint16_t nyquist, uint16_t bandwidth, uint16_t& markPos,
                 uint16_t& spacePos);

// The CW tracker: markPos goes to the column of the strongest peak (its first
// bin among equals), followed by a strictly lower bin within bins 0 … 256;
// column 0 when there is none. Bins 0 and 1 of spectrum are set to 0 in place
// first, as for TrackPoints.
void TrackCWPoints(int32_t* spectrum, uint16_t nyquist, uint16_t bandwidth, uint16_t& markPos);
