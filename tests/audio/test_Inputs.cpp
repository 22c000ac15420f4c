// Several inputs on a sound server of its own (tests/audio/with_private_pulse.sh):
// the program records the input the user made the default, not the first one
// listed, and follows the user's next choice while it records, a monitor of
// what a sink plays included.
#include "support/RealProgram.h"
#include "support/SoundServer.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

// The column of the trace's highest point, above bins 0 and 1.
int peakColumn(const TForm1& form) {
    const auto& points = form.SpecPoints;
    return std::min_element(points.begin() + 2, points.end(),
                            [](const auto& a, const auto& b) { return a.y < b.y; })
        ->x;
}

} // namespace

TEST(Inputs, TheDefaultInputIsRecordedAndFollowed) {
    if (qEnvironmentVariableIsEmpty("QUARL_TEST_PULSE_PID"))
        GTEST_SKIP() << "changes the defaults of its server: runs only under one of its own";
    ASSERT_TRUE(Sound({"tone-input", "tonesrc", "1000"}));
    ASSERT_TRUE(Sound({"tone-input", "other_input", "2000"}));
    ASSERT_TRUE(Pactl({"set-default-source", "other_input"}));

    RealProgram prog; // 8000/s, 4000 Hz: 7.8125 Hz per column
    EXPECT_TRUE(waitFor([&] { return peakColumn(prog.form()) == 256; }, 5000))
        << "peak at column " << peakColumn(prog.form()) << ", not 2000 Hz's 256";

    ASSERT_TRUE(Sound({"tone-sink", "played", "1500"}));
    ASSERT_TRUE(Pactl({"set-default-source", "played.monitor"}));
    EXPECT_TRUE(waitFor([&] { return peakColumn(prog.form()) == 192; }, 5000))
        << "peak at column " << peakColumn(prog.form()) << ", not 1500 Hz's 192";
    EXPECT_TRUE(prog.boxes.empty());
}
