#include "display/Bmp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(Bmp, SmallPictureByteForByte) {
    // 3 x 2 pixels in rows of 4 (the last of each row is not part of the
    // picture); the fourth bytes are set and must come out 0.
    const std::uint32_t pixels[] = {
        0xFF112233, 0xFF445566, 0x80778899, 0xDEADBEEF, // top row
        0xFF000000, 0xFFFFFFFF, 0x00FF0000, 0xDEADBEEF, // bottom row
    };
    const std::vector<std::uint8_t> expected = {
        'B',  'M',  78,   0, 0,    0,    0,    0, 0,    0,    54,   0, 0, 0, // file header
        40,   0,    0,    0, 3,    0,    0,    0, 2,    0,    0,    0,       // size, width, height
        1,    0,    32,   0, 0,    0,    0,    0, 24,   0,    0,    0, // planes, bits, BI_RGB,
                                                                       // image bytes
        0,    0,    0,    0, 0,    0,    0,    0, 0,    0,    0,    0, 0, 0,
        0,    0,                                                       // resolution, colours
        0,    0,    0,    0, 0xFF, 0xFF, 0xFF, 0, 0,    0,    0xFF, 0, // bottom row first: blue,
                                                                       // green, red, 0
        0x33, 0x22, 0x11, 0, 0x66, 0x55, 0x44, 0, 0x99, 0x88, 0x77, 0,
    };
    EXPECT_EQ(EncodeBmp32(pixels, 3, 2, 4), expected);
}

TEST(Bmp, SizesItCannotWriteGiveNothing) {
    const std::uint32_t pixel = 0;
    EXPECT_TRUE(EncodeBmp32(&pixel, 0, 1, 1).empty());
    EXPECT_TRUE(EncodeBmp32(&pixel, 1, 0, 1).empty());
    EXPECT_TRUE(EncodeBmp32(&pixel, 2, 1, 1).empty()); // stride shorter than a row
    EXPECT_TRUE(EncodeBmp32(nullptr, 1, 1, 1).empty());
    // 4 x 40000 x 40000 bytes do not fit the 32-bit size field (nothing is read).
    EXPECT_TRUE(EncodeBmp32(&pixel, 40000, 40000, 40000).empty());
}

} // namespace
