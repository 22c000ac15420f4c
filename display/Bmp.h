#pragma once

// The snapshot's file format: a Windows bitmap (BMP) of 32 bits per pixel.
// Plain C++: pixels in, file bytes out.

#include <cstdint>
#include <vector>

// Bytes of the file header (14) and of the BITMAPINFOHEADER (40) before the
// first pixel row.
inline constexpr std::uint32_t kBmpHeaderSize = 14 + 40;

// A whole BMP file for a picture of width × height pixels, 32 bits each:
// file header, BITMAPINFOHEADER (BI_RGB, no palette, no resolution given),
// then the rows bottom-up, each pixel as blue, green, red and a fourth byte
// of 0. The file is 54 + 4 × width × height bytes.
//
// `pixels` holds `height` rows of `strideInPixels` 32-bit values 0xAARRGGBB
// (QImage's RGB32 and ARGB32 layout), top row first; the AA byte is not
// written, as the format reserves it and some readers take a non-zero value
// as transparency. Empty when the size is not positive, the stride is shorter
// than a row, or the file would not fit the format's 32-bit size field.
std::vector<std::uint8_t> EncodeBmp32(const std::uint32_t* pixels, int width, int height,
                                      int strideInPixels);
