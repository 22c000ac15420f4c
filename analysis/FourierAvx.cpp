#include "analysis/FourierPlan.h"

#include "analysis/Fourier.h"

#include <algorithm>

#if defined(QUARL_SIMD)
#include <immintrin.h>

// ---- AVX path: counts of 32 and more -----------------------------------------
//
// The SSE2 path with four butterflies per instruction. These functions are
// compiled for AVX (no FMA) and only called when the processor has it. Their
// helpers are marked too, as the compiler inlines only within one target.

namespace fourier_detail {
namespace {

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
    const __m256d da =
        _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(a.r, a.r), _mm256_mul_pd(a.i, a.i)));
    const __m256d db =
        _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(b.r, b.r), _mm256_mul_pd(b.i, b.i)));
    const __m128i na = _mm256_cvtpd_epi32(da);
    const __m128i nb = _mm256_cvtpd_epi32(db);
    const __m256d absMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d band = _mm256_set1_pd(kMagnitudeBand),
                  bandFloor = _mm256_set1_pd(kMagnitudeBandFloor);
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

} // namespace

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

} // namespace fourier_detail

#endif
