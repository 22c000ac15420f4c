#pragma once

// Internal to the transform: shared by Fourier.cpp and its SSE2 and AVX
// kernels (FourierSse2.cpp, FourierAvx.cpp), not part of the public
// interface. Callers outside analysis/ use Fourier.h only.

#include <cmath>
#include <cstdint>
#include <vector>

#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#define QUARL_SIMD 1
// Marks the AVX kernel's functions (FourierAvx.cpp): compiled for "avx" only,
// which has no FMA, while the build itself targets plain x86-64. The
// declarations below carry the same target as the definitions.
#define QUARL_AVX __attribute__((target("avx")))
#endif

namespace fourier_detail {

struct FftPlan {
    uint16_t n = 0;
    uint64_t angleBits = 0;          // the angle's bit pattern, so NaN compares too
    std::vector<uint16_t> reversed;  // reversed[i]: where sample i goes
    std::vector<double> twr, twi;    // stage with half-length h at [h − 1, 2h − 1)
    std::vector<double> re, im;      // scratch, n each
    std::vector<int32_t> magnitudes; // scratch for calls that want fewer than n
};

// One butterfly on scalars: y is the upper element (j), x the lower (k =
// j + half), (wr, wi) the twiddle. The reference order of operations.
inline void Butterfly(double& yr, double& yi, double& xr, double& xi, double wr, double wi) {
    const double tr = wr * xr - wi * xi;
    const double ti = wr * xi + wi * xr;
    xr = yr - tr;
    xi = yi - ti;
    yr = yr + tr;
    yi = yi + ti;
}

// The exact rule: the squares, their sum and the root in extended precision,
// rounded to the nearest integer with ties to even.
inline int32_t ExtendedMagnitude(double re, double im) {
    const long double r = re;
    const long double i = im;
    return static_cast<int32_t>(std::nearbyint(std::sqrt(r * r + i * i)));
}

// The vector kernels compute magnitudes first in double precision: d =
// √(re² + im²). The double result and the extended one each lie within a few
// units of 2⁻⁵³ (relative) of the true root: the sum of two rounded squares is
// off by at most 2u relatively (u = 2⁻⁵³), the root halves that and adds its
// own rounding, so |d − √x| ≤ 2.01u·√x; in extended precision the error is
// 2¹¹ times smaller. Both therefore round to the same integer unless d lies
// within about 4u·d of a half-integer. In that band, which real data almost
// never reach, the extended expression decides. kMagnitudeBand is 8u, twice
// the bound, for margin. Magnitudes stay below 2³⁰ (16384 × 32768 × √2),
// inside int32. The conversion rounds to nearest, ties to even (the default
// rounding mode, as for nearbyint); d − nearest is exact (the two are within
// a factor of two, or nearest is 0).
constexpr double kMagnitudeBand = 0x1p-50;
constexpr double kMagnitudeBandFloor = 0x1p-60;

#if defined(QUARL_SIMD)
// SSE2 kernel, counts of 8 and more: the transform of n samples, writing the
// first m magnitudes (m ≤ n).
void VectorTransform(FftPlan& plan, const int16_t* samples, uint32_t m, int32_t* magnitudes);
// Magnitude as the SSE2 kernel computes it.
int32_t MagnitudeSse2(double re, double im);

// AVX kernel, counts of 32 and more, the same contract as VectorTransform.
QUARL_AVX void VectorTransformAvx(FftPlan& plan, const int16_t* samples, uint32_t m,
                                  int32_t* magnitudes);
// Magnitude as the AVX kernel computes it.
QUARL_AVX int32_t MagnitudeAvx(double re, double im);
#endif

} // namespace fourier_detail
