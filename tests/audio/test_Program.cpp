// The whole program on the real sound input: blocks are counted and analysed,
// and a sound server that dies under the recording is reported and the
// window closes in order.
#include "support/RealProgram.h"

#include <QFile>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace {

void requireServer() {
    if (!SoundServerAnswers()) {
        if (qEnvironmentVariableIsSet("CI"))
            FAIL() << "no sound server: scripts/test.sh starts a private sound server";
        GTEST_SKIP() << "no sound server reachable";
    }
}

} // namespace

TEST(Program, CountsAndAnalysesTheBlocksOfTheRealInput) {
    requireServer();
    RealProgram prog;
    ASSERT_TRUE(prog.boxes.empty());
    // Two seconds at 8000/s is about 31 blocks; the first few are skipped
    // while the start-up's busy flag lasts.
    ASSERT_TRUE(waitFor([&] { return prog.form().BlocksReceived >= 25; }, 5000))
        << prog.form().BlocksReceived << " blocks";
    const auto& spectrum = prog.form().FftSpectrum;
    const auto peak = std::max_element(spectrum.begin() + 2, spectrum.begin() + 256);
    EXPECT_EQ(peak - spectrum.begin(), 64) << "the 1000 Hz tone at 8000/s";
    prog.form().CloseWindow();
    EXPECT_TRUE(prog.boxes.empty());
    EXPECT_TRUE(QFile::exists(prog.folder.filePath("quarl.cfg")));
}

// At 48000/s a second of the window's thread doing nothing is 94 blocks: the
// ring and the eight buffers hold a quarter of them, the rest are lost, and
// the window says so.
TEST(Program, AWindowThatStopsForASecondCountsTheLostBlocksAndShowsThem) {
    requireServer();
    RealProgram prog;
    prog.dialog().Sample48->click();
    ASSERT_TRUE(waitFor([&] { return prog.form().BlocksReceived >= 100; }, 5000));
    runEventsFor(1000); // past the reopen's first load checks
    ASSERT_EQ(prog.form().BlocksLost, 0u);
    ASSERT_FALSE(prog.form().OverIsRed());
    std::this_thread::sleep_for(std::chrono::seconds(1));
    runEventsFor(50);
    EXPECT_GE(prog.form().BlocksLost, 50u);
    EXPECT_LE(prog.form().BlocksLost, 94u);
    EXPECT_TRUE(prog.form().OverIsRed());
    EXPECT_TRUE(prog.boxes.empty());
}

TEST(ServerDies, WhileRecordingTheErrorIsShownAndTheWindowClosesInOrder) {
    const QByteArray pid = qgetenv("QUARL_TEST_PULSE_PID");
    if (pid.isEmpty())
        GTEST_SKIP()
            << "runs only under its own private PulseAudio (tests/audio/with_private_pulse.sh)";
    requireServer();
    RealProgram prog;
    ASSERT_TRUE(waitFor([&] { return prog.form().BlocksReceived >= 5; }, 5000));

    ASSERT_EQ(::kill(pid.toInt(), SIGKILL), 0);
    ASSERT_TRUE(waitFor([&] { return prog.form().IsClosed(); }, 10000))
        << "the window did not notice that the server went away";
    EXPECT_EQ(prog.boxes, std::vector<std::string>{"Wave Port no longer connected"});
    EXPECT_FALSE(prog.form().Wave.RingAllocated());
    EXPECT_TRUE(QFile::exists(prog.folder.filePath("quarl.cfg")));
}
