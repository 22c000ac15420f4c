#pragma once

// The waveform view's arithmetic: one block of samples to the points of its
// trace. Plain data in, plain data out; the main window's SineToPoints
// passes its fields in.

#include "analysis/Spectrum.h"

#include <cstdint>

// Samples per block and points per waveform trace.
constexpr int kWaveBlockSize = 512;
// The trigger searches the first half block, samples 1 … 255.
constexpr int kTriggerSearchEnd = 255;

// Turns a block into the waveform's display points.
// samples: 512 signed 16-bit samples; sample 0 is not used.
// height: the display picture's height in pixels.
// waveGain: 1 … 100 (any 16-bit value is accepted); the trace's zero line
//   lies at height/2 − gain/4 and a full-scale sample spans about
//   32 × gain pixels.
// trigger: off, point i is (i, y of sample i) for i = 1 … 511 and entry 0 is
//   left as it was; on, the trace starts at the first highest positive
//   sample among samples 1 … 255 (sample 0 when none is above 0) and shows
//   the 256 samples from there two columns apart, x = 0, 2, … 510, followed
//   by 256 points (512, zero line).
// points: 512 entries, in pixels; larger samples give smaller y (higher on
//   screen), and strong ones lie far above the picture, which clips them.
// Allocates nothing.
void SineToPoints(const int16_t* samples, int height, uint16_t waveGain, bool trigger,
                  DisplayPoint* points);
