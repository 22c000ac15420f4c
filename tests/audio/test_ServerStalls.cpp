// A sound server that stalls or dies while the program runs, on a private
// PulseAudio that only this test signals (tests/audio/with_private_pulse.sh):
// the window keeps answering, a short stall costs only sound, a long one is
// reported and the window closes in order, and so does a server that dies.
#include "support/RealProgram.h"

#include <QFile>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <thread>

namespace {

const std::string kNotAnswering = "Wave Device did not answer within 5 seconds";
constexpr int kLimitMs = wavein::PulseWaveIn::kAnswerLimitMs;
constexpr int kShortStallMs = 3000;
// Longer than any pause that this machine's load explains, far shorter than
// the stalls that used to freeze the window.
constexpr qint64 kLongestPauseMs = 1500;

class ServerStalls : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = qEnvironmentVariableIntValue("QUARL_TEST_PULSE_PID");
        if (server_ == 0)
            GTEST_SKIP() << "signals its server: runs only under a PulseAudio of its own "
                            "(tests/audio/with_private_pulse.sh)";
        prog_ = std::make_unique<RealProgram>();
        ASSERT_TRUE(waitFor([&] { return form().BlocksReceived >= 5; }, 5000)) << "no sound";
        // The longest time the event loop went without running a 10 ms
        // timer: how long the window would have stood frozen.
        ticks_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticks_, &QTimer::timeout,
                         [this] { longestPause_ = std::max(longestPause_, sinceTick_.restart()); });
        sinceTick_.start();
        ticks_.start(10);
    }
    void TearDown() override {
        std::printf("longest pause of the event loop: %lld ms\n",
                    static_cast<long long>(longestPause()));
        if (resumer_.joinable()) resumer_.join();
        if (stopped_) ::kill(server_, SIGCONT);
        prog_.reset();
    }
    // Stops the server and continues it after `ms` from a thread of its own,
    // so that a window that blocks on the server fails the test, not hangs it.
    void stopServerFor(int ms) {
        ASSERT_EQ(::kill(server_, SIGSTOP), 0);
        stopped_ = true;
        resumer_ = std::thread([this, ms] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            ::kill(server_, SIGCONT);
            stopped_ = false;
        });
    }
    bool closesInOrderWithin(int ms) {
        return waitFor([&] { return form().IsClosed(); }, ms) && !form().Wave.RingAllocated() &&
               QFile::exists(prog_->folder.filePath("quarl.cfg"));
    }
    TForm1& form() { return prog_->form(); }
    qint64 longestPause() const { return std::max(longestPause_, sinceTick_.elapsed()); }

    pid_t server_ = 0;
    std::atomic<bool> stopped_{false};
    std::thread resumer_;
    std::unique_ptr<RealProgram> prog_;
    QTimer ticks_;
    QElapsedTimer sinceTick_;
    qint64 longestPause_ = 0;
};

} // namespace

// No sound for four seconds: the window keeps answering, its missed
// indicator turns red within two seconds and back once sound flows again.
TEST_F(ServerStalls, AShortStallWhileRecordingCostsOnlyTheSound) {
    runEventsFor(1000); // past the start's first load checks
    ASSERT_FALSE(form().OverIsRed());
    stopServerFor(4000);
    EXPECT_TRUE(waitFor([&] { return form().OverIsRed(); }, 2000));
    ASSERT_TRUE(waitFor([&] { return !stopped_; }, 10000));
    const auto before = form().BlocksReceived;
    EXPECT_TRUE(waitFor([&] { return form().BlocksReceived >= before + 10; }, 5000));
    EXPECT_TRUE(waitFor([&] { return !form().OverIsRed(); }, 5000));
    EXPECT_EQ(prog_->boxes, std::vector<std::string>{});
    EXPECT_LT(longestPause(), kLongestPauseMs);
}

TEST_F(ServerStalls, AShortStallDuringARateChangeDelaysOnlyTheReopen) {
    stopServerFor(kShortStallMs);
    prog_->dialog().Sample22->click();
    runEventsFor(kShortStallMs / 2);
    prog_->dialog().SpecGain->SetPosition(40); // the dialog works meanwhile
    EXPECT_EQ(form().SpecGainValue, 40);
    ASSERT_TRUE(waitFor([&] { return !stopped_; }, 10000));
    const auto before = form().BlocksReceived;
    EXPECT_TRUE(waitFor([&] { return form().BlocksReceived >= before + 20; }, 5000));
    EXPECT_EQ(form().SampleRate, 22050);
    EXPECT_EQ(prog_->boxes, std::vector<std::string>{});
    EXPECT_LT(longestPause(), kLongestPauseMs);
}

TEST_F(ServerStalls, TheCloseButtonClosesDuringAStall) {
    stopServerFor(kShortStallMs);
    prog_->dialog().Sample22->click();
    runEventsFor(500);
    form().close();
    EXPECT_TRUE(closesInOrderWithin(0));
    EXPECT_EQ(prog_->boxes, std::vector<std::string>{});
    EXPECT_LT(longestPause(), kLongestPauseMs);
}

TEST_F(ServerStalls, AStallPastTheLimitIsReportedAndTheWindowClosesInOrder) {
    QElapsedTimer stalled;
    stalled.start();
    stopServerFor(kLimitMs + 4000);
    prog_->dialog().Sample22->click();
    EXPECT_TRUE(closesInOrderWithin(kLimitMs + 3000)) << stalled.elapsed() << " ms";
    EXPECT_GE(stalled.elapsed(), kLimitMs);
    EXPECT_EQ(prog_->boxes, std::vector<std::string>{kNotAnswering});
    EXPECT_LT(longestPause(), kLongestPauseMs);
}

TEST_F(ServerStalls, AServerKilledDuringARateChangeIsReportedOnceAndTheWindowCloses) {
    prog_->dialog().Sample22->click();
    ASSERT_EQ(::kill(server_, SIGKILL), 0);
    EXPECT_TRUE(closesInOrderWithin(kLimitMs + 3000));
    // Which call meets the dead server first decides the text.
    ASSERT_EQ(prog_->boxes.size(), 1u);
    EXPECT_TRUE(prog_->boxes[0] == "Wave Port no longer connected" ||
                prog_->boxes[0] == "No Wave Device driver present" ||
                prog_->boxes[0] == kNotAnswering)
        << prog_->boxes[0];
    EXPECT_LT(longestPause(), kLongestPauseMs);
}
