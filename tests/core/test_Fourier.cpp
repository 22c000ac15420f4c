#include "analysis/Fourier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr double kTwoPi = 6.283185307179586;

// The transform written out step by step, the way it reads on paper: scratch
// arrays per call, the twiddle recurrence run inside every group, magnitudes
// in extended precision. The cached, table-driven, SSE2 transform must give
// exactly these numbers.
std::vector<int32_t> StepwiseTransform(uint16_t n, uint16_t m, const int16_t* samples,
                                       double angle) {
    std::vector<double> re(n), im(n);
    const uint16_t bits = IndexBits(n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint16_t d = ReverseBits(static_cast<uint16_t>(i), bits);
        re[d] = samples[i];
        im[d] = 0.0;
    }
    uint32_t half = 1;
    for (uint32_t len = 2; len <= n; len *= 2) {
        const double theta = angle / len;
        const double s = std::sin(0.5 * theta);
        const double alpha = 2.0 * s * s;
        const double beta = std::sin(theta);
        for (uint32_t g = 0; g < n; g += len) {
            double wr = 1.0;
            double wi = 0.0;
            uint32_t j = g;
            for (uint32_t step = 0; step < half; ++step) {
                const uint32_t k = j + half;
                const double tr = wr * re[k] - wi * im[k];
                const double ti = wr * im[k] + wi * re[k];
                re[k] = re[j] - tr;
                im[k] = im[j] - ti;
                re[j] = re[j] + tr;
                im[j] = im[j] + ti;
                const double t = alpha * wr + beta * wi;
                wi = wi - (alpha * wi - beta * wr);
                wr = wr - t;
                ++j;
            }
        }
        half = len;
    }
    std::vector<int32_t> out(m);
    for (uint32_t i = 0; i < m; ++i) {
        const long double r = re[i];
        const long double x = im[i];
        out[i] = static_cast<int32_t>(std::nearbyint(std::sqrt(r * r + x * x)));
    }
    return out;
}

std::vector<int16_t> RandomBlock(std::mt19937& rng, uint32_t n) {
    std::uniform_int_distribution<int> sample(-32768, 32767);
    std::vector<int16_t> block(n);
    for (auto& s : block)
        s = static_cast<int16_t>(sample(rng));
    return block;
}

std::vector<int32_t> Transform(const std::vector<int16_t>& block, uint16_t m) {
    std::vector<int32_t> out(m);
    FFT(static_cast<uint16_t>(block.size()), m, block.data(), out.data());
    return out;
}

// Runs a test once per butterfly kernel (portable, SSE2, AVX), so that every
// path this machine can run is held against the same reference; a kernel the
// processor lacks is skipped. The best kernel is restored afterwards.
class FourierKernel : public ::testing::TestWithParam<FftKernel> {
protected:
    void SetUp() override {
        if (!SelectFftKernel(GetParam())) GTEST_SKIP() << "kernel not available here";
    }
    void TearDown() override { SelectFftKernel(FftKernel::Best); }
};

std::string KernelName(const ::testing::TestParamInfo<FftKernel>& info) {
    switch (info.param) {
    case FftKernel::Portable:
        return "Portable";
    case FftKernel::Sse2:
        return "Sse2";
    case FftKernel::Avx:
        return "Avx";
    default:
        return "Best";
    }
}

INSTANTIATE_TEST_SUITE_P(Fourier, FourierKernel,
                         ::testing::Values(FftKernel::Portable, FftKernel::Sse2, FftKernel::Avx),
                         KernelName);

TEST(FourierKernelChoice, AnUnknownKernelIsRefusedAndBestIsAlwaysAccepted) {
    EXPECT_FALSE(SelectFftKernel(static_cast<FftKernel>(99)));
    EXPECT_TRUE(SelectFftKernel(FftKernel::Portable));
    EXPECT_TRUE(SelectFftKernel(FftKernel::Best));
}

TEST(FourierBits, IndexBitsIsTheLowestSetBit) {
    EXPECT_EQ(IndexBits(512), 9);
    EXPECT_EQ(IndexBits(1), 0);
    EXPECT_EQ(IndexBits(16384), 14);
    EXPECT_EQ(IndexBits(0x8000), 15);
    EXPECT_EQ(IndexBits(12), 2); // not a power of two: still the lowest set bit
    EXPECT_EQ(IndexBits(0), 16);
}

TEST(FourierBits, ReverseBitsReversesTheLowBitsOnly) {
    struct Case {
        uint16_t value, bits, expected;
    };
    const Case cases[] = {{1, 9, 256},
                          {2, 9, 128},
                          {6, 9, 192},
                          {511, 9, 511},
                          {513, 9, 256},
                          {0, 9, 0},
                          {1, 1, 1},
                          {5, 0, 0},
                          {1, 14, 8192},
                          {3, 2, 3},
                          {0xFFFF, 16, 0xFFFF},
                          {0x0001, 16, 0x8000}};
    for (const Case& c : cases)
        EXPECT_EQ(ReverseBits(c.value, c.bits), c.expected) << c.value << " over " << c.bits;
}

TEST(FourierWorked, ConstantBlockLandsInBinZero) {
    const std::vector<int16_t> block(512, 100);
    const auto out = Transform(block, 512);
    EXPECT_EQ(out[0], 51200);
    for (int k = 1; k < 512; ++k)
        ASSERT_EQ(out[k], 0) << "bin " << k;
}

TEST(FourierWorked, FullScaleConstantStaysInsideInt32) {
    const std::vector<int16_t> block(512, 32767);
    EXPECT_EQ(Transform(block, 512)[0], 16776704);
    const std::vector<int16_t> lowest(512, -32768);
    EXPECT_EQ(Transform(lowest, 512)[0], 16777216); // the largest possible magnitude
}

TEST(FourierWorked, ImpulseIsFlatWhereverItStands) {
    for (int position : {0, 1, 7, 255, 256, 511}) {
        std::vector<int16_t> block(512, 0);
        block[position] = 1000;
        const auto out = Transform(block, 512);
        for (int k = 0; k < 512; ++k)
            ASSERT_EQ(out[k], 1000) << "impulse at " << position << ", bin " << k;
    }
}

TEST(FourierWorked, SineOnBinEightAndItsMirror) {
    std::vector<int16_t> block(512);
    for (int i = 0; i < 512; ++i)
        block[i] = static_cast<int16_t>(std::nearbyint(10000 * std::sin(kTwoPi * 8 * i / 512)));
    const auto out = Transform(block, 512);
    EXPECT_NEAR(out[8], 10000 * 256, 256); // about A·N/2
    EXPECT_EQ(out[8], out[504]);
    for (int k = 0; k < 512; ++k) {
        if (k == 8 || k == 504) continue;
        ASSERT_LT(out[k], out[8] / 10000) << "bin " << k;
    }
}

TEST(FourierWorked, FewerOutputsGiveTheLeadingBinsAndTouchNothingElse) {
    std::mt19937 rng(7);
    const auto block = RandomBlock(rng, 512);
    const auto full = Transform(block, 512);
    std::vector<int32_t> part(512, -77);
    FFT(512, 100, block.data(), part.data());
    for (int k = 0; k < 100; ++k)
        ASSERT_EQ(part[k], full[k]);
    for (int k = 100; k < 512; ++k)
        ASSERT_EQ(part[k], -77) << "bin " << k << " was written";
    FFT(512, 0, block.data(), nullptr); // no output at all is fine
}

// The magnitude rule on its own: ties go to the even neighbour.
TEST_P(FourierKernel, MagnitudeHalvesRoundToEven) {
    EXPECT_EQ(Magnitude(2.5, 0), 2);
    EXPECT_EQ(Magnitude(3.5, 0), 4);
    EXPECT_EQ(Magnitude(0, -0.5), 0);
    EXPECT_EQ(Magnitude(1.5, 2.0), 2);  // √6.25
    EXPECT_EQ(Magnitude(-4.5, 6.0), 8); // √56.25 = 7.5
    EXPECT_EQ(Magnitude(3, 4), 5);
    EXPECT_EQ(Magnitude(16777216, 0), 16777216);
}

// The transform decides most magnitudes in double precision and falls back to
// extended precision near a half-integer. Values a few units of 2⁻⁵³ away
// from a half, in every direction, must still round as extended precision
// says.
TEST_P(FourierKernel, MagnitudeAgreesWithExtendedPrecisionNearHalves) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> angle(0, kTwoPi);
    std::uniform_int_distribution<int> whole(0, 1 << 29);
    for (int i = 0; i < 200000; ++i) {
        const double h = whole(rng) + 0.5;
        const double phi = angle(rng);
        double re = h * std::cos(phi);
        double im = h * std::sin(phi);
        const int nudge = static_cast<int>(rng() % 9) - 4;
        for (int s = 0; s < std::abs(nudge); ++s)
            re = std::nextafter(re, nudge > 0 ? 1e300 : -1e300);
        const long double r = re, x = im;
        const auto expected = static_cast<int32_t>(std::nearbyint(std::sqrt(r * r + x * x)));
        ASSERT_EQ(Magnitude(re, im), expected) << std::hexfloat << re << ", " << im;
    }
}

TEST_P(FourierKernel, ReferenceBitIdenticalToStepwiseForEverySize) {
    std::mt19937 rng(2024);
    for (uint32_t n = 1; n <= 16384; n *= 2) {
        const int blocks = n <= 1024 ? 40 : 6;
        for (int b = 0; b < blocks; ++b) {
            const auto block = RandomBlock(rng, n);
            const auto m = static_cast<uint16_t>(b % 3 == 2 ? n / 2 + 1 : n); // M < N too
            const auto expected =
                StepwiseTransform(static_cast<uint16_t>(n), m, block.data(), kTwoPi);
            std::vector<int32_t> out(m);
            FFT(static_cast<uint16_t>(n), m, block.data(), out.data());
            ASSERT_EQ(out, expected) << "N " << n << ", block " << b;
        }
    }
}

TEST_P(FourierKernel, ReferenceBitIdenticalForLoudAndQuietExtremes) {
    std::mt19937 rng(5);
    for (uint16_t n : {2, 4, 64, 512, 4096}) {
        std::vector<int16_t> alternating(n), clipped(n), quiet(n);
        for (uint32_t i = 0; i < n; ++i) {
            alternating[i] = static_cast<int16_t>(i % 2 ? 32767 : -32768);
            clipped[i] = static_cast<int16_t>(rng() % 2 ? 32767 : -32768);
            quiet[i] = static_cast<int16_t>(static_cast<int>(rng() % 3) - 1);
        }
        for (const auto* block : {&alternating, &clipped, &quiet})
            ASSERT_EQ(Transform(*block, n), StepwiseTransform(n, n, block->data(), kTwoPi)) << n;
    }
}

// The twiddle tables are cached per size; another angle must rebuild them and
// the full-turn transform afterwards must not see stale values.
TEST_P(FourierKernel, ReferenceOtherAnglesRebuildTheCachedTables) {
    std::mt19937 rng(3);
    const auto block = RandomBlock(rng, 256);
    for (double angle : {kTwoPi, 1.0, -kTwoPi, 3.0 * kTwoPi, kTwoPi}) {
        std::vector<int32_t> out(256);
        FourierTransform(256, 256, block.data(), angle, out.data());
        ASSERT_EQ(out, StepwiseTransform(256, 256, block.data(), angle)) << angle;
        ASSERT_EQ(Transform(block, 256), StepwiseTransform(256, 256, block.data(), kTwoPi));
    }
}

// Independent of the recurrence: a direct DFT in extended precision with
// exactly reduced angles. The recurrence's rounding stays below one unit.
TEST(FourierReference, WithinOneOfTheDirectTransform) {
    std::mt19937 rng(99);
    for (uint16_t n : {8, 64, 512, 1024}) {
        std::vector<long double> cosTable(n), sinTable(n);
        for (uint32_t k = 0; k < n; ++k) {
            const long double phase = 2 * 3.14159265358979323846264338327950288L * k / n;
            cosTable[k] = std::cos(phase);
            sinTable[k] = std::sin(phase);
        }
        for (int b = 0; b < 8; ++b) {
            const auto block = RandomBlock(rng, n);
            const auto out = Transform(block, n);
            for (uint32_t k = 0; k < n; ++k) {
                long double re = 0, im = 0;
                for (uint32_t i = 0; i < n; ++i) {
                    re += block[i] * cosTable[(i * k) % n];
                    im += block[i] * sinTable[(i * k) % n];
                }
                const long double exact = std::sqrt(re * re + im * im);
                ASSERT_LE(std::fabs(out[k] - exact), 1.0L) << "N " << n << ", bin " << k;
            }
        }
    }
}

TEST(FourierInput, BadCountsAreRefusedWithTheValue) {
    const std::vector<int16_t> block(16384, 0);
    std::vector<int32_t> out(16384);
    struct Case {
        uint16_t n, m;
        const char* named;
    };
    const Case cases[] = {
        {0, 0, "0"},         {3, 3, "3"},       {768, 512, "768"}, {32768, 512, "32768"},
        {65535, 1, "65535"}, {512, 513, "513"}, {1, 2, "2"}};
    for (const Case& c : cases) {
        try {
            FFT(c.n, c.m, block.data(), out.data());
            ADD_FAILURE() << "N " << c.n << ", M " << c.m << " was accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(FFT(512, 512, nullptr, out.data()), std::invalid_argument);
    EXPECT_THROW(FFT(512, 512, block.data(), nullptr), std::invalid_argument);
}

TEST(FourierInput, CountOfOneIsTheSampleItself) {
    const int16_t sample = -1234;
    int32_t out = 0;
    FFT(1, 1, &sample, &out);
    EXPECT_EQ(out, 1234);
}

} // namespace
