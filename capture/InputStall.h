// When steady recording counts as stalled: the sound server stopped handing
// over sound (it hangs, or the machine was suspended) while the stream is
// still up. The window lights its "missed" indicator then, since no block
// arrives for the load check to find late.
#pragma once

#include <cstdint>

// Milliseconds without a block after which recording at `sampleRate`
// samples/s counts as stalled: one second plus one block's time (512
// samples), so that the slowest rate's ordinary gap between two blocks
// (64 ms at 8000/s) never counts. Rounded up to whole milliseconds; a rate of
// 0 adds nothing.
std::uint32_t InputStallLimitMs(std::uint32_t sampleRate);

// True when the block clock `lastBlockMs` (milliseconds, 32-bit, wrapping) is
// more than the limit behind `nowMs`.
bool InputStalled(std::uint32_t nowMs, std::uint32_t lastBlockMs, std::uint32_t sampleRate);
