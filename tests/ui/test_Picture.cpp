#include "analysis/Spectrum.h"
#include "display/Picture.h"

#include <QImage>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <initializer_list>
#include <vector>

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kGreen = 0xFF008000;
constexpr QRgb kRed = 0xFFFF0000;

QImage DisplayPicture() {
    QImage picture(512, 93, QImage::Format_RGB32);
    picture.fill(0xFF123456); // anything but white
    return picture;
}

int CountColour(const QImage& picture, QRgb colour) {
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            count += picture.pixel(x, y) == colour;
    return count;
}

TEST(Picture, ClearMakesEveryPixelWhite) {
    QImage picture = DisplayPicture();
    ClearPicture(picture);
    EXPECT_EQ(CountColour(picture, kWhite), 512 * 93);
}

// Only the given top-left area is whitened, clipped to the picture, and the
// answer says whether that changed anything.
TEST(Picture, ClearAreaWhitensItsRectangleAndTellsWhetherAnythingChanged) {
    QImage picture = DisplayPicture();
    EXPECT_TRUE(ClearPictureArea(picture, 600, 10)); // wider than the picture
    EXPECT_EQ(CountColour(picture, kWhite), 512 * 10);
    EXPECT_EQ(picture.pixel(511, 9), kWhite);
    EXPECT_EQ(picture.pixel(0, 10), 0xFF123456u);
    EXPECT_FALSE(ClearPictureArea(picture, 512, 10)); // white already
    picture.setPixel(300, 4, kGreen);
    EXPECT_TRUE(ClearPictureArea(picture, 512, 10));
    EXPECT_FALSE(ClearPictureArea(picture, 0, 93));
}

// A flat spectrum with one peak at bin 100: at full bandwidth (2 columns per
// bin) the peak stands at column 200 and reaches row 10.
TEST(Picture, TraceIsBlueAndPeaksAtItsColumn) {
    std::array<int32_t, kSpectrumSize> averaged{};
    averaged[100] = 4000; // Trunc(91 − 4000 × 0.02000…04) = Trunc(10.99…) = 10
    std::array<DisplayPoint, kSpectrumSize> points{};
    SpecToPoints(averaged.data(), 93, 100, 24000, 24000, points.data());
    ASSERT_EQ(points[100].x, 200);
    ASSERT_EQ(points[100].y, 10);

    QImage picture = DisplayPicture();
    ClearPicture(picture);
    DrawSpectrumTrace(picture, points.data(), 1, kSpectrumSize - 1);
    EXPECT_EQ(picture.pixel(200, 10), kBlue);
    EXPECT_EQ(picture.pixel(200, 9), kWhite); // nothing above the peak
    EXPECT_EQ(picture.pixel(100, 91), kBlue); // the base line
    EXPECT_EQ(picture.pixel(100, 90), kWhite);
    EXPECT_EQ(picture.pixel(100, 92), kWhite);
    EXPECT_EQ(picture.pixel(511, 91), kBlue); // up to the right edge
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 512; ++x)
            ASSERT_EQ(picture.pixel(x, y), kWhite) << x << ", " << y;
    // Only blue and white: one pixel wide, no antialiasing.
    EXPECT_EQ(CountColour(picture, kBlue) + CountColour(picture, kWhite), 512 * 93);
}

TEST(Picture, TraceLeavesOutEntryZero) {
    std::array<DisplayPoint, kSpectrumSize> points{};
    for (int i = 0; i < kSpectrumSize; ++i)
        points[i] = {i, 50};
    points[0] = {0, 0}; // would draw a slope from the top-left corner
    QImage picture = DisplayPicture();
    ClearPicture(picture);
    DrawSpectrumTrace(picture, points.data(), 1, kSpectrumSize - 1);
    EXPECT_EQ(picture.pixel(0, 0), kWhite);
    EXPECT_EQ(picture.pixel(0, 25), kWhite);
    EXPECT_EQ(picture.pixel(1, 50), kBlue);
}

QImage TraceOf(std::initializer_list<DisplayPoint> polyline) {
    const std::vector<DisplayPoint> points(polyline);
    QImage picture = DisplayPicture();
    ClearPicture(picture);
    DrawSpectrumTrace(picture, points.data(), 0, static_cast<int>(points.size()) - 1);
    return picture;
}

// As a GDI polyline: each segment up to but not including its end point, so
// a corner is drawn once and the last point not at all.
TEST(Picture, TraceLeavesOutItsLastPoint) {
    const QImage corner = TraceOf({{10, 10}, {20, 10}, {20, 20}});
    EXPECT_EQ(corner.pixel(10, 10), kBlue);
    EXPECT_EQ(corner.pixel(20, 10), kBlue); // the corner, as the second segment's start
    EXPECT_EQ(corner.pixel(20, 19), kBlue);
    EXPECT_EQ(corner.pixel(20, 20), kWhite);
    EXPECT_EQ(CountColour(corner, kBlue), 20);

    const QImage steep = TraceOf({{5, 0}, {8, 9}}); // one pixel per row, 9 rows
    EXPECT_EQ(CountColour(steep, kBlue), 9);
    EXPECT_EQ(steep.pixel(5, 0), kBlue);
    EXPECT_EQ(steep.pixel(8, 8), kBlue); // 8 − 1/3 rounds to 8
    EXPECT_EQ(steep.pixel(8, 9), kWhite);

    EXPECT_EQ(CountColour(TraceOf({{30, 30}, {30, 30}}), kBlue), 0); // no length
}

// Segments reaching outside the 512 x 93 picture keep exactly their inside
// pixels; far-away ends cost nothing and wrap nowhere.
TEST(Picture, TraceIsClippedToThePicture) {
    struct Case {
        DisplayPoint a, b;
        int blue; // pixels inside
    };
    const Case cases[] = {
        {{-100, 50}, {600, 50}, 512},              // across the whole width
        {{10, -2000000000}, {10, 2000000000}, 93}, // down the whole height
        {{-2000000000, -5}, {2000000000, -5}, 0},  // above the picture
        {{-1000000, -1000000}, {-5, 3}, 0},        // left of it
        {{520, 0}, {900, 92}, 0},                  // right of it
        {{0, 92}, {511, 92}, 511},                 // bottom row, end left out
        {{511, 0}, {511, 200}, 93},                // right column
        {{-2147483647, 0}, {2147483647, 92}, 512}, // shallow through all of it
    };
    for (const Case& c : cases) {
        const QImage picture = TraceOf({c.a, c.b});
        EXPECT_EQ(CountColour(picture, kBlue), c.blue)
            << c.a.x << ", " << c.a.y << " to " << c.b.x << ", " << c.b.y;
    }
    // Along the diagonal-ish line from (-100, 0) to (412, 93) every column from
    // 0 on holds the pixel nearest the true line.
    const QImage slope = TraceOf({{-100, 0}, {412, 93}});
    for (int x = 0; x < 412; ++x) {
        const double y = (x + 100) * 93.0 / 512.0;
        const int nearest = static_cast<int>(std::floor(y + 0.5));
        if (nearest >= 93) continue;
        ASSERT_EQ(slope.pixel(x, nearest), kBlue) << x;
    }
}

TEST(Picture, CursorsAreFullHeightColumnsSpaceOnTop) {
    QImage picture = DisplayPicture();
    ClearPicture(picture);
    DrawCursorLines(picture, 50, 100);
    for (int y = 0; y < 93; ++y) {
        ASSERT_EQ(picture.pixel(50, y), kGreen) << y;
        ASSERT_EQ(picture.pixel(100, y), kRed) << y;
        ASSERT_EQ(picture.pixel(49, y), kWhite) << y;
        ASSERT_EQ(picture.pixel(51, y), kWhite) << y;
    }
    EXPECT_EQ(CountColour(picture, kGreen), 93);
    EXPECT_EQ(CountColour(picture, kRed), 93);

    ClearPicture(picture);
    DrawCursorLines(picture, 7, 7);
    EXPECT_EQ(picture.pixel(7, 0), kRed);
    EXPECT_EQ(CountColour(picture, kGreen), 0);
}

TEST(Picture, CursorsOutsideThePictureDrawNothing) {
    QImage picture = DisplayPicture();
    ClearPicture(picture);
    DrawCursorLines(picture, 512, -1);
    DrawCursorLines(picture, 70000, 600);
    EXPECT_EQ(CountColour(picture, kWhite), 512 * 93);
    DrawCursorLines(picture, 511, 0); // the edge columns are inside
    EXPECT_EQ(picture.pixel(511, 92), kGreen);
    EXPECT_EQ(picture.pixel(0, 92), kRed);
}

} // namespace
