#include "analysis/Sonagraph.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

constexpr uint32_t kOld = 0x12345678; // nothing a row writer writes
using Row = std::vector<uint32_t>;

// 511 points: the given ones, then points past any last column used here.
std::array<DisplayPoint, kSonaHigh + 1> Points(std::vector<DisplayPoint> first) {
    std::array<DisplayPoint, kSonaHigh + 1> p{};
    for (int k = 0; k <= kSonaHigh; ++k)
        p[k] = k < static_cast<int>(first.size()) ? first[k] : DisplayPoint{600 + k, 0};
    return p;
}

TEST(Sonagraph, GreyLevelsWrapEvery256Pixels) {
    // {height, y, level}; a zero magnitude lies at height − 2.
    const int cases[][3] = {{93, 91, 253},   {93, 90, 252}, {300, 45, 0},         {300, 44, 255},
                            {600, 342, 253}, {93, 94, 0},   {93, 93 - 70000, 113}};
    for (auto [height, y, level] : cases)
        EXPECT_EQ(SonaGreyLevel(height, y), level) << height << ", " << y;
    EXPECT_EQ(SonaPixel(0x7F), 0xFF7F7F7Fu);
}

// (10, 80) is 242; two columns to (13, 85) step by Trunc(5 / 2) = 2 from the
// point's own value, so 13's 247 is not met; (14, 60) follows 13 with no
// column between; then Trunc(−10 / 3) = −3 per column. (18, 50) is the point
// before the first one past the last column (20): neither it nor anything
// after it is written. Odd points write nothing outside the picture.
TEST(Sonagraph, RowStepsBetweenPointsAndStopsBeforeTheLastColumn) {
    Row row(32, kOld);
    auto p = Points({{10, 80}, {13, 85}, {14, 60}, {18, 50}, {21, 50}});
    DrawSonaRow(row.data(), p.data(), 93, 20);
    const int expected[] = {242, 244, 246, 247, 222, 219, 216, 213};
    for (int c = 0; c < 32; ++c)
        EXPECT_EQ(row[c], c >= 10 && c < 18 ? SonaPixel(expected[c - 10]) : kOld) << c;

    Row guarded(34, kOld); // one guard pixel either side
    p = Points({{-1000, 10}, {3, 10}, {12, 10}, {2, 40}, {9, 40}});
    DrawSonaRow(guarded.data() + 1, p.data(), 93, 8);
    for (int c : {0, 10, 13, 33})
        EXPECT_EQ(guarded[c], kOld) << c;
}

// The worked example says a block of silence writes 253 into every written
// column; but the spectrum points force bins 0 and 1 to magnitude 1, so the
// first point (bin 1) lies one row higher and its column gets 252, the next
// column steps up to 253. By the loop's condition the point just before the
// first one at or past the last column (510, before 512) is not written.
TEST(Sonagraph, SilenceAtFullBandwidth) {
    std::array<DisplayPoint, kSonaHigh + 1> p;
    for (int k = 0; k <= kSonaHigh; ++k)
        p[k] = {std::min(2 * k + 2, 512), k == 0 ? 90 : 91};
    Row row(512, kOld);
    DrawSonaRow(row.data(), p.data(), 93, 511);
    for (int c = 0; c < 512; ++c)
        ASSERT_EQ(row[c], c < 2 || c > 509 ? kOld : SonaPixel(c == 2 ? 252 : 253)) << c;
}

struct Picture {
    int width, height, stride;
    std::vector<uint32_t> pixels;
    Picture(int w, int h) : width(w), height(h), stride(w + 3), pixels(stride * h) {
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint32_t>(i);
    }
    uint32_t at(int r, int c) const { return pixels[static_cast<size_t>(r * stride + c)]; }
    void draw(const DisplayPoint* p, bool flow, bool sweep, uint16_t& sweepRow) {
        DrawSonagraph(pixels.data(), width, height, stride, p, kSonaHigh, width - 1, flow, sweep,
                      sweepRow);
    }
};

// Flow: the new row stands in rows 0 and 1 (the columns it does not write
// come from the old row 0), row r's old content in row r + 2; the last column
// is neither moved nor written.
TEST(Sonagraph, FlowMovesThePictureDownTwoRows) {
    Picture pic(40, 12);
    const Picture old = pic;
    const auto p = Points({{4, 50}, {6, 50}, {50, 0}});
    uint16_t sweepRow = 7;
    pic.draw(p.data(), true, true, sweepRow);
    EXPECT_EQ(sweepRow, 7);
    for (int r = 0; r < pic.height; ++r)
        for (int c = 0; c < pic.stride; ++c) {
            const bool written = r < 2 && (c == 4 || c == 5);
            const uint32_t want = written   ? SonaPixel(SonaGreyLevel(12, 50))
                                  : c >= 39 ? old.at(r, c)
                                            : old.at(std::max(r - 2, 0), c);
            ASSERT_EQ(pic.at(r, c), want) << r << ", " << c;
        }
}

// Sweep: from row 0, H rows write every row once and end back at row 0; a
// row outside the picture counts as 0; neither mode writes nothing.
TEST(Sonagraph, SweepWritesEachRowOnceAPass) {
    Picture pic(20, 6);
    const auto p = Points({{0, 3}, {1, 3}});
    uint16_t sweepRow = 0;
    for (int call = 0; call < pic.height; ++call) {
        ASSERT_EQ(sweepRow, call);
        pic.draw(p.data(), false, true, sweepRow);
        ASSERT_EQ(pic.at(call, 0), SonaPixel(SonaGreyLevel(6, 3)));
        ASSERT_NE(pic.at(call, 1), SonaPixel(SonaGreyLevel(6, 3)));
    }
    EXPECT_EQ(sweepRow, 0);
    sweepRow = 6;
    pic.draw(p.data(), false, true, sweepRow);
    EXPECT_EQ(sweepRow, 1);
    const auto before = pic.pixels;
    pic.draw(p.data(), false, false, sweepRow);
    EXPECT_EQ(pic.pixels, before);
    EXPECT_EQ(sweepRow, 1);
}

} // namespace
