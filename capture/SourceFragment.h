// How much sound the sound server hands over at a time.
//
// The fragment sets the latency of the whole road from the sound server to the
// window: PulseAudio adapts its source to it, and Qt's source looks for new
// data once per fragment. A whole block (1024 bytes) per fragment costs up to
// two blocks of delay at 8000 samples/s (64 ms each) before the block is even
// complete here; every fragment, on the other hand, wakes the sound thread and
// PulseAudio's client thread once, so a fragment much shorter than needed only
// burns CPU. Fragments divide the block exactly, so that a block is complete
// the moment its last fragment arrives.
#pragma once

#include <cstdint>

// The longest a fragment may last.
inline constexpr std::uint32_t kMaxFragmentMs = 16;
// The shortest fragment, whatever the rate: 32 samples.
inline constexpr std::uint32_t kMinFragmentBytes = 64;

// Bytes per fragment for mono 16-bit sound at `rate` samples/s: the largest of
// 1024, 512, 256, ... (down to kMinFragmentBytes) that lasts at most
// kMaxFragmentMs. 8000: 256 (16 ms); 11025: 256; 22050: 512; 44100 and 48000:
// 1024 (a whole block).
std::uint32_t SourceFragmentBytes(std::uint32_t rate);
