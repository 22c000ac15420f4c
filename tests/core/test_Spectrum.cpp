#include "analysis/Spectrum.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kHeight = 93; // the display picture's height at design time
constexpr int kBase = kHeight - 2;

// ---- Scale -----------------------------------------------------------------

struct ScaleCase {
    uint16_t rate, bandwidth, nyquist;
    double binWidth, zoomRatio, maxDisplayFreq;
    const char* spectrumLabel;
    const char* waveformLabel;
};

// Expected values worked out independently with exact rational arithmetic,
// rounding to 64 and then 53 bits where the program stores a double.
// 11025/s at full bandwidth: Nyquist is 5512 (cut), so the right edge is
// 2·5512²/11025 = 5511.50004…, just above 5511.5; the label is "5511".
const ScaleCase kScales[] = {
    {8000, 4000, 4000, 15.625, 2.0, 4000.0, "4000", "64"},
    {8000, 2000, 4000, 15.625, 4.0, 2000.0, "2000", "64"},
    {11025, 5512, 5512, 21.53125, 2.0001814223512335, 5511.500045351474, "5511", "46"},
    {11025, 2756, 5512, 21.53125, 4.000362844702467, 2755.750022675737, "2755", "46"},
    {22050, 11025, 11025, 43.06640625, 2.0, 11025.0, "11025", "23"},
    {22050, 5512, 11025, 43.06640625, 4.000362844702467, 5512.0, "5512", "23"},
    {44100, 22050, 22050, 86.1328125, 2.0, 22050.0, "22050", "12"},
    {44100, 11025, 22050, 86.1328125, 4.0, 11025.0, "11025", "12"},
    {48000, 24000, 24000, 93.75, 2.0, 24000.0, "24000", "11"},
    {48000, 12000, 24000, 93.75, 4.0, 12000.0, "12000", "11"},
};

class ScaleTable : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleTable, FieldsAndLabels) {
    const ScaleCase& c = GetParam();
    const FrequencyScale s = ComputeScale(c.rate, c.bandwidth);
    EXPECT_EQ(s.SampleRate, c.rate);
    EXPECT_EQ(s.Nyquist, c.nyquist);
    EXPECT_EQ(s.Bandwidth, c.bandwidth);
    EXPECT_EQ(s.BinWidth, c.binWidth);
    EXPECT_EQ(s.ZoomRatio, c.zoomRatio);
    EXPECT_EQ(s.MaxDisplayFreq, c.maxDisplayFreq);
    EXPECT_EQ(MaxAudioFreqText(s, true), c.spectrumLabel);
    EXPECT_EQ(MaxAudioFreqText(s, false), c.waveformLabel);
}

INSTANTIATE_TEST_SUITE_P(EveryRate, ScaleTable, ::testing::ValuesIn(kScales));

TEST(Scale, RightEdgeCanFallJustBelowTheBandwidth) {
    const FrequencyScale s = ComputeScale(8000, 2887);
    EXPECT_LT(s.MaxDisplayFreq, 2887.0);
    EXPECT_EQ(MaxAudioFreqText(s, true), "2886");
}

TEST(Scale, RateButtonsAreTestedFromTheTop) {
    EXPECT_EQ(SampleRateFromButtons(true, true, true, true), 48000);
    EXPECT_EQ(SampleRateFromButtons(false, true, true, false), 44100);
    EXPECT_EQ(SampleRateFromButtons(false, false, true, true), 22050);
    EXPECT_EQ(SampleRateFromButtons(false, false, false, true), 11025);
    EXPECT_EQ(SampleRateFromButtons(false, false, false, false), 8000);
}

// A damaged settings file can give a rate or bandwidth of 0; the scale then
// has no ratio instead of an infinity or NaN, and the labels read "0".
TEST(Scale, ZeroRateOrBandwidthGivesNoRatio) {
    for (auto [rate, bandwidth] : {std::pair{0, 4000}, {8000, 0}, {0, 0}}) {
        const FrequencyScale s =
            ComputeScale(static_cast<uint16_t>(rate), static_cast<uint16_t>(bandwidth));
        EXPECT_EQ(s.ZoomRatio, 0.0) << rate << "/" << bandwidth;
        EXPECT_EQ(s.MaxDisplayFreq, 0.0);
        EXPECT_EQ(MaxAudioFreqText(s, true), "0");
    }
    EXPECT_EQ(MaxAudioFreqText(ComputeScale(0, 4000), false), "0"); // bin width 0
}

// ---- SpecToPoints ------------------------------------------------------------

struct Mapping {
    std::array<int32_t, kSpectrumSize> averaged{};
    std::array<DisplayPoint, kSpectrumSize> points{};
    void Run(uint16_t gain, uint16_t nyquist, uint16_t bandwidth, int height = kHeight) {
        SpecToPoints(averaged.data(), height, gain, nyquist, bandwidth, points.data());
    }
};

struct ColumnCase {
    uint16_t nyquist, bandwidth;
    std::vector<std::pair<int, int>> binToColumn; // bins that land on the picture
    int firstOff;                                 // first bin mapped to the drop
    int dropColumn;
};

const ColumnCase kColumns[] = {
    {24000, 24000, {{0, 0}, {1, 2}, {100, 200}, {255, 510}}, 256, 512},
    {4000, 2000, {{0, 0}, {1, 4}, {127, 508}}, 128, 512},
    // Step 2.5: halves go to the even neighbour.
    {24000,
     19200,
     {{0, 0}, {1, 2}, {2, 5}, {3, 8}, {4, 10}, {5, 12}, {6, 15}, {7, 18}, {8, 20}, {204, 510}},
     205,
     512},
    // The stored step lies just below 4000/1088, so 51 × step is just below
    // 187.5; a product rounded to double would reach 187.5 and give 188.
    {4000, 2176, {{51, 187}, {119, 437}}, 140, 515},
};

class ColumnTable : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(ColumnTable, BinsLandOnTheirColumns) {
    const ColumnCase& c = GetParam();
    Mapping m;
    m.Run(50, c.nyquist, c.bandwidth);
    for (auto [bin, column] : c.binToColumn)
        EXPECT_EQ(m.points[bin].x, column) << "bin " << bin;
    EXPECT_LE(m.points[c.firstOff - 1].x, 511);
    for (int i = c.firstOff; i < kSpectrumSize; ++i) {
        ASSERT_EQ(m.points[i].x, c.dropColumn) << "entry " << i;
        ASSERT_EQ(m.points[i].y, kBase) << "entry " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Bandwidths, ColumnTable, ::testing::ValuesIn(kColumns));

TEST(SpecToPoints, ForcedBinsSitJustAboveTheBaseLine) {
    Mapping m;
    m.averaged.fill(0);
    m.averaged[0] = 5000;
    m.averaged[1] = 7000;
    m.Run(100, 24000, 24000);
    EXPECT_EQ(m.averaged[0], 1);
    EXPECT_EQ(m.averaged[1], 1);
    EXPECT_EQ(m.points[0].y, kBase - 1);
    EXPECT_EQ(m.points[1].y, kBase - 1);
    EXPECT_EQ(m.points[2].y, kBase); // magnitude 0
}

struct HeightCase {
    uint16_t gain;
    int32_t magnitude;
    int32_t y;
};

// y = Trunc(Base − magnitude × Scale), Base 91, Scale = 0.04/(102 − gain)
// stored as a double (a hair above 0.04/101 and above 0.02). Values worked
// out with exact arithmetic; the cut is toward zero, also above the top.
const HeightCase kHeights[] = {
    {1, 101000, 50}, // 91 − 40.000…01
    {1, 2525, 89},   // 91 − 1.000…01
    {1, 100, 90},    {100, 10000, -109},
    {100, 4550, 0}, // 91 − 91.000…002 = −0.000…002, cut to 0, not −1
    {100, 4600, -1}, {100, 1, 90},
};

class HeightTable : public ::testing::TestWithParam<HeightCase> {};

TEST_P(HeightTable, MagnitudeToRow) {
    const HeightCase& c = GetParam();
    Mapping m;
    m.averaged[2] = c.magnitude;
    m.Run(c.gain, 24000, 24000);
    EXPECT_EQ(m.points[2].y, c.y);
}

INSTANTIATE_TEST_SUITE_P(Gains, HeightTable, ::testing::ValuesIn(kHeights));

// Invalid inputs a damaged settings file could bring: no division by zero,
// no infinity turned into an integer.
TEST(SpecToPoints, BadInputsStaySane) {
    Mapping reference;
    reference.averaged[2] = 1000;
    reference.Run(101, 24000, 24000);
    for (uint16_t gain : {102, 103, 500, 65535}) {
        Mapping m;
        m.averaged[2] = 1000;
        m.Run(gain, 24000, 24000);
        EXPECT_EQ(m.points[2].y, reference.points[2].y) << "gain " << gain;
    }
    // Bandwidth 0 and Nyquist 0 both give one column per bin; the mapping
    // stops at entry 511, which gets the base line.
    for (auto [nyquist, bandwidth] : {std::pair{24000, 0}, {0, 24000}}) {
        Mapping m;
        m.Run(50, static_cast<uint16_t>(nyquist), static_cast<uint16_t>(bandwidth));
        EXPECT_EQ(m.points[300].x, 300);
        EXPECT_EQ(m.points[510].x, 510);
        EXPECT_EQ(m.points[511].x, 511);
        EXPECT_EQ(m.points[511].y, kBase);
    }
}

// ---- AverageBuffers ----------------------------------------------------------

struct Averager {
    std::array<int32_t, kSpectrumSize> fft{}, accumulator{}, averaged{};
    int32_t Feed(int32_t value, uint16_t count) {
        fft.fill(value);
        AverageBuffers(fft.data(), accumulator.data(), averaged.data(), count);
        return averaged[7];
    }
};

TEST(AverageBuffers, CountTwoClimbsTowardsTheInput) {
    Averager a;
    const int32_t expected[] = {500, 750, 875, 937, 968, 984, 992, 996, 998, 999, 999, 999};
    for (int32_t e : expected)
        EXPECT_EQ(a.Feed(1000, 2), e);
}

TEST(AverageBuffers, CountTenSettlesJustBelowTheInput) {
    Averager a;
    for (int i = 0; i < 300; ++i)
        a.Feed(1000, 10);
    EXPECT_EQ(a.averaged[7], 999);
    EXPECT_EQ(a.accumulator[7], 8991);
}

TEST(AverageBuffers, LoweringTheCountKeepsTheOldSums) {
    Averager a;
    for (int i = 0; i < 3000; ++i)
        a.Feed(1000, 100);
    ASSERT_EQ(a.accumulator[7], 98901);
    for (int32_t e : {49950, 25475, 13237, 7118})
        EXPECT_EQ(a.Feed(1000, 2), e);
}

TEST(AverageBuffers, CountOneOrZeroCopiesAndLeavesTheSums) {
    for (uint16_t count : {0, 1}) {
        Averager a;
        a.accumulator.fill(4321);
        for (int i = 0; i < kSpectrumSize; ++i)
            a.fft[i] = i * 3 - 100;
        AverageBuffers(a.fft.data(), a.accumulator.data(), a.averaged.data(), count);
        EXPECT_EQ(a.averaged, a.fft);
        EXPECT_EQ(a.accumulator[0], 4321);
    }
}

// The average is worked out in double precision for counts below 2048 and in
// extended precision above; both must equal the extended-precision rule for
// any sum, including negative ones and the extremes.
TEST(AverageBuffers, MatchesTheExtendedPrecisionRule) {
    std::mt19937 rng(17);
    std::uniform_int_distribution<int32_t> value(-(1 << 30), 1 << 30);
    std::array<uint16_t, 12> counts = {2, 3, 7, 10, 99, 100, 1000, 2047, 2048, 2049, 30000, 65535};
    for (uint16_t count : counts) {
        Averager a;
        for (int i = 0; i < kSpectrumSize; ++i) {
            a.accumulator[i] = value(rng);
            a.fft[i] = value(rng);
        }
        a.fft[0] = 0;
        a.accumulator[0] = INT32_MAX;
        const auto before = a.accumulator;
        AverageBuffers(a.fft.data(), a.accumulator.data(), a.averaged.data(), count);
        for (int i = 0; i < kSpectrumSize; ++i) {
            const int32_t sum = before[i] + a.fft[i];
            const double avg = static_cast<double>(static_cast<long double>(sum) / count);
            ASSERT_EQ(a.averaged[i], static_cast<int32_t>(avg)) << count << ": " << sum;
            ASSERT_EQ(a.accumulator[i], static_cast<int32_t>(static_cast<long double>(sum) - avg))
                << count << ": " << sum;
        }
    }
}

} // namespace
