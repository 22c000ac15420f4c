#include "analysis/Spectrum.h"
#include "display/Picture.h"

#include <QImage>

#include <gtest/gtest.h>

#include <array>

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
