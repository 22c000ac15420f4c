#include "analysis/Fourier.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define QUARL_SIMD 1
#endif

// How this differs from the textbook stepwise form, and why the results are
// the same to the last bit:
//
// - The twiddle factors of a stage come from the recurrence w ← w·e^(iθ),
//   restarted at w = 1 for every group of butterflies. Every group of a stage
//   therefore walks through exactly the same sequence of (wr, wi) values, so
//   the sequence is computed once per stage by running that very recurrence
//   and kept in a table. The butterflies read the table instead of stepping.
// - The bit-reversed order of the input is a table too.
// - Butterflies of a stage are independent of each other, so two are done at
//   once with SSE2, or four with AVX where the processor has it (chosen at
//   run time: the build itself targets plain x86-64). Each lane performs the
//   same IEEE double operations, in the same order, as the scalar formula;
//   there is no fused multiply-add (the whole build uses -ffp-contract=off,
//   and the AVX functions are compiled for "avx" only, which has no FMA).
// - Stages are done two or three at a time on elements held in registers
//   (see StagePair, StageTripleAvx); the first ones read the samples directly
//   and the last ones write the magnitudes directly, which saves passes over
//   the arrays. With AVX, 512 samples take three passes of three stages.
// - The magnitudes are first computed in double precision; only when that
//   result lies so close to a half-integer that extended precision could round
//   the other way is the extended-precision expression evaluated (see
//   WriteMagnitudes).
//
// The tables and the scratch arrays depend only on the count (and the angle),
// so they are built on the first call for a count and kept in a thread-local
// cache: later calls allocate nothing. The tests compare this against a plain
// stepwise transform on many random blocks of every size.

namespace {

constexpr double kFullTurn = 6.283185307179586; // the double nearest to 2π
constexpr int kMaxBits = 14;                    // log2(kMaxFftCount)

struct FftPlan {
    uint16_t n = 0;
    uint64_t angleBits = 0;          // the angle's bit pattern, so NaN compares too
    std::vector<uint16_t> reversed;  // reversed[i]: where sample i goes
    std::vector<double> twr, twi;    // stage with half-length h at [h − 1, 2h − 1)
    std::vector<double> re, im;      // scratch, n each
    std::vector<int32_t> magnitudes; // scratch for calls that want fewer than n
};

void CheckCounts(uint16_t n, uint16_t m, const int16_t* samples, const int32_t* magnitudes) {
    // n & (n − 1) rather than std::has_single_bit: without -mpopcnt the latter
    // is a library call on every block.
    if (n == 0 || (n & (n - 1u)) != 0 || n > kMaxFftCount)
        throw std::invalid_argument("FFT: sample count " + std::to_string(n) +
                                    " is not a power of two from 1 to 16384");
    if (m > n)
        throw std::invalid_argument("FFT: output count " + std::to_string(m) +
                                    " exceeds the sample count " + std::to_string(n));
    if (samples == nullptr || (m > 0 && magnitudes == nullptr))
        throw std::invalid_argument("FFT: null sample or magnitude array");
}

// Runs the twiddle recurrence of every stage once and stores each step's
// (wr, wi) before it is advanced, as the butterflies of every group use them.
void BuildTwiddles(FftPlan& plan, double angle) {
    uint32_t half = 1;
    for (uint32_t len = 2; len <= plan.n; len *= 2) {
        const double theta = angle / len;
        const double s = std::sin(0.5 * theta);
        const double alpha = 2.0 * s * s; // 1 − cos θ without a cosine
        const double beta = std::sin(theta);
        double wr = 1.0;
        double wi = 0.0;
        double* tr = &plan.twr[half - 1];
        double* ti = &plan.twi[half - 1];
        for (uint32_t step = 0; step < half; ++step) {
            tr[step] = wr;
            ti[step] = wi;
            // Both new values from the old wr and wi.
            const double t = alpha * wr + beta * wi;
            wi = wi - (alpha * wi - beta * wr);
            wr = wr - t;
        }
        half = len;
    }
    plan.angleBits = std::bit_cast<uint64_t>(angle);
}

FftPlan& PlanFor(uint16_t n, double angle) {
    // One plan per power of two, built on first use and kept for the life of
    // the thread: the transform runs for every captured block and must not
    // allocate there.
    thread_local std::array<std::unique_ptr<FftPlan>, kMaxBits + 1> plans;
    const int bits = IndexBits(n);
    std::unique_ptr<FftPlan>& slot = plans[bits];
    if (!slot) {
        auto plan = std::make_unique<FftPlan>();
        plan->n = n;
        plan->reversed.resize(n);
        for (uint32_t i = 0; i < n; ++i)
            plan->reversed[i] = ReverseBits(static_cast<uint16_t>(i), static_cast<uint16_t>(bits));
        plan->twr.assign(n, 0.0);
        plan->twi.assign(n, 0.0);
        plan->re.assign(n, 0.0);
        plan->im.assign(n, 0.0);
        plan->magnitudes.assign(n, 0);
        BuildTwiddles(*plan, angle);
        slot = std::move(plan);
    } else if (slot->angleBits != std::bit_cast<uint64_t>(angle)) {
        BuildTwiddles(*slot, angle);
    }
    return *slot;
}

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

// ---- Portable path: any count, one stage at a time --------------------------

void ScalarTransform(FftPlan& plan, const int16_t* samples) {
    double* re = plan.re.data();
    double* im = plan.im.data();
    const uint32_t n = plan.n;
    for (uint32_t i = 0; i < n; ++i) {
        re[plan.reversed[i]] = samples[i];
        im[plan.reversed[i]] = 0.0;
    }
    for (uint32_t half = 1, len = 2; len <= n; half = len, len *= 2) {
        const double* twr = &plan.twr[half - 1];
        const double* twi = &plan.twi[half - 1];
        for (uint32_t g = 0; g < n; g += len)
            for (uint32_t q = 0; q < half; ++q)
                Butterfly(re[g + q], im[g + q], re[g + q + half], im[g + q + half], twr[q], twi[q]);
    }
}

void ScalarMagnitudes(const double* re, const double* im, uint32_t m, int32_t* magnitudes) {
    for (uint32_t i = 0; i < m; ++i)
        magnitudes[i] = ExtendedMagnitude(re[i], im[i]);
}

#if defined(QUARL_SIMD)
// ---- SSE2 path: counts of 8 and more ----------------------------------------
//
// Two butterflies per instruction, lane by lane the same operations as
// Butterfly. Stages are done two at a time (half-lengths h and 2h): the four
// elements j, j + h, j + 2h, j + 3h go through the butterfly of the first
// stage and then of the second while they sit in registers. The second stage
// only reads what the first wrote into the same four elements, so this gives
// the same values as finishing one stage before starting the next; it halves
// the loads and stores.

struct Vec {
    __m128d r, i;
};

inline Vec Load(const double* re, const double* im) {
    return {_mm_loadu_pd(re), _mm_loadu_pd(im)};
}

inline void Store(double* re, double* im, Vec v) {
    _mm_storeu_pd(re, v.r);
    _mm_storeu_pd(im, v.i);
}

inline void Butterfly(Vec& y, Vec& x, __m128d wr, __m128d wi) {
    const __m128d tr = _mm_sub_pd(_mm_mul_pd(wr, x.r), _mm_mul_pd(wi, x.i));
    const __m128d ti = _mm_add_pd(_mm_mul_pd(wr, x.i), _mm_mul_pd(wi, x.r));
    x.r = _mm_sub_pd(y.r, tr);
    x.i = _mm_sub_pd(y.i, ti);
    y.r = _mm_add_pd(y.r, tr);
    y.i = _mm_add_pd(y.i, ti);
}

// Samples s0[offset] and s1[offset] as the two lanes, imaginary parts 0.0.
inline Vec SamplePair(const int16_t* s0, const int16_t* s1, uint32_t offset) {
    return Vec{_mm_set_pd(s1[offset], s0[offset]), _mm_setzero_pd()};
}

inline __m128d Broadcast(const std::vector<double>& table, uint32_t index) {
    return _mm_set1_pd(table[index]);
}

// Two vectors (a0, a1), (b0, b1) of two groups: stores a0, b0 at dst and
// a1, b1 one group further on. `stride` is the group size.
template <uint32_t stride> inline void StoreLanes(double* dst, __m128d a, __m128d b) {
    _mm_storeu_pd(dst, _mm_unpacklo_pd(a, b));
    _mm_storeu_pd(dst + stride, _mm_unpackhi_pd(a, b));
}

// Bit-reversed copy and the stages of half-length 1 and 2 in one pass, for
// counts of 8. Element 4q + t of the bit-reversed order is sample
// reversed[4q] + (n/4)·[0, 2, 1, 3][t]; imaginary parts start as 0.0 and go
// through the same arithmetic as any other value. Lanes: groups q and q + 1.
void FirstTwoStages(FftPlan& plan, const int16_t* samples) {
    const uint32_t quarter = plan.n / 4;
    const __m128d w1r = Broadcast(plan.twr, 0), w1i = Broadcast(plan.twi, 0);
    const __m128d w2ar = Broadcast(plan.twr, 1), w2ai = Broadcast(plan.twi, 1);
    const __m128d w2br = Broadcast(plan.twr, 2), w2bi = Broadcast(plan.twi, 2);
    for (uint32_t q = 0; q < quarter; q += 2) {
        const int16_t* s0 = samples + plan.reversed[4 * q];
        const int16_t* s1 = samples + plan.reversed[4 * q + 4];
        Vec e0 = SamplePair(s0, s1, 0);
        Vec e1 = SamplePair(s0, s1, 2 * quarter);
        Vec e2 = SamplePair(s0, s1, quarter);
        Vec e3 = SamplePair(s0, s1, 3 * quarter);
        Butterfly(e0, e1, w1r, w1i);
        Butterfly(e2, e3, w1r, w1i);
        Butterfly(e0, e2, w2ar, w2ai);
        Butterfly(e1, e3, w2br, w2bi);
        // Lane 0 goes to elements 4q … 4q + 3, lane 1 to 4q + 4 … 4q + 7.
        double* r = plan.re.data() + 4 * q;
        double* i = plan.im.data() + 4 * q;
        StoreLanes<4>(r, e0.r, e1.r);
        StoreLanes<4>(r + 2, e2.r, e3.r);
        StoreLanes<4>(i, e0.i, e1.i);
        StoreLanes<4>(i + 2, e2.i, e3.i);
    }
}

// The same with the stage of half-length 4 as well, for counts of 16 and
// more: element 8q + t is sample reversed[8q] + (n/8)·[0, 4, 2, 6, 1, 5, 3, 7][t].
// Written out by hand: the compiler keeps the sixteen vectors in registers
// only without arrays and loops.
void FirstThreeStages(FftPlan& plan, const int16_t* samples) {
    const uint32_t e = plan.n / 8;
    const __m128d w1r = Broadcast(plan.twr, 0), w1i = Broadcast(plan.twi, 0);
    const __m128d w2ar = Broadcast(plan.twr, 1), w2ai = Broadcast(plan.twi, 1);
    const __m128d w2br = Broadcast(plan.twr, 2), w2bi = Broadcast(plan.twi, 2);
    const __m128d w3ar = Broadcast(plan.twr, 3), w3ai = Broadcast(plan.twi, 3);
    const __m128d w3br = Broadcast(plan.twr, 4), w3bi = Broadcast(plan.twi, 4);
    const __m128d w3cr = Broadcast(plan.twr, 5), w3ci = Broadcast(plan.twi, 5);
    const __m128d w3dr = Broadcast(plan.twr, 6), w3di = Broadcast(plan.twi, 6);
    double* re = plan.re.data();
    double* im = plan.im.data();
    for (uint32_t q = 0; q < e; q += 2) {
        const int16_t* s0 = samples + plan.reversed[8 * q];
        const int16_t* s1 = samples + plan.reversed[8 * q + 8];
        Vec v0 = SamplePair(s0, s1, 0);
        Vec v1 = SamplePair(s0, s1, 4 * e);
        Vec v2 = SamplePair(s0, s1, 2 * e);
        Vec v3 = SamplePair(s0, s1, 6 * e);
        Vec v4 = SamplePair(s0, s1, e);
        Vec v5 = SamplePair(s0, s1, 5 * e);
        Vec v6 = SamplePair(s0, s1, 3 * e);
        Vec v7 = SamplePair(s0, s1, 7 * e);
        Butterfly(v0, v1, w1r, w1i);
        Butterfly(v2, v3, w1r, w1i);
        Butterfly(v4, v5, w1r, w1i);
        Butterfly(v6, v7, w1r, w1i);
        Butterfly(v0, v2, w2ar, w2ai);
        Butterfly(v1, v3, w2br, w2bi);
        Butterfly(v4, v6, w2ar, w2ai);
        Butterfly(v5, v7, w2br, w2bi);
        Butterfly(v0, v4, w3ar, w3ai);
        Butterfly(v1, v5, w3br, w3bi);
        Butterfly(v2, v6, w3cr, w3ci);
        Butterfly(v3, v7, w3dr, w3di);
        // Lane 0 goes to elements 8q … 8q + 7, lane 1 to 8q + 8 … 8q + 15.
        double* r = re + 8 * q;
        double* i = im + 8 * q;
        StoreLanes<8>(r, v0.r, v1.r);
        StoreLanes<8>(r + 2, v2.r, v3.r);
        StoreLanes<8>(r + 4, v4.r, v5.r);
        StoreLanes<8>(r + 6, v6.r, v7.r);
        StoreLanes<8>(i, v0.i, v1.i);
        StoreLanes<8>(i + 2, v2.i, v3.i);
        StoreLanes<8>(i + 4, v4.i, v5.i);
        StoreLanes<8>(i + 6, v6.i, v7.i);
    }
}

// Magnitudes two bins at a time, first in double precision: d = √(re² + im²).
// The double result and the extended one each lie within a few units of 2⁻⁵³
// (relative) of the true root: the sum of two rounded squares is off by at
// most 2u relatively (u = 2⁻⁵³), the root halves that and adds its own
// rounding, so |d − √x| ≤ 2.01u·√x; in extended precision the error is 2¹¹
// times smaller. Both therefore round to the same integer unless d lies
// within about 4u·d of a half-integer. In that band, which real data almost
// never reach, the extended expression decides. kBand is 8u, twice the bound,
// for margin. Magnitudes stay below 2³⁰ (16384 × 32768 × √2), inside int32.
// The conversion rounds to nearest, ties to even (the default rounding mode,
// as for nearbyint); d − nearest is exact (the two are within a factor of two,
// or nearest is 0).
//
// The magnitudes of two vectors' bins, two by two: a's lanes go to outA[0, 1],
// b's to outB[0, 1]. Both roots are started before either is checked, so
// that their latencies overlap.
inline void WriteMagnitudes(Vec a, int32_t* outA, Vec b, int32_t* outB) {
    constexpr double kBand = 0x1p-50;
    constexpr double kBandFloor = 0x1p-60;
    const __m128d da = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(a.r, a.r), _mm_mul_pd(a.i, a.i)));
    const __m128d db = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(b.r, b.r), _mm_mul_pd(b.i, b.i)));
    const __m128i na = _mm_cvtpd_epi32(da);
    const __m128i nb = _mm_cvtpd_epi32(db);
    const __m128d absMask = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m128d half = _mm_set1_pd(0.5);
    const __m128d band = _mm_set1_pd(kBand), bandFloor = _mm_set1_pd(kBandFloor);
    const __m128d distA =
        _mm_sub_pd(half, _mm_and_pd(_mm_sub_pd(da, _mm_cvtepi32_pd(na)), absMask));
    const __m128d distB =
        _mm_sub_pd(half, _mm_and_pd(_mm_sub_pd(db, _mm_cvtepi32_pd(nb)), absMask));
    const __m128d nearA = _mm_cmple_pd(distA, _mm_add_pd(_mm_mul_pd(da, band), bandFloor));
    const __m128d nearB = _mm_cmple_pd(distB, _mm_add_pd(_mm_mul_pd(db, band), bandFloor));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(outA), na);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(outB), nb);
    if (_mm_movemask_pd(_mm_or_pd(nearA, nearB)) != 0) {
        alignas(16) double r[4], i[4];
        _mm_store_pd(r, a.r);
        _mm_store_pd(r + 2, b.r);
        _mm_store_pd(i, a.i);
        _mm_store_pd(i + 2, b.i);
        outA[0] = ExtendedMagnitude(r[0], i[0]);
        outA[1] = ExtendedMagnitude(r[1], i[1]);
        outB[0] = ExtendedMagnitude(r[2], i[2]);
        outB[1] = ExtendedMagnitude(r[3], i[3]);
    }
}

// Stages of half-length `half` and 2·half together. With `magnitudes` given,
// this is the last pair (4·half = n, one group) and the results go straight
// into the n magnitudes instead of back into the arrays.
void StagePair(FftPlan& plan, uint32_t half, int32_t* magnitudes = nullptr) {
    double* re = plan.re.data();
    double* im = plan.im.data();
    const double* ar = &plan.twr[half - 1];
    const double* ai = &plan.twi[half - 1];
    const double* br = &plan.twr[2 * half - 1];
    const double* bi = &plan.twi[2 * half - 1];
    for (uint32_t g = 0; g < plan.n; g += 4 * half) {
        double* r = re + g;
        double* i = im + g;
        for (uint32_t q = 0; q < half; q += 2) {
            Vec e0 = Load(r + q, i + q);
            Vec e1 = Load(r + q + half, i + q + half);
            Vec e2 = Load(r + q + 2 * half, i + q + 2 * half);
            Vec e3 = Load(r + q + 3 * half, i + q + 3 * half);
            const __m128d war = _mm_loadu_pd(ar + q), wai = _mm_loadu_pd(ai + q);
            Butterfly(e0, e1, war, wai);
            Butterfly(e2, e3, war, wai);
            Butterfly(e0, e2, _mm_loadu_pd(br + q), _mm_loadu_pd(bi + q));
            Butterfly(e1, e3, _mm_loadu_pd(br + q + half), _mm_loadu_pd(bi + q + half));
            if (magnitudes != nullptr) {
                WriteMagnitudes(e0, magnitudes + q, e1, magnitudes + q + half);
                WriteMagnitudes(e2, magnitudes + q + 2 * half, e3, magnitudes + q + 3 * half);
            } else {
                Store(r + q, i + q, e0);
                Store(r + q + half, i + q + half, e1);
                Store(r + q + 2 * half, i + q + 2 * half, e2);
                Store(r + q + 3 * half, i + q + 3 * half, e3);
            }
        }
    }
}

// The last stage alone (half-length n/2, one group), straight into the n
// magnitudes.
void LastStage(FftPlan& plan, int32_t* magnitudes) {
    const uint32_t half = plan.n / 2;
    const double* re = plan.re.data();
    const double* im = plan.im.data();
    const double* wr = &plan.twr[half - 1];
    const double* wi = &plan.twi[half - 1];
    for (uint32_t q = 0; q < half; q += 2) {
        Vec y = Load(re + q, im + q);
        Vec x = Load(re + q + half, im + q + half);
        Butterfly(y, x, _mm_loadu_pd(wr + q), _mm_loadu_pd(wi + q));
        WriteMagnitudes(y, magnitudes + q, x, magnitudes + q + half);
    }
}

// Counts of 8 and more: the first two or three stages from the samples, then
// pairs of stages, the last one or two writing all n magnitudes (into the
// plan's scratch when the caller wants fewer).
void VectorTransform(FftPlan& plan, const int16_t* samples, uint32_t m, int32_t* magnitudes) {
    int32_t* all = m == plan.n ? magnitudes : plan.magnitudes.data();
    const int bits = IndexBits(plan.n);
    int done = 2;
    if (plan.n >= 16) {
        FirstThreeStages(plan, samples);
        done = 3;
    } else {
        FirstTwoStages(plan, samples);
    }
    uint32_t half = 1u << done;
    for (; bits - done > 2; done += 2, half *= 4)
        StagePair(plan, half);
    if (bits - done == 2)
        StagePair(plan, half, all);
    else
        LastStage(plan, all);
    if (all != magnitudes) std::copy_n(all, m, magnitudes);
}

// ---- AVX path: counts of 32 and more -----------------------------------------
//
// The SSE2 path with four butterflies per instruction. These functions are
// compiled for AVX (no FMA) and only called when the processor has it. Their
// helpers are marked too, as the compiler inlines only within one target.

#define QUARL_AVX __attribute__((target("avx")))

struct Vec4 {
    __m256d r, i;
};

QUARL_AVX inline Vec4 Load4(const double* re, const double* im) {
    return {_mm256_loadu_pd(re), _mm256_loadu_pd(im)};
}

QUARL_AVX inline void Store4(double* re, double* im, Vec4 v) {
    _mm256_storeu_pd(re, v.r);
    _mm256_storeu_pd(im, v.i);
}

QUARL_AVX inline void Butterfly4(Vec4& y, Vec4& x, __m256d wr, __m256d wi) {
    const __m256d tr = _mm256_sub_pd(_mm256_mul_pd(wr, x.r), _mm256_mul_pd(wi, x.i));
    const __m256d ti = _mm256_add_pd(_mm256_mul_pd(wr, x.i), _mm256_mul_pd(wi, x.r));
    x.r = _mm256_sub_pd(y.r, tr);
    x.i = _mm256_sub_pd(y.i, ti);
    y.r = _mm256_add_pd(y.r, tr);
    y.i = _mm256_add_pd(y.i, ti);
}

// Four consecutive samples as the four lanes, imaginary parts 0.0.
QUARL_AVX inline Vec4 SampleQuad(const int16_t* s) {
    const __m128i words = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s));
    return {_mm256_cvtepi32_pd(_mm_cvtepi16_epi32(words)), _mm256_setzero_pd()};
}

QUARL_AVX inline __m256d Broadcast4(const std::vector<double>& table, uint32_t index) {
    return _mm256_set1_pd(table[index]);
}

// Lane t of a, b, c, d (the first four elements of group t) stored at dst[t],
// a 4 x 4 transpose.
QUARL_AVX inline void StoreTransposed(double* const dst[4], __m256d a, __m256d b, __m256d c,
                                      __m256d d) {
    const __m256d ab0 = _mm256_unpacklo_pd(a, b); // a0 b0 a2 b2
    const __m256d ab1 = _mm256_unpackhi_pd(a, b); // a1 b1 a3 b3
    const __m256d cd0 = _mm256_unpacklo_pd(c, d);
    const __m256d cd1 = _mm256_unpackhi_pd(c, d);
    _mm256_storeu_pd(dst[0], _mm256_permute2f128_pd(ab0, cd0, 0x20));
    _mm256_storeu_pd(dst[1], _mm256_permute2f128_pd(ab1, cd1, 0x20));
    _mm256_storeu_pd(dst[2], _mm256_permute2f128_pd(ab0, cd0, 0x31));
    _mm256_storeu_pd(dst[3], _mm256_permute2f128_pd(ab1, cd1, 0x31));
}

// Bit-reversed copy and the first three stages, as FirstThreeStages. Element
// 8g + t is sample rev(g) + (n/8)·[0, 4, 2, 6, 1, 5, 3, 7][t], where rev(g) =
// reversed[8g] and rev is its own inverse. The four lanes are the groups whose
// rev(g) are four consecutive numbers r … r + 3, so that each vector of
// samples is one load of four neighbours; the results are then transposed
// into their groups.
QUARL_AVX void FirstThreeStagesAvx(FftPlan& plan, const int16_t* samples) {
    const uint32_t e = plan.n / 8;
    const __m256d w1r = Broadcast4(plan.twr, 0), w1i = Broadcast4(plan.twi, 0);
    const __m256d w2ar = Broadcast4(plan.twr, 1), w2ai = Broadcast4(plan.twi, 1);
    const __m256d w2br = Broadcast4(plan.twr, 2), w2bi = Broadcast4(plan.twi, 2);
    const __m256d w3ar = Broadcast4(plan.twr, 3), w3ai = Broadcast4(plan.twi, 3);
    const __m256d w3br = Broadcast4(plan.twr, 4), w3bi = Broadcast4(plan.twi, 4);
    const __m256d w3cr = Broadcast4(plan.twr, 5), w3ci = Broadcast4(plan.twi, 5);
    const __m256d w3dr = Broadcast4(plan.twr, 6), w3di = Broadcast4(plan.twi, 6);
    double* re = plan.re.data();
    double* im = plan.im.data();
    const uint16_t* reversed = plan.reversed.data();
    for (uint32_t r = 0; r < e; r += 4) {
        const int16_t* s = samples + r;
        Vec4 v0 = SampleQuad(s);
        Vec4 v1 = SampleQuad(s + 4 * e);
        Vec4 v2 = SampleQuad(s + 2 * e);
        Vec4 v3 = SampleQuad(s + 6 * e);
        Vec4 v4 = SampleQuad(s + e);
        Vec4 v5 = SampleQuad(s + 5 * e);
        Vec4 v6 = SampleQuad(s + 3 * e);
        Vec4 v7 = SampleQuad(s + 7 * e);
        Butterfly4(v0, v1, w1r, w1i);
        Butterfly4(v2, v3, w1r, w1i);
        Butterfly4(v4, v5, w1r, w1i);
        Butterfly4(v6, v7, w1r, w1i);
        Butterfly4(v0, v2, w2ar, w2ai);
        Butterfly4(v1, v3, w2br, w2bi);
        Butterfly4(v4, v6, w2ar, w2ai);
        Butterfly4(v5, v7, w2br, w2bi);
        Butterfly4(v0, v4, w3ar, w3ai);
        Butterfly4(v1, v5, w3br, w3bi);
        Butterfly4(v2, v6, w3cr, w3ci);
        Butterfly4(v3, v7, w3dr, w3di);
        uint32_t group[4];
        for (int t = 0; t < 4; ++t)
            group[t] = 8u * reversed[8 * (r + t)];
        double* const r0[4] = {re + group[0], re + group[1], re + group[2], re + group[3]};
        double* const r4[4] = {r0[0] + 4, r0[1] + 4, r0[2] + 4, r0[3] + 4};
        double* const i0[4] = {im + group[0], im + group[1], im + group[2], im + group[3]};
        double* const i4[4] = {i0[0] + 4, i0[1] + 4, i0[2] + 4, i0[3] + 4};
        StoreTransposed(r0, v0.r, v1.r, v2.r, v3.r);
        StoreTransposed(r4, v4.r, v5.r, v6.r, v7.r);
        StoreTransposed(i0, v0.i, v1.i, v2.i, v3.i);
        StoreTransposed(i4, v4.i, v5.i, v6.i, v7.i);
    }
}

// WriteMagnitudes four bins at a time; the same bound and band.
QUARL_AVX inline void WriteMagnitudes4(Vec4 a, int32_t* outA, Vec4 b, int32_t* outB) {
    constexpr double kBand = 0x1p-50;
    constexpr double kBandFloor = 0x1p-60;
    const __m256d da =
        _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(a.r, a.r), _mm256_mul_pd(a.i, a.i)));
    const __m256d db =
        _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(b.r, b.r), _mm256_mul_pd(b.i, b.i)));
    const __m128i na = _mm256_cvtpd_epi32(da);
    const __m128i nb = _mm256_cvtpd_epi32(db);
    const __m256d absMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d band = _mm256_set1_pd(kBand), bandFloor = _mm256_set1_pd(kBandFloor);
    const __m256d distA =
        _mm256_sub_pd(half, _mm256_and_pd(_mm256_sub_pd(da, _mm256_cvtepi32_pd(na)), absMask));
    const __m256d distB =
        _mm256_sub_pd(half, _mm256_and_pd(_mm256_sub_pd(db, _mm256_cvtepi32_pd(nb)), absMask));
    const __m256d nearA =
        _mm256_cmp_pd(distA, _mm256_add_pd(_mm256_mul_pd(da, band), bandFloor), _CMP_LE_OQ);
    const __m256d nearB =
        _mm256_cmp_pd(distB, _mm256_add_pd(_mm256_mul_pd(db, band), bandFloor), _CMP_LE_OQ);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(outA), na);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(outB), nb);
    if (_mm256_movemask_pd(_mm256_or_pd(nearA, nearB)) != 0) {
        alignas(32) double r[8], i[8];
        _mm256_store_pd(r, a.r);
        _mm256_store_pd(r + 4, b.r);
        _mm256_store_pd(i, a.i);
        _mm256_store_pd(i + 4, b.i);
        for (int t = 0; t < 4; ++t) {
            outA[t] = ExtendedMagnitude(r[t], i[t]);
            outB[t] = ExtendedMagnitude(r[t + 4], i[t + 4]);
        }
    }
}

// As StagePair, four butterflies at a time (half is at least 4). A template
// on whether this is the last pair, so that neither loop carries the other's
// registers and branch.
template <bool toMagnitudes>
QUARL_AVX void StagePairAvx(FftPlan& plan, uint32_t half, int32_t* magnitudes = nullptr) {
    double* re = plan.re.data();
    double* im = plan.im.data();
    const double* ar = &plan.twr[half - 1];
    const double* ai = &plan.twi[half - 1];
    const double* br = &plan.twr[2 * half - 1];
    const double* bi = &plan.twi[2 * half - 1];
    for (uint32_t g = 0; g < plan.n; g += 4 * half) {
        double* r = re + g;
        double* i = im + g;
        for (uint32_t q = 0; q < half; q += 4) {
            Vec4 e0 = Load4(r + q, i + q);
            Vec4 e1 = Load4(r + q + half, i + q + half);
            Vec4 e2 = Load4(r + q + 2 * half, i + q + 2 * half);
            Vec4 e3 = Load4(r + q + 3 * half, i + q + 3 * half);
            const __m256d war = _mm256_loadu_pd(ar + q), wai = _mm256_loadu_pd(ai + q);
            Butterfly4(e0, e1, war, wai);
            Butterfly4(e2, e3, war, wai);
            Butterfly4(e0, e2, _mm256_loadu_pd(br + q), _mm256_loadu_pd(bi + q));
            Butterfly4(e1, e3, _mm256_loadu_pd(br + q + half), _mm256_loadu_pd(bi + q + half));
            if constexpr (toMagnitudes) {
                WriteMagnitudes4(e0, magnitudes + q, e1, magnitudes + q + half);
                WriteMagnitudes4(e2, magnitudes + q + 2 * half, e3, magnitudes + q + 3 * half);
            } else {
                Store4(r + q, i + q, e0);
                Store4(r + q + half, i + q + half, e1);
                Store4(r + q + 2 * half, i + q + 2 * half, e2);
                Store4(r + q + 3 * half, i + q + 3 * half, e3);
            }
        }
    }
}

// Stages of half-length `half`, 2·half and 4·half together, four butterflies
// at a time: the eight elements j + k·half (k = 0 … 7) go through all three
// while they sit in registers, as in FirstThreeStages. One pass over the
// arrays instead of one and a half.
template <bool toMagnitudes>
QUARL_AVX void StageTripleAvx(FftPlan& plan, uint32_t half, int32_t* magnitudes = nullptr) {
    double* re = plan.re.data();
    double* im = plan.im.data();
    const double* ar = &plan.twr[half - 1];
    const double* ai = &plan.twi[half - 1];
    const double* br = &plan.twr[2 * half - 1];
    const double* bi = &plan.twi[2 * half - 1];
    const double* cr = &plan.twr[4 * half - 1];
    const double* ci = &plan.twi[4 * half - 1];
    const uint32_t h = half;
    for (uint32_t g = 0; g < plan.n; g += 8 * h) {
        double* r = re + g;
        double* i = im + g;
        for (uint32_t q = 0; q < h; q += 4) {
            Vec4 v0 = Load4(r + q, i + q);
            Vec4 v1 = Load4(r + q + h, i + q + h);
            Vec4 v2 = Load4(r + q + 2 * h, i + q + 2 * h);
            Vec4 v3 = Load4(r + q + 3 * h, i + q + 3 * h);
            Vec4 v4 = Load4(r + q + 4 * h, i + q + 4 * h);
            Vec4 v5 = Load4(r + q + 5 * h, i + q + 5 * h);
            Vec4 v6 = Load4(r + q + 6 * h, i + q + 6 * h);
            Vec4 v7 = Load4(r + q + 7 * h, i + q + 7 * h);
            const __m256d war = _mm256_loadu_pd(ar + q), wai = _mm256_loadu_pd(ai + q);
            Butterfly4(v0, v1, war, wai);
            Butterfly4(v2, v3, war, wai);
            Butterfly4(v4, v5, war, wai);
            Butterfly4(v6, v7, war, wai);
            const __m256d wbr0 = _mm256_loadu_pd(br + q), wbi0 = _mm256_loadu_pd(bi + q);
            const __m256d wbr1 = _mm256_loadu_pd(br + q + h), wbi1 = _mm256_loadu_pd(bi + q + h);
            Butterfly4(v0, v2, wbr0, wbi0);
            Butterfly4(v1, v3, wbr1, wbi1);
            Butterfly4(v4, v6, wbr0, wbi0);
            Butterfly4(v5, v7, wbr1, wbi1);
            Butterfly4(v0, v4, _mm256_loadu_pd(cr + q), _mm256_loadu_pd(ci + q));
            Butterfly4(v1, v5, _mm256_loadu_pd(cr + q + h), _mm256_loadu_pd(ci + q + h));
            Butterfly4(v2, v6, _mm256_loadu_pd(cr + q + 2 * h), _mm256_loadu_pd(ci + q + 2 * h));
            Butterfly4(v3, v7, _mm256_loadu_pd(cr + q + 3 * h), _mm256_loadu_pd(ci + q + 3 * h));
            if constexpr (toMagnitudes) {
                int32_t* out = magnitudes + q;
                WriteMagnitudes4(v0, out, v1, out + h);
                WriteMagnitudes4(v2, out + 2 * h, v3, out + 3 * h);
                WriteMagnitudes4(v4, out + 4 * h, v5, out + 5 * h);
                WriteMagnitudes4(v6, out + 6 * h, v7, out + 7 * h);
            } else {
                Store4(r + q, i + q, v0);
                Store4(r + q + h, i + q + h, v1);
                Store4(r + q + 2 * h, i + q + 2 * h, v2);
                Store4(r + q + 3 * h, i + q + 3 * h, v3);
                Store4(r + q + 4 * h, i + q + 4 * h, v4);
                Store4(r + q + 5 * h, i + q + 5 * h, v5);
                Store4(r + q + 6 * h, i + q + 6 * h, v6);
                Store4(r + q + 7 * h, i + q + 7 * h, v7);
            }
        }
    }
}

// As VectorTransform, for counts of 32 and more, with passes of three stages
// where they fit (512: three passes of three stages).
QUARL_AVX void VectorTransformAvx(FftPlan& plan, const int16_t* samples, uint32_t m,
                                  int32_t* magnitudes) {
    int32_t* all = m == plan.n ? magnitudes : plan.magnitudes.data();
    FirstThreeStagesAvx(plan, samples);
    // Stages still to do: at least 2 (n ≥ 32), and the loop leaves 2 or 3.
    int left = IndexBits(plan.n) - 3;
    uint32_t half = 8;
    while (left > 3) {
        if (left == 4) {
            StagePairAvx<false>(plan, half);
            half *= 4;
            left -= 2;
        } else {
            StageTripleAvx<false>(plan, half);
            half *= 8;
            left -= 3;
        }
    }
    if (left == 3)
        StageTripleAvx<true>(plan, half, all);
    else
        StagePairAvx<true>(plan, half, all);
    if (all != magnitudes) std::copy_n(all, m, magnitudes);
}

QUARL_AVX int32_t MagnitudeAvx(double re, double im) {
    int32_t out[8];
    const Vec4 v{_mm256_set1_pd(re), _mm256_set1_pd(im)};
    WriteMagnitudes4(v, out, v, out + 4);
    return out[0];
}
#endif

// The kernel in use: chosen once from what the processor has, unless a test
// has forced one.
FftKernel& ActiveKernel() {
    static FftKernel kernel = [] {
#if defined(QUARL_SIMD)
        return __builtin_cpu_supports("avx") ? FftKernel::Avx : FftKernel::Sse2;
#else
        return FftKernel::Portable;
#endif
    }();
    return kernel;
}

bool KernelAvailable(FftKernel kernel) {
    switch (kernel) {
    case FftKernel::Portable:
        return true;
#if defined(QUARL_SIMD)
    case FftKernel::Sse2:
        return true;
    case FftKernel::Avx:
        return __builtin_cpu_supports("avx");
#endif
    default:
        return false;
    }
}

} // namespace

int32_t Magnitude(double re, double im) {
    // Through the active kernel's own magnitude code, so that tests reach it.
    switch (ActiveKernel()) {
#if defined(QUARL_SIMD)
    case FftKernel::Avx:
        return MagnitudeAvx(re, im);
    case FftKernel::Sse2: {
        int32_t out[4];
        const Vec v{_mm_set1_pd(re), _mm_set1_pd(im)};
        WriteMagnitudes(v, out, v, out + 2);
        return out[0];
    }
#endif
    default:
        return ExtendedMagnitude(re, im);
    }
}

bool SelectFftKernel(FftKernel kernel) {
    if (kernel == FftKernel::Best) {
        ActiveKernel() = KernelAvailable(FftKernel::Avx)    ? FftKernel::Avx
                         : KernelAvailable(FftKernel::Sse2) ? FftKernel::Sse2
                                                            : FftKernel::Portable;
        return true;
    }
    if (!KernelAvailable(kernel)) return false;
    ActiveKernel() = kernel;
    return true;
}

uint16_t IndexBits(uint16_t n) {
    uint16_t bit = 0;
    while (bit < 16 && (n & (1u << bit)) == 0)
        ++bit;
    return bit;
}

uint16_t ReverseBits(uint16_t value, uint16_t bits) {
    uint16_t result = 0;
    for (uint16_t b = 0; b < bits; ++b) {
        result = static_cast<uint16_t>((result << 1) | (value & 1u));
        value = static_cast<uint16_t>(value >> 1);
    }
    return result;
}

void FourierTransform(uint16_t n, uint16_t m, const int16_t* samples, double angle,
                      int32_t* magnitudes) {
    CheckCounts(n, m, samples, magnitudes);
    FftPlan& plan = PlanFor(n, angle);

#if defined(QUARL_SIMD)
    const FftKernel kernel = ActiveKernel();
    if (kernel == FftKernel::Avx && n >= 32) {
        VectorTransformAvx(plan, samples, m, magnitudes);
        return;
    }
    if (kernel != FftKernel::Portable && n >= 8) {
        VectorTransform(plan, samples, m, magnitudes);
        return;
    }
#endif
    ScalarTransform(plan, samples);
    ScalarMagnitudes(plan.re.data(), plan.im.data(), m, magnitudes);
}

void FFT(uint16_t n, uint16_t m, const int16_t* samples, int32_t* magnitudes) {
    FourierTransform(n, m, samples, kFullTurn, magnitudes);
}
