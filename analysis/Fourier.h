#pragma once

// Radix-2 decimation-in-time FFT of a block of signed 16-bit samples, giving
// integer magnitudes. The transform uses a positive exponent and no 1/N
// scaling: a constant block of value c gives N·|c| in bin 0, a full-scale sine
// on bin k gives about A·N/2 in bins k and N − k.

#include <cstdint>

// Largest sample count the transform accepts. The butterfly length doubles up
// to 2·N in 16-bit index arithmetic, so 16384 is the last count that fits.
constexpr uint16_t kMaxFftCount = 16384;

// Full transform with the full-turn angle 2π (the double nearest to it).
// n: number of samples, a power of two in 1 … 16384 (the program uses 512).
// m: number of magnitudes to write, 0 … n; the rest are computed and dropped.
// samples: n signed 16-bit samples. magnitudes: m signed 32-bit entries.
// Throws std::invalid_argument for a bad n or m.
//
// Per-size state (bit-reversal table, twiddle tables, scratch arrays) is built
// on the first call with a given n and kept in a thread-local cache, so later
// calls with that n allocate nothing. Each thread has its own cache, so calls
// on different threads do not interfere.
void FFT(uint16_t n, uint16_t m, const int16_t* samples, int32_t* magnitudes);

// The worker: as FFT, with the full-turn angle given (2π gives the transform
// above; other angles are for tests and experiments). The twiddle tables are
// rebuilt when the angle differs from the one cached for this n.
void FourierTransform(uint16_t n, uint16_t m, const int16_t* samples, double angle,
                      int32_t* magnitudes);

// The butterfly code the transform runs. Best picks the fastest this
// processor has (AVX, else SSE2); the others force one, so that tests can
// compare each with the stepwise transform on the machine they run on. All
// give the same numbers to the last bit. Small counts fall back to a simpler
// kernel whatever is chosen (AVX from 32, SSE2 from 8 samples).
enum class FftKernel { Best, Portable, Sse2, Avx };

// Makes `kernel` the one used by every later call in this process. Returns
// false and changes nothing when this processor or build lacks it. Not meant
// to be called while a transform runs on another thread.
bool SelectFftKernel(FftKernel kernel);

// The magnitude of one bin as the transform writes it: √(re² + im²) with the
// squares, their sum and the root in extended (80-bit) precision, rounded to
// the nearest integer, ties to even. Computed by the selected kernel's own
// magnitude code.
int32_t Magnitude(double re, double im);

// Position of the lowest set bit of n, testing bits 0, 1, … in turn: log2(n)
// for a power of two (9 for 512). Returns 16 when no bit is set (n = 0).
uint16_t IndexBits(uint16_t n);

// The low `bits` bits of value in reverse order; higher bits of value are
// ignored. ReverseBits(1, 9) = 256.
uint16_t ReverseBits(uint16_t value, uint16_t bits);
