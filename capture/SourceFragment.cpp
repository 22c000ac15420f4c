#include "capture/SourceFragment.h"

std::uint32_t SourceFragmentBytes(std::uint32_t rate) {
    std::uint32_t bytes = kMaxFragmentBytes;
    // bytes / (2 · rate) seconds > kMaxFragmentMs / 1000, in whole numbers.
    const std::uint64_t limit = std::uint64_t{2} * rate * kMaxFragmentMs;
    while (bytes > kMinFragmentBytes && std::uint64_t{bytes} * 1000 > limit)
        bytes /= 2;
    return bytes;
}
