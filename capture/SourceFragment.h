// How much sound the sound server hands over at a time.
//
// The fragment sets both the delay and the cost of the road from the sound
// server to the window. PulseAudio runs its source about one fragment ahead
// of what it hands out, and Qt's source looks for new data once per fragment,
// so a sound reaches the window one to two fragments after it was made: a
// whole block per fragment (64 ms at 8000 samples/s) would add more than a
// block. Every fragment, on the other hand, wakes the sound thread and
// PulseAudio's client thread, and the window once for all the blocks it
// completes, so fragments much shorter than needed only burn CPU: at the high
// rates one fragment carries two blocks. Fragments and blocks divide each
// other exactly, so a block is complete the moment its last byte arrives.
#pragma once

#include <cstdint>

// The longest a fragment may last.
inline constexpr std::uint32_t kMaxFragmentMs = 32;
// The shortest fragment, whatever the rate: 32 samples.
inline constexpr std::uint32_t kMinFragmentBytes = 64;
// The longest fragment, whatever the rate: two blocks.
inline constexpr std::uint32_t kMaxFragmentBytes = 2048;

// Bytes per fragment for mono 16-bit sound at `rate` samples/s: the largest of
// 2048, 1024, 512, ... (down to kMinFragmentBytes) that lasts at most
// kMaxFragmentMs. 8000: 512 (32 ms); 11025: 512 (23 ms); 22050: 1024 (23 ms);
// 44100 and 48000: 2048 (23 and 21 ms).
std::uint32_t SourceFragmentBytes(std::uint32_t rate);
