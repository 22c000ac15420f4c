#include "capture/SourceFragment.h"

#include <gtest/gtest.h>

struct FragmentCase {
    std::uint32_t rate;
    std::uint32_t bytes;
};

class SourceFragment : public ::testing::TestWithParam<FragmentCase> {};

// The five rates of the program: fragments of at most 25 ms, and two whole
// blocks where two blocks are that short already.
TEST_P(SourceFragment, TheFiveRates) {
    EXPECT_EQ(SourceFragmentBytes(GetParam().rate), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Rates, SourceFragment,
                         ::testing::Values(FragmentCase{8000, 256}, FragmentCase{11025, 512},
                                           FragmentCase{22050, 1024}, FragmentCase{44100, 2048},
                                           FragmentCase{48000, 2048},
                                           // exactly 25 ms stays; a sample less halves
                                           FragmentCase{40960, 2048}, FragmentCase{40959, 1024},
                                           // no rate goes below the floor, none above two blocks
                                           FragmentCase{1, 64}, FragmentCase{192000, 2048}));
