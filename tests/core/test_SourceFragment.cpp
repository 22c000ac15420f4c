#include "capture/SourceFragment.h"

#include <gtest/gtest.h>

struct FragmentCase {
    std::uint32_t rate;
    std::uint32_t bytes;
};

class SourceFragment : public ::testing::TestWithParam<FragmentCase> {};

// The five rates of the program: fragments of at most 16 ms, and a whole
// block where a block is that short already.
TEST_P(SourceFragment, TheFiveRates) {
    EXPECT_EQ(SourceFragmentBytes(GetParam().rate), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Rates, SourceFragment,
                         ::testing::Values(FragmentCase{8000, 256}, FragmentCase{11025, 256},
                                           FragmentCase{22050, 512}, FragmentCase{44100, 1024},
                                           FragmentCase{48000, 1024},
                                           // exactly 16 ms stays; a sample more halves
                                           FragmentCase{16000, 512}, FragmentCase{15999, 256},
                                           // no rate goes below the floor, none above a block
                                           FragmentCase{1, 64}, FragmentCase{192000, 1024}));
