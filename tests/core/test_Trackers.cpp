#include "analysis/Spectrum.h"
#include "analysis/Trackers.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

namespace {

struct TrackCase {
    const char* name;
    std::vector<std::pair<int, int32_t>> bins; // all others 0
    uint16_t nyquist, bandwidth;
    uint16_t fskMark, fskSpace, cwMark;
};

// Scale = Nyquist / (Bandwidth / 2): 2 at 4000/4000, 4 at 4000/2000.
const TrackCase kCases[] = {
    {"TwoTones", {{20, 1000}, {30, 800}}, 4000, 4000, 40, 60, 40},
    {"TwoTonesSwapped", {{20, 800}, {30, 1000}}, 4000, 4000, 40, 60, 60},
    {"ThreeTonesTakeTheTwoStrongest", {{20, 800}, {30, 1000}, {40, 900}}, 4000, 4000, 60, 80, 60},
    {"SingleToneLeavesMarkAtZero", {{25, 500}}, 4000, 4000, 0, 50, 50},
    // B = C = 20: the candidate restarts at the second peak's bin, whose
    // equal level then counts as the best once more.
    {"EqualTonesBothOnTheLower", {{20, 1000}, {30, 1000}}, 4000, 4000, 40, 40, 40},
    {"RiseToTheLastBinIsNoPeak", {{20, 100}, {256, 5000}}, 4000, 4000, 0, 40, 40},
    {"BinsZeroAndOneNeverCount", {{0, 99999}, {1, 99999}, {30, 10}}, 4000, 4000, 0, 60, 60},
    {"FlatTopCountsItsFirstBin", {{30, 7}, {31, 7}, {32, 7}}, 4000, 4000, 0, 60, 60},
    {"NothingAtAll", {}, 4000, 4000, 0, 0, 0},
    // Beyond the displayed range: the column is not held to the width.
    {"ScaleFour", {{200, 70}, {10, 60}}, 4000, 2000, 40, 800, 800},
    // 4000/1088 is stored just below 3.6764705882…, so 51 × Scale lies just
    // below 187.5 in extended precision and gives 187 (a double product
    // would reach 187.5 and round to 188).
    {"ExtendedProduct", {{51, 9}, {119, 8}}, 4000, 2176, 187, 437, 187},
    {"HalvesToEven", {{3, 5}, {5, 4}}, 24000, 19200, 8, 12, 8}, // 7.5 → 8, 12.5 → 12
    {"NoBandwidthMeansOneColumnPerBin", {{30, 9}, {40, 5}}, 4000, 0, 30, 40, 30},
};

class Trackers : public ::testing::TestWithParam<TrackCase> {};

TEST_P(Trackers, CursorsGoToTheStrongestPeaksColumns) {
    const TrackCase& c = GetParam();
    std::array<int32_t, kSpectrumSize> spectrum{};
    for (auto [bin, magnitude] : c.bins)
        spectrum[bin] = magnitude;
    spectrum[300] = 1 << 30; // past bin 256: never looked at

    std::array<int32_t, kSpectrumSize> s = spectrum;
    uint16_t mark = 7777, space = 7777;
    TrackPoints(s.data(), c.nyquist, c.bandwidth, mark, space);
    EXPECT_EQ(mark, c.fskMark);
    EXPECT_EQ(space, c.fskSpace);
    EXPECT_EQ(s[0], 0);
    EXPECT_EQ(s[1], 0);

    s = spectrum;
    mark = 7777;
    space = 7777;
    TrackCWPoints(s.data(), c.nyquist, c.bandwidth, mark);
    EXPECT_EQ(mark, c.cwMark);
    EXPECT_EQ(space, 7777) << "CW leaves the space cursor alone";
    EXPECT_EQ(s[0], 0);
    EXPECT_EQ(s[1], 0);
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, Trackers, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A tracked cursor lands exactly on its bin's point in the spectrum view, for
// every bin on screen and every kind of step.
TEST(Trackers, ColumnOfABinIsTheColumnOfItsPoint) {
    const std::pair<uint16_t, uint16_t> scales[] = {{4000, 4000},   {4000, 2000},   {4000, 2176},
                                                    {4000, 2887},   {5512, 5512},   {5512, 2756},
                                                    {24000, 19200}, {22050, 13001}, {11025, 7777}};
    for (auto [nyquist, bandwidth] : scales) {
        std::array<int32_t, kSpectrumSize> spectrum{};
        std::array<DisplayPoint, kSpectrumSize> points{};
        SpecToPoints(spectrum.data(), 93, 1, nyquist, bandwidth, points.data());
        for (uint16_t bin = 0; bin < 256 && points[bin].x <= 511; ++bin)
            ASSERT_EQ(BinToColumn(bin, nyquist, bandwidth), points[bin].x)
                << nyquist << "/" << bandwidth << " bin " << bin;
    }
}

} // namespace
