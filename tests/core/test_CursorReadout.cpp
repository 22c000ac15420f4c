#include "analysis/Spectrum.h"
#include "display/CursorReadout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

TEST(ColumnToFrequency, DividesThenMultiplies) {
    EXPECT_EQ(ColumnToFrequency(50, 2.0, 15.625), 390.625);
    EXPECT_EQ(ColumnToFrequency(512, 2.0001814223512335, 21.53125), 5511.500045351474);
    EXPECT_EQ(ColumnToFrequency(0, 4.0, 93.75), 0.0);
    EXPECT_EQ(ColumnToFrequency(100, 0.0, 15.625), 0.0); // no scale: no division by zero
}

TEST(CursorPosition, ValidationWrapsAndEndsDrags) {
    struct Case {
        int pos, width, expected;
        bool dragsCleared;
    };
    const Case cases[] = {
        {300, 512, 300, false}, {512, 512, 512, false}, {513, 512, 0, true},
        {-1, 512, 512, false},  {0, 512, 0, false},     {600, 400, 0, true},
    };
    for (const Case& c : cases) {
        bool mark = true, space = true;
        EXPECT_EQ(ValidateCursorPos(c.pos, c.width, mark, space), c.expected) << c.pos;
        EXPECT_EQ(mark, !c.dragsCleared) << c.pos;
        EXPECT_EQ(space, !c.dragsCleared) << c.pos;
    }
}

TEST(CursorPosition, DragIsHeldInsideTheDisplay) {
    EXPECT_EQ(ClampDragPosition(300, 512), 300);
    EXPECT_EQ(ClampDragPosition(-20, 512), 0);
    EXPECT_EQ(ClampDragPosition(552, 512), 512);
    EXPECT_EQ(ClampDragPosition(512, 512), 512);
}

struct FormatCase {
    double value;
    int precision;
    const char* text;
};

const FormatCase kFormats[] = {
    {12.5, 4, "12.5"},
    {25.0, 4, "25"},
    {6.25, 4, "6.25"},
    {80.0, 6, "80"},
    {12.625, 4, "12.63"},   // exactly half in binary: away from zero
    {-12.625, 4, "-12.63"}, // and keeps its sign
    {0.125, 2, "0.13"},
    {2.675, 3, "2.67"},    // really 2.67499999…: below the half
    {0.1 + 0.2, 4, "0.3"}, // 0.30000000000000004
    {0.1 + 0.2, 17, "0.30000000000000004"},
    {1000.0 / 3.0, 6, "333.333"},
    {1234.0, 4, "1234"},
    {12345.0, 4, "1.235E+04"}, // five integer digits for four: scientific
    {9999.5, 4, "1E+04"},      // rounds up to five digits
    {999.95, 4, "1000"},       // 999.950000000000045…: up, still four digits
    {0.0001, 4, "0.0001"},
    {0.00009999, 4, "9.999E-05"},
    {0.000099996, 4, "0.0001"}, // the rounded value decides
    {1e-300, 4, "1E-300"},
    {-2.5e7, 6, "-2.5E+07"},
    {0.0, 4, "0"},
    {-0.0, 4, "0"},
    {1.0, 1, "1"},
    {15.0, 1, "2E+01"},
};

class FormatTable : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTable, GeneralNumberFormat) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(FormatGeneral(c.value, c.precision, "."), c.text);
}

INSTANTIATE_TEST_SUITE_P(Values, FormatTable, ::testing::ValuesIn(kFormats));

TEST(FormatGeneral, DecimalCommaAndSpecialValues) {
    EXPECT_EQ(FormatGeneral(12.5, 4, ","), "12,5");
    EXPECT_EQ(FormatGeneral(1.5e-7, 4, ","), "1,5E-07");
    EXPECT_EQ(FormatGeneral(123456.0, 4, "\u066B"), "1\u066B235E+05"); // Arabic's, two bytes
    EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::infinity(), 4, "."), "INF");
    EXPECT_EQ(FormatGeneral(-std::numeric_limits<double>::infinity(), 4, "."), "-INF");
    EXPECT_EQ(FormatGeneral(std::nan(""), 4, "."), "NAN");
    // Subnormals too.
    EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::denorm_min(), 4, "."), "4.941E-324");
}

TEST(FrequencyReadout, SpectrumAt8000WithFullBandwidth) {
    const auto texts = FrequencyReadout(50, 100, 2.0, 15.625);
    ASSERT_TRUE(texts.has_value());
    EXPECT_EQ(texts->caption, "Shift");
    EXPECT_EQ(texts->mark, "390"); // 390.625 cut
    EXPECT_EQ(texts->space, "781");
    EXPECT_EQ(texts->shift, "390"); // |390.625 − 781.25|, not 781 − 390
}

TEST(FrequencyReadout, ShiftComesFromTheUnroundedFrequencies) {
    // 11025/s, full bandwidth: columns 3 and 1 are 32.29… and 10.76… Hz;
    // 32 − 10 would be 22, the true distance is 21.53….
    const auto texts = FrequencyReadout(3, 1, 2.0001814223512335, 21.53125);
    ASSERT_TRUE(texts.has_value());
    EXPECT_EQ(texts->mark, "32");
    EXPECT_EQ(texts->space, "10");
    EXPECT_EQ(texts->shift, "21");
}

TEST(FrequencyReadout, NoScaleLeavesTheReadOut) {
    EXPECT_FALSE(FrequencyReadout(50, 100, 0.0, 15.625).has_value());
    EXPECT_FALSE(FrequencyReadout(50, 100, -2.0, 15.625).has_value());
    EXPECT_FALSE(FrequencyReadout(50, 100, std::nan(""), 15.625).has_value());
    EXPECT_FALSE(
        FrequencyReadout(50, 100, std::numeric_limits<double>::infinity(), 15.625).has_value());
}

struct TimeCase {
    uint16_t mark, space, nyquist;
    bool triggered;
    char separator;
    const char *markText, *spaceText, *shiftText;
};

const TimeCase kTimes[] = {
    {100, 200, 4000, false, '.', "12.5", "25", "80"},
    {100, 200, 4000, true, '.', "6.25", "12.5", "160"},
    {100, 200, 4000, false, ',', "12,5", "25", "80"},
    {150, 150, 4000, false, '.', "18.75", "18.75", "0"},
    {0, 0, 24000, false, '.', "0", "0", "0"},
    // 48000/s: 1/48 ms per column; 3 columns = 0.0625 ms = 16 kHz.
    {1, 4, 24000, false, '.', "0.02083", "0.08333", "16000"},
    // 11025/s: 500/5512 ms per column.
    {7, 512, 5512, false, '.', "0.635", "46.44", "21.8297"},
    {65535, 0, 4000, false, '.', "8192", "0", "0.122072"},
    // German users saw "3,,13", "Freq 3,2", "6,,25" at 8000/s and "0,5,21" at 48000/s.
    {25, 0, 4000, false, ',', "3,125", "0", "320"},
    {100, 0, 4000, true, ',', "6,25", "0", "160"},
    {25, 0, 24000, false, ',', "0,5208", "0", "1920"},
};

class TimeTable : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeTable, WaveformReadOut) {
    const TimeCase& c = GetParam();
    const CursorTexts t = TimeReadout(c.mark, c.space, c.nyquist, c.triggered, {&c.separator, 1});
    EXPECT_EQ(t.caption, "Freq ");
    EXPECT_EQ(t.mark, c.markText);
    EXPECT_EQ(t.space, c.spaceText);
    EXPECT_EQ(t.shift, c.shiftText);
}

INSTANTIATE_TEST_SUITE_P(Cursors, TimeTable, ::testing::ValuesIn(kTimes));

TEST(TimeReadout, NoNyquistGivesZeros) {
    const CursorTexts t = TimeReadout(100, 200, 0, false, ".");
    EXPECT_EQ(t.caption, "Freq ");
    EXPECT_EQ(t.mark, "0");
    EXPECT_EQ(t.space, "0");
    EXPECT_EQ(t.shift, "0");
}

} // namespace

namespace {

// The snapshot's lines use the read-out's whole hertz, also where cutting
// the extended quotient would give one less (column 256 at 8000/s and
// 2002 Hz: 1000.99999999999996… in 80 bits, 1001 as a double).
TEST(SnapshotAnnotation, LinesCarryTheRateAndTheReadOutsFrequencies) {
    struct Case {
        uint16_t rate, bandwidth, mark, space;
        const char *markText, *spaceText;
    };
    const Case cases[] = {
        {8000, 4000, 50, 100, "Cursor: 390", "Cursor: 781"},
        {8000, 2002, 256, 512, "Cursor: 1001", "Cursor: 2002"},
        {48000, 24000, 0, 512, "Cursor: 0", "Cursor: 24000"},
    };
    for (const Case& c : cases) {
        const FrequencyScale scale = ComputeScale(c.rate, c.bandwidth);
        const AnnotationTexts texts =
            SnapshotAnnotation(c.rate, c.mark, c.space, scale.ZoomRatio, scale.BinWidth);
        EXPECT_EQ(texts.rate, "Rate  : " + std::to_string(c.rate));
        EXPECT_EQ(texts.mark, c.markText) << c.rate << "/" << c.bandwidth;
        EXPECT_EQ(texts.space, c.spaceText) << c.rate << "/" << c.bandwidth;
        // Never other than the read-out row beside it.
        const auto readout = FrequencyReadout(c.mark, c.space, scale.ZoomRatio, scale.BinWidth);
        ASSERT_TRUE(readout.has_value());
        EXPECT_EQ(texts.mark, "Cursor: " + readout->mark);
        EXPECT_EQ(texts.space, "Cursor: " + readout->space);
    }
    // The literal reading cuts the extended value: here it would be 1000.
    const FrequencyScale s = ComputeScale(8000, 2002);
    EXPECT_EQ(std::trunc(256.0L / s.ZoomRatio * s.BinWidth), 1000.0L);
    // No valid scale: the frequencies read 0.
    EXPECT_EQ(SnapshotAnnotation(8000, 50, 100, 0.0, 15.625).mark, "Cursor: 0");
}

} // namespace
