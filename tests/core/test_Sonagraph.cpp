#include "analysis/Sonagraph.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

constexpr uint32_t kOld = 0x12345678; // anything a row writer could not write
constexpr int kWidth = 512;

uint8_t level(uint32_t pixel) {
    return static_cast<uint8_t>(pixel);
}

bool isGrey(uint32_t pixel) {
    return pixel == SonaPixel(level(pixel));
}

struct GreyCase {
    int height;
    int32_t y;
    uint8_t level;
};

// The base line of a zero magnitude is two rows above the bottom.
const GreyCase kGreys[] = {
    {93, 91, 253},         // zero magnitude: nearly white
    {93, 90, 252},         // one pixel higher, one level darker
    {300, 45, 0},          // 253 pixels above the base line: black
    {300, 44, 255},        // 254 pixels above it: white again
    {600, 342, 253},       // 256 pixels higher than a zero: the levels repeat
    {93, 93, 255},         // on the bottom row
    {93, 94, 0},           // below the picture: 65536 wraps to 0
    {93, 93 - 70000, 113}, // |65535 − 70000| = 4465
};

TEST(Sonagraph, GreyLevels) {
    for (const GreyCase& c : kGreys)
        EXPECT_EQ(SonaGreyLevel(c.height, c.y), c.level) << c.height << ", " << c.y;
    EXPECT_EQ(SonaPixel(0x7F), 0xFF7F7F7Fu);
}

// 511 points, the first ones given, the rest two columns apart beyond the
// last column so that they stop the row.
std::array<DisplayPoint, kSonaHigh + 1> Points(std::vector<DisplayPoint> first) {
    std::array<DisplayPoint, kSonaHigh + 1> p{};
    for (int k = 0; k <= kSonaHigh; ++k)
        p[k] = k < static_cast<int>(first.size()) ? first[k] : DisplayPoint{600 + 2 * k, 0};
    return p;
}

std::vector<uint32_t> Row() {
    return std::vector<uint32_t>(kWidth, kOld);
}

// The Step rule: two columns between points whose rows differ by 5 get
// Trunc(5 / 2) = 2 per column; the value carries on from the point's own and
// keeps its sum, so the next point's value is not met.
TEST(Sonagraph, InBetweenColumnsStepFromThePointsValue) {
    std::vector<uint32_t> row = Row();
    // Levels: (10, 80) is 255 − 13 = 242; step +2; (13, 85) is 247; no column
    // between 13 and 14 (step 0); (14, 60) is 222, then −3 per column
    // (Trunc(−10 / 3)) over 15, 16, 17; (18, 50) stops the row when the last
    // column is 20: the point before it is not written either.
    const auto p = Points({{10, 80}, {13, 85}, {14, 60}, {18, 50}, {21, 50}});
    DrawSonaRow(row.data(), p.data(), 93, 20);
    const std::vector<int> expected = {242, 244, 246, 247, 222, 219, 216, 213};
    for (int c = 10; c < 18; ++c) {
        ASSERT_TRUE(isGrey(row[c])) << c;
        EXPECT_EQ(level(row[c]), expected[c - 10]) << "column " << c;
    }
    for (int c : {0, 9, 18, 19, 20, 21})
        EXPECT_EQ(row[c], kOld) << "column " << c;
}

// The worked example said a block of silence writes 253 into every written
// column; the spectrum points force bins 0 and 1 to magnitude 1, so the first
// point (bin 1) lies one row higher and its column gets 252, and the column
// after it steps up by one to 253. The loop's condition also leaves the point
// just before the first one at or past the last column unwritten.
TEST(Sonagraph, SilenceAtFullBandwidth) {
    std::array<DisplayPoint, kSonaHigh + 1> p;
    // 2 columns per bin: point k (bin k + 1) at column 2k + 2; zero magnitude
    // at row 91, bin 1 at row 90.
    for (int k = 0; k <= kSonaHigh; ++k)
        p[k] = {std::min(2 * k + 2, 512), 91};
    p[0].y = 90;
    std::vector<uint32_t> row = Row();
    DrawSonaRow(row.data(), p.data(), 93, kWidth - 1);
    EXPECT_EQ(row[0], kOld);
    EXPECT_EQ(row[1], kOld);
    EXPECT_EQ(level(row[2]), 252);
    for (int c = 3; c <= 509; ++c)
        ASSERT_EQ(row[c], SonaPixel(253)) << "column " << c;
    for (int c = 510; c < kWidth; ++c)
        EXPECT_EQ(row[c], kOld) << "column " << c;
}

// Points that no spectrum produces (left of the picture, backwards, far
// beyond) write nothing outside columns 0 … last column − 1.
TEST(Sonagraph, RowStaysInsideThePicture) {
    std::vector<uint32_t> row(kWidth + 2, kOld);
    const auto p = Points({{-1000, 10}, {3, 10}, {12, 10}, {2, 40}, {9, 40}});
    DrawSonaRow(row.data() + 1, p.data(), 93, 8);
    EXPECT_EQ(row[0], kOld);
    for (int c = 9; c < kWidth + 2; ++c)
        ASSERT_EQ(row[c], kOld) << c;
    EXPECT_TRUE(isGrey(row[1])); // column 0, reached from the left
}

struct Picture {
    int width, height, stride;
    std::vector<uint32_t> pixels;
    Picture(int w, int h) : width(w), height(h), stride(w + 3), pixels(stride * h) {
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < stride; ++c)
                at(r, c) = static_cast<uint32_t>(r * 1000 + c);
    }
    uint32_t& at(int r, int c) { return pixels[static_cast<size_t>(r * stride + c)]; }
};

// Flow: the new row stands in rows 0 and 1, everything else moved down two
// rows; the last column and the two bottom rows' old content are neither
// moved nor kept.
TEST(Sonagraph, FlowMovesThePictureDownTwoRows) {
    Picture pic(40, 12);
    Picture old = pic;
    const auto p = Points({{4, 50}, {6, 50}, {50, 0}});
    uint16_t sweepRow = 7;
    DrawSonagraph(pic.pixels.data(), pic.width, pic.height, pic.stride, p.data(), kSonaHigh,
                  pic.width - 1, true, true, sweepRow);
    EXPECT_EQ(sweepRow, 7);
    const int last = pic.width - 1;
    for (int r = 0; r < 2; ++r) {
        EXPECT_EQ(pic.at(r, 4), SonaPixel(SonaGreyLevel(12, 50)));
        EXPECT_EQ(pic.at(r, 5), SonaPixel(SonaGreyLevel(12, 50)));
        EXPECT_EQ(pic.at(r, 3), old.at(0, 3)) << "unwritten columns come from the old row 0";
        EXPECT_EQ(pic.at(r, 6), old.at(0, 6));
    }
    for (int r = 2; r < pic.height; ++r)
        for (int c = 0; c < last; ++c)
            ASSERT_EQ(pic.at(r, c), old.at(r - 2, c)) << r << ", " << c;
    for (int r = 0; r < pic.height; ++r)
        for (int c = last; c < pic.stride; ++c)
            ASSERT_EQ(pic.at(r, c), old.at(r, c)) << r << ", " << c;
}

// Sweep: H rows from row 0 write every row once and end back at row 0; a
// write position outside the picture starts again at row 0. With neither
// Flow nor Sweep nothing is written.
TEST(Sonagraph, SweepWritesEachRowOnceAPass) {
    Picture pic(20, 6);
    const auto p = Points({{0, 3}, {1, 3}, {30, 3}});
    uint16_t sweepRow = 0;
    for (int call = 0; call < pic.height; ++call) {
        ASSERT_EQ(sweepRow, call);
        ASSERT_NE(pic.at(call, 0), SonaPixel(SonaGreyLevel(6, 3)));
        DrawSonagraph(pic.pixels.data(), pic.width, pic.height, pic.stride, p.data(), kSonaHigh,
                      pic.width - 1, false, true, sweepRow);
        ASSERT_EQ(pic.at(call, 0), SonaPixel(SonaGreyLevel(6, 3)));
        ASSERT_EQ(pic.at(call, 1), 1000u * call + 1) << "only the point's own column";
    }
    EXPECT_EQ(sweepRow, 0);
    sweepRow = 6;
    DrawSonagraph(pic.pixels.data(), pic.width, pic.height, pic.stride, p.data(), kSonaHigh,
                  pic.width - 1, false, true, sweepRow);
    EXPECT_EQ(sweepRow, 1);

    const std::vector<uint32_t> before = pic.pixels; // neither mode: nothing happens
    DrawSonagraph(pic.pixels.data(), pic.width, pic.height, pic.stride, p.data(), kSonaHigh,
                  pic.width - 1, false, false, sweepRow);
    EXPECT_EQ(pic.pixels, before);
    EXPECT_EQ(sweepRow, 1);
}

} // namespace
