#include "analysis/Waveform.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

namespace {

using Block = std::array<int16_t, kWaveBlockSize>;
using Points = std::array<DisplayPoint, kWaveBlockSize>;

// {height, gain, sample, y}, worked out with exact arithmetic from VScale =
// |(0.01 − G) · 64/65535| and Mid = H/2 − G/4, both kept as doubles.
const int kLevels[][4] = {{93, 1, 0, 46},     {93, 1, 1000, 45},       {93, 1, -1000, 47},
                          {93, 1, 32767, 14}, {93, 1, -32768, 77},     {93, 100, 0, 21},
                          {92, 3, 0, 45},     {93, 100, 32767, -3178}, {93, 100, -32768, 3221}};

// Untriggered, sample i lands on column i; sample 0 and entry 0 stay out.
TEST(Waveform, EverySampleLandsOnItsColumnAtItsRow) {
    for (auto [height, gain, sample, y] : kLevels) {
        Block block;
        block.fill(static_cast<int16_t>(sample));
        block[0] = 12345;
        Points points;
        points[0] = {-7, -7};
        SineToPoints(block.data(), height, static_cast<uint16_t>(gain), false, points.data());
        EXPECT_EQ(points[0].y, -7);
        for (int i = 1; i < kWaveBlockSize; ++i)
            ASSERT_TRUE(points[i].x == i && points[i].y == y) << sample << " at " << i;
    }
}

struct TriggerCase {
    const char* name;
    std::vector<std::pair<int, int16_t>> samples; // on a background of negative samples
    int at;                                       // where the trace must start
    int32_t firstY;                               // the row of that sample at gain 100
};

const TriggerCase kTriggers[] = {
    {"HighestWins", {{40, 900}, {41, 1000}, {200, 2000}}, 200, -173},
    {"EarliestOfEqualPeaks", {{10, 3000}, {100, 3000}}, 10, -271},
    {"LastSearchedSample", {{255, 5}}, 255, 21},
    {"SampleZeroIsNoCandidate", {{0, 30000}, {7, 100}}, 7, 11},
    {"NoCandidatePastTheFirstHalf", {{256, 30000}, {400, 30000}, {3, 10}}, 3, 20},
    {"NothingAboveZeroStartsAtSampleZero", {{0, 20000}, {300, 30000}, {5, 0}}, 0, -1931},
};

class Trigger : public ::testing::TestWithParam<TriggerCase> {};

// The triggered trace shows samples at … at + 255 two columns apart, each on
// the row the untriggered mapping gives it, then holds the zero line at column
// 512. The background changes by about ten pixels from sample to sample, so a
// trace that starts anywhere else shows.
TEST_P(Trigger, TraceStartsAtTheFirstHighestSampleOfTheFirstHalf) {
    Block block;
    for (int i = 0; i < kWaveBlockSize; ++i)
        block[i] = static_cast<int16_t>(-1 - (i * 97) % 3000);
    for (auto [i, v] : GetParam().samples)
        block[i] = v;
    Points plain, trig;
    SineToPoints(block.data(), 93, 100, false, plain.data());
    SineToPoints(block.data(), 93, 100, true, trig.data());
    const int at = GetParam().at;
    EXPECT_EQ(trig[0].x, 0);
    EXPECT_EQ(trig[0].y, GetParam().firstY);
    for (int j = 1; j < 256; ++j) {
        ASSERT_EQ(trig[j].x, 2 * j);
        ASSERT_EQ(trig[j].y, plain[at + j].y) << "point " << j;
    }
    for (int j = 256; j < kWaveBlockSize; ++j) {
        ASSERT_EQ(trig[j].x, 512);
        ASSERT_EQ(trig[j].y, 21); // Trunc(Mid) = Trunc(21.5)
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Trigger, ::testing::ValuesIn(kTriggers),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
