#pragma once

// The sonagraph's arithmetic: grey rows made from the spectrum points,
// written straight into the pixel memory of a 32-bit picture (four bytes per
// pixel, blue, green, red and a fourth byte, in memory order; rows top first,
// `strideInPixels` apart). Plain data in, plain data out; the main window's
// DrawSonagraph passes its picture's memory in.

#include "analysis/Spectrum.h"

#include <cstdint>

// Index of the last of the 511 points a row is made from (the spectrum
// points 1 … 511, numbered 0 … 510 here).
constexpr int kSonaHigh = kSpectrumSize - 2;

// Grey level 0 (black) … 255 (white) of a point at row y of a picture
// `height` rows high: 255 − ((height − y) mod 256) for a point 0 … 65535 rows
// above the bottom. A zero magnitude (y = height − 2) gives 253, a trace 253
// pixels high gives 0 and one of 254 pixels white again: the levels wrap every
// 256 pixels, so the spectrum gain sets the contrast. The arithmetic wraps in
// 32 bits for any y.
uint8_t SonaGreyLevel(int height, int32_t y);

// The 32-bit pixel of grey level `level`: blue, green and red all `level`, the
// fourth byte 0xFF as the toolkit's RGB32 pictures hold it.
constexpr uint32_t SonaPixel(uint8_t level) {
    return 0xFF000000u | uint32_t{level} << 16 | uint32_t{level} << 8 | level;
}

// Writes one sonagraph row.
// row: the pixels of one picture row, at least lastColumn + 1 of them.
// points: 511 points (kSonaHigh + 1) with rising columns x, such as the
//   spectrum points 1 … 511; y as the spectrum trace's rows.
// height: the picture's height, for the grey level.
// lastColumn: the picture's width − 1.
// Each point's column gets its grey level; the columns between two points
// carry on from that value by Step per column, Step being the points' row
// difference divided by the number of columns between them, cut toward zero,
// so the last column need not meet the next point's value. Writing stops at
// the point just before the first point at or past lastColumn: that point,
// the columns from it on and those left of the first point keep what they
// held. Columns outside 0 … lastColumn − 1 are never written, whatever the
// points say. Allocates nothing.
void DrawSonaRow(uint32_t* row, const DisplayPoint* points, int height, int lastColumn);

// One Flow step: rows 0 … height − 2 of columns 0 … lastColumn − 1 move down
// one row, as read whole before writing; the bottom row is lost, row 0 and
// the columns from lastColumn on are left as they were. lastColumn is held
// inside 0 … width; strideInPixels is at least width.
void FlowScroll(uint32_t* pixels, int width, int height, int strideInPixels, int lastColumn);

// Adds one sonagraph row to a picture.
// flow: the picture moves down two rows, the new row standing in rows 0 and 1
//   (a Flow step, the row into row 0, another Flow step).
// sweep (when not flow): the row goes into row sweepRow, which then moves on
//   by one and back to 0 after the last row; a sweepRow outside the picture
//   counts as 0.
// Neither: nothing happens.
// points: high + 1 points as DrawSonaRow takes them (high is 510).
// lastColumn: width − 1; a larger value is held to width − 1.
// Allocates nothing.
void DrawSonagraph(uint32_t* pixels, int width, int height, int strideInPixels,
                   const DisplayPoint* points, int high, int lastColumn, bool flow, bool sweep,
                   uint16_t& sweepRow);
