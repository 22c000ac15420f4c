// How much sound the sound server hands over at a time.
//
// The fragment sets both the delay and the cost of the road from the sound
// server to the window. The record stream asks the server to run its source
// at about one fragment's latency and to hand over a fragment at a time, so a
// sound reaches the window about a fragment after the block it ends was
// complete: a whole block per fragment (64 ms at 8000 samples/s) would add
// more than a block. Every fragment, on the other hand, wakes the client
// library's thread (the window only for a completed block), so fragments much
// shorter than needed only burn CPU: at the high rates one fragment carries
// two blocks. Fragments and blocks divide each other exactly, so a block is
// complete the moment its last byte arrives.
#pragma once

#include <cstdint>

// The longest a fragment may last. A sound can reach the window up to a block
// and a fragment after it began (the block it starts in must be complete, and
// then its last fragment be handed over), and the user should see it within a
// block and 30 ms: 25 ms leaves the server and the paint some room.
inline constexpr std::uint32_t kMaxFragmentMs = 25;
// The shortest fragment, whatever the rate: 32 samples.
inline constexpr std::uint32_t kMinFragmentBytes = 64;
// The longest fragment, whatever the rate: two blocks.
inline constexpr std::uint32_t kMaxFragmentBytes = 2048;

// Bytes per fragment for mono 16-bit sound at `rate` samples/s: the largest of
// 2048, 1024, 512, ... (down to kMinFragmentBytes) that lasts at most
// kMaxFragmentMs. 8000: 256 (16 ms); 11025: 512 (23 ms); 22050: 1024 (23 ms);
// 44100 and 48000: 2048 (23 and 21 ms).
std::uint32_t SourceFragmentBytes(std::uint32_t rate);
