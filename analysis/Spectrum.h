#pragma once

// The frequency scale of the main window and the road from FFT magnitudes to
// the points the spectrum and sonagraph views draw. Plain data in, plain data
// out: the main window's methods of the same names pass their fields in and
// store what comes back.

#include <cstdint>
#include <string>

// Number of FFT bins, spectrum array entries and display points per block.
constexpr int kSpectrumSize = 512;

struct FrequencyScale {
    uint16_t SampleRate = 0;   // samples per second
    uint16_t Nyquist = 0;      // Trunc(SampleRate / 2), Hz
    uint16_t Bandwidth = 0;    // displayed bandwidth, Hz
    double BinWidth = 0;       // Nyquist / 256, Hz per FFT bin
    double ZoomRatio = 0;      // SampleRate / Bandwidth; 0 when there is no valid ratio
    double MaxDisplayFreq = 0; // frequency of column 512, Hz
};

// One point of a polyline, in pixels of the display picture.
struct DisplayPoint {
    int32_t x;
    int32_t y;
};

// The rate chosen by the settings dialog's rate buttons, tested from the
// highest down: 48000, 44100, 22050, 11025, else 8000.
uint16_t SampleRateFromButtons(bool s48, bool s44, bool s22, bool s11);

// The scale for a sample rate and a displayed bandwidth. A rate or bandwidth
// of 0 (only a damaged settings file can give one) yields ZoomRatio 0 and
// MaxDisplayFreq 0 instead of an infinity or NaN: the cursor read-out treats
// a ratio that is not positive as "no scale".
FrequencyScale ComputeScale(uint16_t sampleRate, uint16_t bandwidth);

// Text of the label at the right edge of the display: the right-edge
// frequency in whole Hz (cut, not rounded) in the spectrum and sonagraph
// views; the length of one 512-sample block in whole milliseconds in the
// waveform view. "0" when the scale has no valid value.
std::string MaxAudioFreqText(const FrequencyScale& scale, bool frequencyView);

// Maps the displayed spectrum to one display point per FFT bin.
// averaged: 512 magnitudes; entries 0 and 1 are set to 1 (the DC bin and its
//   neighbour are always plotted as magnitude 1).
// displayHeight: height of the display picture in pixels; the base line is
//   displayHeight − 2.
// specGainValue: 1 … 100; values above 101 are treated as 101 (the formula
//   divides by 102 − gain).
// nyquist, bandwidth: Hz; they give the columns per bin. A bandwidth of 0 is
//   treated like a step of 0: one column per bin.
// points: 512 entries; entry k belongs to bin k. Bins past the right edge
//   (column 512 and beyond) get the column where the mapping stopped and the
//   base line, so the trace ends with a drop just outside the picture.
// Allocates nothing.
void SpecToPoints(int32_t* averaged, int displayHeight, uint16_t specGainValue, uint16_t nyquist,
                  uint16_t bandwidth, DisplayPoint* points);

// Exponential average with weight 1/avgCount. With avgCount 0 or 1, averaged
// is a copy of fft and the accumulator is left alone; otherwise each bin's
// magnitude is added to its running sum, the average is that sum divided by
// avgCount (cut to an integer) and the average is taken off the sum again.
// fft, accumulator, averaged: 512 entries each. Allocates nothing.
void AverageBuffers(const int32_t* fft, int32_t* accumulator, int32_t* averaged, uint16_t avgCount);
