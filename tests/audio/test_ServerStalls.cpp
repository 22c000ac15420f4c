// A sound server that stalls or dies while the program runs, on a private
// PulseAudio that only this test uses (tests/audio/with_private_pulse.sh):
// the window keeps answering, a short stall costs nothing, a long one is
// reported and the window closes in order, and so does a server that dies.
#include "capture/QtWaveIn.h"
#include "support/RealProgram.h"

#include <QFile>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace {

const std::string kNotAnswering = "Wave Device did not answer within 5 seconds";
// A stall of this length must go unnoticed but for the missing sound.
constexpr int kShortStallMs = 3000;
// Longer than any pause of the event loop that this machine's load explains,
// far shorter than the stalls that used to freeze the window.
constexpr qint64 kLongestPauseMs = 1500;

// The private daemon this test may stop, continue and kill. It continues the
// daemon at `resumeAfterMs` from its own thread whatever the window does, so
// that a window that blocks on the server fails the test instead of hanging it.
class PrivateServer {
public:
    explicit PrivateServer(pid_t pid) : pid_(pid) {}
    ~PrivateServer() {
        if (resumer_.joinable()) resumer_.join();
        if (stopped_) ::kill(pid_, SIGCONT);
    }
    void stopFor(int resumeAfterMs) {
        ASSERT_EQ(::kill(pid_, SIGSTOP), 0);
        stopped_ = true;
        resumer_ = std::thread([this, resumeAfterMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(resumeAfterMs));
            ::kill(pid_, SIGCONT);
            stopped_ = false;
        });
    }
    // Runs the event loop until the daemon has been continued.
    void waitForResume() {
        waitFor([this] { return !stopped_; }, 60000);
        if (resumer_.joinable()) resumer_.join();
    }
    void kill() { ASSERT_EQ(::kill(pid_, SIGKILL), 0); }

private:
    pid_t pid_;
    std::atomic<bool> stopped_{false};
    std::thread resumer_;
};

// The longest time the event loop went without running a 10 ms timer: how
// long the window would have stood frozen.
class LoopPauses {
public:
    LoopPauses() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, since_.restart()); });
        since_.start();
        timer_.start();
    }
    qint64 longestMs() const { return std::max(longest_, since_.elapsed()); }

private:
    QTimer timer_;
    QElapsedTimer since_;
    qint64 longest_ = 0;
};

class ServerStalls : public ::testing::Test {
protected:
    void SetUp() override {
        const QByteArray pid = qgetenv("QUARL_TEST_PULSE_PID");
        if (pid.isEmpty())
            GTEST_SKIP() << "signals its server: runs only under a private PulseAudio of its own "
                            "(tests/audio/with_private_pulse.sh)";
        server_ = std::make_unique<PrivateServer>(pid.toInt());
        prog_ = std::make_unique<RealProgram>();
        ASSERT_TRUE(prog_->boxes.empty());
        ASSERT_TRUE(waitFor([&] { return form().BlocksReceived >= 5; }, 5000)) << "not recording";
    }
    void TearDown() override {
        prog_.reset();
        server_.reset();
    }
    TForm1& form() { return prog_->form(); }
    bool settingsWritten() { return QFile::exists(prog_->folder.filePath("quarl.cfg")); }
    // Records at 22050/s after the reopen, with the whole ring circulating.
    bool recordsAt22050(int withinMs) {
        const auto before = form().BlocksReceived;
        return waitFor([&] { return form().BlocksReceived >= before + 20; }, withinMs) &&
               form().SampleRate == 22050 && !form().ReopenPending;
    }

    std::unique_ptr<PrivateServer> server_;
    std::unique_ptr<RealProgram> prog_;
};

} // namespace

TEST_F(ServerStalls, AShortStallWhileRecordingCostsOnlyTheSound) {
    LoopPauses pauses;
    server_->stopFor(kShortStallMs);
    runEventsFor(kShortStallMs + 500);
    server_->waitForResume();
    const auto before = form().BlocksReceived;
    EXPECT_TRUE(waitFor([&] { return form().BlocksReceived >= before + 10; }, 5000))
        << "recording did not resume";
    EXPECT_TRUE(prog_->boxes.empty());
    EXPECT_FALSE(form().IsClosed());
    EXPECT_LT(pauses.longestMs(), kLongestPauseMs);
}

TEST_F(ServerStalls, AShortStallDuringARateChangeDelaysOnlyTheReopen) {
    LoopPauses pauses;
    server_->stopFor(kShortStallMs);
    prog_->dialog().Sample22->click();
    // Meanwhile the window answers: the dialog works and the view repaints.
    runEventsFor(kShortStallMs / 2);
    prog_->dialog().SpecGain->SetPosition(40);
    EXPECT_EQ(form().SpecGainValue, 40);
    server_->waitForResume();
    EXPECT_TRUE(recordsAt22050(5000));
    EXPECT_TRUE(prog_->boxes.empty());
    EXPECT_LT(pauses.longestMs(), kLongestPauseMs);
}

TEST_F(ServerStalls, TheCloseButtonClosesDuringAStall) {
    LoopPauses pauses;
    server_->stopFor(kShortStallMs);
    prog_->dialog().Sample22->click();
    runEventsFor(500);
    form().close();
    EXPECT_TRUE(form().IsClosed());
    EXPECT_TRUE(settingsWritten());
    EXPECT_FALSE(form().Wave.RingAllocated());
    EXPECT_EQ(prog_->boxes, std::vector<std::string>{});
    EXPECT_LT(pauses.longestMs(), kLongestPauseMs);
}

TEST_F(ServerStalls, AStallPastTheLimitIsReportedAndTheWindowClosesInOrder) {
    LoopPauses pauses;
    QElapsedTimer clock;
    clock.start();
    server_->stopFor(wavein::QtWaveIn::kAnswerLimitMs + 4000);
    prog_->dialog().Sample22->click();
    ASSERT_TRUE(waitFor([&] { return form().IsClosed(); }, wavein::QtWaveIn::kAnswerLimitMs + 3000))
        << "still open after " << clock.elapsed() << " ms";
    EXPECT_GE(clock.elapsed(), wavein::QtWaveIn::kAnswerLimitMs);
    EXPECT_EQ(prog_->boxes, std::vector<std::string>{kNotAnswering});
    EXPECT_TRUE(settingsWritten());
    EXPECT_FALSE(form().Wave.RingAllocated());
    EXPECT_LT(pauses.longestMs(), kLongestPauseMs);
}

TEST_F(ServerStalls, AServerKilledDuringARateChangeIsReportedOnceAndTheWindowCloses) {
    LoopPauses pauses;
    prog_->dialog().Sample22->click();
    server_->kill();
    ASSERT_TRUE(waitFor([&] { return form().IsClosed(); }, wavein::QtWaveIn::kAnswerLimitMs + 3000))
        << "the window did not notice that the server went away";
    // Which call meets the dead server first decides the text.
    const std::vector<std::string> texts = {"Wave Port no longer connected",
                                            "No Wave Device driver present", kNotAnswering};
    ASSERT_EQ(prog_->boxes.size(), 1u);
    EXPECT_NE(std::find(texts.begin(), texts.end(), prog_->boxes[0]), texts.end())
        << prog_->boxes[0];
    EXPECT_TRUE(settingsWritten());
    EXPECT_FALSE(form().Wave.RingAllocated());
    EXPECT_LT(pauses.longestMs(), kLongestPauseMs);
}
