#include "analysis/Fourier.h"

#include "analysis/FourierPlan.h"

#include <array>
#include <bit>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

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
//   kMagnitudeBand and WriteMagnitudes).
//
// This file holds the entry points, the per-size plans, the portable path and
// the choice of kernel; the SSE2 kernel is in FourierSse2.cpp, the AVX kernel
// in FourierAvx.cpp, and what they share in FourierPlan.h.
//
// The tables and the scratch arrays depend only on the count (and the angle),
// so they are built on the first call for a count and kept in a thread-local
// cache: later calls allocate nothing. The tests compare this against a plain
// stepwise transform on many random blocks of every size.

namespace {

using fourier_detail::Butterfly;
using fourier_detail::ExtendedMagnitude;
using fourier_detail::FftPlan;

constexpr double kFullTurn = 6.283185307179586; // the double nearest to 2π
constexpr int kMaxBits = 14;                    // log2(kMaxFftCount)

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
        return fourier_detail::MagnitudeAvx(re, im);
    case FftKernel::Sse2:
        return fourier_detail::MagnitudeSse2(re, im);
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
        fourier_detail::VectorTransformAvx(plan, samples, m, magnitudes);
        return;
    }
    if (kernel != FftKernel::Portable && n >= 8) {
        fourier_detail::VectorTransform(plan, samples, m, magnitudes);
        return;
    }
#endif
    ScalarTransform(plan, samples);
    ScalarMagnitudes(plan.re.data(), plan.im.data(), m, magnitudes);
}

void FFT(uint16_t n, uint16_t m, const int16_t* samples, int32_t* magnitudes) {
    FourierTransform(n, m, samples, kFullTurn, magnitudes);
}
