#include "display/Bmp.h"

#include <limits>

namespace {

void Put16(std::uint8_t*& out, std::uint32_t v) {
    *out++ = static_cast<std::uint8_t>(v);
    *out++ = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t*& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

std::vector<std::uint8_t> EncodeBmp32(const std::uint32_t* pixels, int width, int height,
                                      int strideInPixels) {
    if (pixels == nullptr || width <= 0 || height <= 0 || strideInPixels < width) return {};
    const std::uint64_t imageBytes =
        std::uint64_t{4} * static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height);
    if (imageBytes > std::numeric_limits<std::uint32_t>::max() - kBmpHeaderSize) return {};
    const auto imageSize = static_cast<std::uint32_t>(imageBytes);

    std::vector<std::uint8_t> file(kBmpHeaderSize + imageSize);
    std::uint8_t* out = file.data();
    // BITMAPFILEHEADER
    *out++ = 'B';
    *out++ = 'M';
    Put32(out, kBmpHeaderSize + imageSize);
    Put32(out, 0); // two reserved words
    Put32(out, kBmpHeaderSize);
    // BITMAPINFOHEADER; a positive height means the rows run bottom-up.
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height));
    Put16(out, 1);  // planes
    Put16(out, 32); // bits per pixel
    Put32(out, 0);  // BI_RGB
    Put32(out, imageSize);
    Put32(out, 0); // pixels per metre across: not given
    Put32(out, 0); // and down
    Put32(out, 0); // colours used: none, no palette
    Put32(out, 0); // important colours

    // 32-bit rows need no padding to their 4-byte boundary.
    for (int y = height - 1; y >= 0; --y) {
        const std::uint32_t* row = pixels + static_cast<std::size_t>(y) * strideInPixels;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = row[x];
            *out++ = static_cast<std::uint8_t>(p);       // blue
            *out++ = static_cast<std::uint8_t>(p >> 8);  // green
            *out++ = static_cast<std::uint8_t>(p >> 16); // red
            *out++ = 0;
        }
    }
    return file;
}
