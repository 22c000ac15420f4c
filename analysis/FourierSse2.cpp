#include "analysis/FourierPlan.h"

#include "analysis/Fourier.h"

#include <algorithm>

#if defined(QUARL_SIMD)
#include <immintrin.h>

// ---- SSE2 path: counts of 8 and more ----------------------------------------
//
// Two butterflies per instruction, lane by lane the same operations as
// Butterfly. Stages are done two at a time (half-lengths h and 2h): the four
// elements j, j + h, j + 2h, j + 3h go through the butterfly of the first
// stage and then of the second while they sit in registers. The second stage
// only reads what the first wrote into the same four elements, so this gives
// the same values as finishing one stage before starting the next; it halves
// the loads and stores.

namespace fourier_detail {
namespace {

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

// The magnitudes of two vectors' bins, two by two: a's lanes go to outA[0, 1],
// b's to outB[0, 1]. First in double precision, falling back to
// ExtendedMagnitude only near a half-integer (see kMagnitudeBand). Both roots
// are started before either is checked, so that their latencies overlap.
inline void WriteMagnitudes(Vec a, int32_t* outA, Vec b, int32_t* outB) {
    const __m128d da = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(a.r, a.r), _mm_mul_pd(a.i, a.i)));
    const __m128d db = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(b.r, b.r), _mm_mul_pd(b.i, b.i)));
    const __m128i na = _mm_cvtpd_epi32(da);
    const __m128i nb = _mm_cvtpd_epi32(db);
    const __m128d absMask = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m128d half = _mm_set1_pd(0.5);
    const __m128d band = _mm_set1_pd(kMagnitudeBand), bandFloor = _mm_set1_pd(kMagnitudeBandFloor);
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

} // namespace

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

int32_t MagnitudeSse2(double re, double im) {
    int32_t out[4];
    const Vec v{_mm_set1_pd(re), _mm_set1_pd(im)};
    WriteMagnitudes(v, out, v, out + 2);
    return out[0];
}

} // namespace fourier_detail

#endif
