#include "analysis/Sonagraph.h"
#include "analysis/Rounding.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

// The grey value before its low eight bits are taken: |65535 − (H − Y)|, in
// 32-bit arithmetic that wraps instead of overflowing. Unsigned, because only
// the low eight bits of it and of the sums built on it ever count.
uint32_t GreyValue(int height, int32_t y) {
    const uint32_t d = static_cast<uint32_t>(height) - static_cast<uint32_t>(y);
    const uint32_t t = 65535u - d;
    return static_cast<int32_t>(t) < 0 ? 0u - t : t;
}

void WriteRow(uint32_t* row, const DisplayPoint* p, int high, int height, int lastColumn) {
    for (int k = 0; k < high && p[k + 1].x < lastColumn; ++k) {
        const int64_t x0 = p[k].x;
        const int64_t x1 = p[k + 1].x;
        uint32_t v = GreyValue(height, p[k].y);
        if (x0 >= 0 && x0 < lastColumn) row[x0] = SonaPixel(static_cast<uint8_t>(v));

        // Step per column between the two points, the quotient in floating
        // point and cut toward zero; the value runs on from the point's own,
        // so the steps add up.
        const int64_t between = x1 - x0 - 1;
        uint32_t step = 0;
        if (between != 0) {
            const long double dy = static_cast<long double>(int64_t{p[k + 1].y} - p[k].y);
            step = static_cast<uint32_t>(
                rounding::ClampToInt32(rounding::TruncSaturating(dy / between)));
        }
        // Columns left of the picture are skipped, their steps still counted.
        int64_t c = x0 + 1;
        if (c < 0) {
            v += step * static_cast<uint32_t>(-c);
            c = 0;
        }
        for (; c < x1; ++c) {
            v += step;
            row[c] = SonaPixel(static_cast<uint8_t>(v));
        }
    }
}

} // namespace

uint8_t SonaGreyLevel(int height, int32_t y) {
    return static_cast<uint8_t>(GreyValue(height, y));
}

void DrawSonaRow(uint32_t* row, const DisplayPoint* points, int height, int lastColumn) {
    WriteRow(row, points, kSonaHigh, height, lastColumn);
}

void FlowScroll(uint32_t* pixels, int width, int height, int strideInPixels, int lastColumn) {
    const int columns = std::clamp(lastColumn, 0, std::max(width, 0));
    if (columns == 0) return;
    // Bottom row first, so that every row is read before it is overwritten.
    const std::size_t bytes = static_cast<std::size_t>(columns) * sizeof(uint32_t);
    for (int r = height - 2; r >= 0; --r) {
        uint32_t* from = pixels + static_cast<std::ptrdiff_t>(r) * strideInPixels;
        std::memcpy(from + strideInPixels, from, bytes);
    }
}

void DrawSonagraph(uint32_t* pixels, int width, int height, int strideInPixels,
                   const DisplayPoint* points, int high, int lastColumn, bool flow, bool sweep,
                   uint16_t& sweepRow) {
    if (width <= 0 || height <= 0) return;
    lastColumn = std::min(lastColumn, width - 1);
    if (flow) {
        FlowScroll(pixels, width, height, strideInPixels, lastColumn);
        WriteRow(pixels, points, high, height, lastColumn);
        FlowScroll(pixels, width, height, strideInPixels, lastColumn);
    } else if (sweep) {
        if (sweepRow >= height) sweepRow = 0;
        WriteRow(pixels + static_cast<std::ptrdiff_t>(sweepRow) * strideInPixels, points, high,
                 height, lastColumn);
        sweepRow = sweepRow < height - 1 ? static_cast<uint16_t>(sweepRow + 1) : 0;
    }
}
