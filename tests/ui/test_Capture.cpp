// The capture spine with the simulated device: the ring circulating, what is
// analysed and handed back, the reopen at a new rate, device errors and the
// close.
#include "capture/InputStall.h"
#include "ui/Harness.h"

#include <QLabel>
#include <QToolButton>
#include <algorithm>
#include <gtest/gtest.h>

using wavein::SimWaveIn;

namespace {

std::vector<std::string> linesFrom(const std::vector<std::string>& log, std::size_t first) {
    return {log.begin() + static_cast<std::ptrdiff_t>(std::min(first, log.size())), log.end()};
}

long countOf(const std::vector<std::string>& log, const std::string& line) {
    return std::count(log.begin(), log.end(), line);
}

int peakBin(const std::array<std::int32_t, 512>& spectrum) {
    // Bins 0 and 1 are forced by the drawing path; look above them, lower half.
    return static_cast<int>(std::max_element(spectrum.begin() + 2, spectrum.begin() + 256) -
                            spectrum.begin());
}

} // namespace

TEST(Capture, StartupOpensAtTheCheckedRateAndQueuesTheWholeRing) {
    Harness h;
    h.start();
    ASSERT_TRUE(h.boxes.empty());
    EXPECT_TRUE(h.device.isRecording());
    EXPECT_EQ(h.device.rate(), 8000u);
    EXPECT_EQ(h.device.queuedBuffers(), 8u);
    const auto& log = h.device.log();
    // Five rates probed, then one open, eight prepares, eight adds, a start.
    const std::vector<std::string> expected = {"query 8000 = 0",  "query 11025 = 0",
                                               "query 22050 = 0", "query 44100 = 0",
                                               "query 48000 = 0", "open 8000 = 0"};
    ASSERT_GE(log.size(), expected.size() + 17);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 6), expected);
    EXPECT_EQ(countOf(log, "prepare = 0"), 8);
    EXPECT_EQ(countOf(log, "add = 0"), 8);
    EXPECT_EQ(log.back(), "start = 0");
    EXPECT_EQ(h.form1->FrameCount, 0);
}

TEST(Capture, EveryBlockIsCountedAnalysedAndHandedBack) {
    Harness h;
    h.device.setSignal(SimWaveIn::tone(1000, 8000));
    h.start();
    ASSERT_EQ(h.blocks(20), 20);
    EXPECT_EQ(h.form1->BlocksReceived, 20u);
    EXPECT_EQ(h.device.queuedBuffers(), 8u);
    // 1000 Hz at 8000/s: 15.625 Hz per bin, the tone sits on bin 64.
    EXPECT_EQ(peakBin(h.form1->FftSpectrum), 64);
    EXPECT_EQ(countOf(h.device.log(), "add = 0"), 8 + 20);
}

TEST(Capture, FrozenBlocksAreCountedAndHandedBackButNotAnalysed) {
    Harness h;
    h.device.setSignal(SimWaveIn::tone(1000, 8000));
    h.start();
    h.form1->Onbutton->click();
    ASSERT_TRUE(h.form1->Onbutton->isChecked());
    EXPECT_TRUE(h.form1->SaveButton->isEnabled());
    ASSERT_EQ(h.blocks(5), 5);
    EXPECT_EQ(h.form1->BlocksReceived, 5u);
    EXPECT_EQ(h.device.queuedBuffers(), 8u);
    EXPECT_TRUE(std::all_of(h.form1->FftSpectrum.begin(), h.form1->FftSpectrum.end(),
                            [](int v) { return v == 0; }));
    h.form1->Onbutton->click();
    EXPECT_FALSE(h.form1->SaveButton->isEnabled());
    h.blocks(1);
    EXPECT_EQ(peakBin(h.form1->FftSpectrum), 64);
}

TEST(Capture, BusyBlocksAreHandedBackButNotAnalysed) {
    Harness h;
    h.device.setSignal(SimWaveIn::tone(1000, 8000));
    h.start();
    h.form1->Busy = true; // the load check keeps it until its next check
    ASSERT_EQ(h.blocks(3), 3);
    EXPECT_EQ(h.device.queuedBuffers(), 8u);
    EXPECT_EQ(h.form1->FftSpectrum[64], 0);
}

TEST(Capture, ARateChangeDropsTheHeldBuffersAndReopensAtTheNewRate) {
    Harness h;
    h.device.setSignal(SimWaveIn::tone(1000, 8000));
    h.start();
    h.blocks(3);
    const std::size_t mark = h.device.log().size();
    const auto before = h.form1->BlocksReceived;

    h.form2->Sample11->click();
    EXPECT_TRUE(h.form1->ReopenPending);
    h.pump();

    // All eight came back, were counted and not requeued; then the device
    // opened at 11025 and all eight circulate again.
    EXPECT_EQ(h.form1->BlocksReceived, before + 8);
    EXPECT_FALSE(h.form1->ReopenPending);
    EXPECT_EQ(h.device.rate(), 11025u);
    EXPECT_EQ(h.device.opens(), 2);
    EXPECT_EQ(h.device.queuedBuffers(), 8u);
    const auto after = linesFrom(h.device.log(), mark);
    const auto open = std::find(after.begin(), after.end(), "open 11025 = 0");
    ASSERT_NE(open, after.end());
    EXPECT_EQ(std::count(after.begin(), open, std::string("add = 0")), 0)
        << "a buffer went back to the device that was being closed";
    EXPECT_EQ(countOf(after, "add = 0"), 8);
    EXPECT_EQ(h.form1->SampleRate, 11025);
    EXPECT_TRUE(h.boxes.empty());
    ASSERT_EQ(h.blocks(2), 2);
    EXPECT_EQ(h.form1->FrameCount, 2);
}

// A failed open leaves no device to stop: one box says what went wrong, the
// close calls nothing more into the device, and the run counts as failed.
TEST(Capture, ARefusedRateAtStartUpShowsOneBoxThenCloses) {
    Harness h;
    h.device.setAcceptedRates({11025, 22050});
    h.start();
    EXPECT_EQ(h.boxes, std::vector<std::string>{"Format Not supported by Wave Device"});
    EXPECT_EQ(h.device.log().back(), "open 8000 = 32");
    EXPECT_TRUE(h.form1->IsClosed());
    EXPECT_TRUE(h.closedSignal);
    EXPECT_TRUE(h.form1->DeviceErrorShown());
    EXPECT_FALSE(h.form1->Wave.RingAllocated());
    // The close still saves the settings.
    EXPECT_TRUE(QFile::exists(QString::fromStdString(h.settingsPath())));
}

TEST(Capture, ARefusedRateAtTheReopenShowsOneBoxThenCloses) {
    Harness h;
    h.device.setAcceptedRates({8000, 11025});
    h.start();
    h.form2->Sample22->SetChecked(true); // disabled, but a view's stored rate gets here
    h.pump();
    EXPECT_EQ(h.boxes, std::vector<std::string>{"Format Not supported by Wave Device"});
    EXPECT_EQ(h.device.log().back(), "open 22050 = 32");
    EXPECT_TRUE(h.form1->IsClosed());
}

TEST(Capture, ClosingWhileRecordingHandsNothingBackAndReleasesTheRing) {
    Harness h;
    h.start();
    h.blocks(4);
    h.device.fillBuffers(2); // two blocks still on their way
    const std::size_t mark = h.device.log().size();
    h.form1->CloseWindow();
    h.pump();

    const auto after = linesFrom(h.device.log(), mark);
    EXPECT_EQ(countOf(after, "add = 0"), 0);
    std::vector<std::string> expected{"reset = 0"};
    expected.insert(expected.end(), 8, "unprepare = 0");
    expected.push_back("close = 0");
    EXPECT_EQ(after, expected);
    EXPECT_TRUE(h.boxes.empty());
    EXPECT_TRUE(h.form1->Stopping);
    EXPECT_TRUE(h.form1->Onbutton->isChecked());
    EXPECT_FALSE(h.form1->SaveButton->isEnabled());
    EXPECT_FALSE(h.form1->Wave.RingAllocated());
    EXPECT_FALSE(h.device.isOpen());
    EXPECT_TRUE(QFile::exists(QString::fromStdString(h.settingsPath())));
    // The buffers that the reset handed back arrived after the ring was gone
    // and were ignored.
    EXPECT_EQ(h.form1->BlocksReceived, 4u);
    EXPECT_TRUE(h.closedSignal);
    EXPECT_FALSE(h.form1->DeviceErrorShown());
}

TEST(Capture, AReopenStillPendingAtTheCloseDoesNotOpenTheDeviceAgain) {
    Harness h;
    h.start();
    h.form2->Sample22->click(); // reset, close: the closed notification is queued
    h.form1->CloseWindow();
    h.pump();
    EXPECT_EQ(h.device.opens(), 1);
    EXPECT_FALSE(h.device.isOpen());
}

struct OpenFailure {
    SimWaveIn::Call call;
    wavein::MMResult code;
    const char* text;
};

class CaptureOpenFailure : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(CaptureOpenFailure, IsReportedAndClosesTheWindow) {
    Harness h;
    h.device.setFailure(GetParam().call, GetParam().code);
    h.start();
    EXPECT_EQ(h.boxes, std::vector<std::string>{GetParam().text});
    EXPECT_TRUE(h.form1->IsClosed());
    EXPECT_TRUE(h.form1->DeviceErrorShown());
    EXPECT_FALSE(h.form1->Wave.RingAllocated());
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, CaptureOpenFailure,
    ::testing::Values(OpenFailure{SimWaveIn::Call::Open, 4, "Wave Device already allocated"},
                      OpenFailure{SimWaveIn::Call::Open, 6, "No Wave Device driver present"},
                      OpenFailure{SimWaveIn::Call::Prepare, 7,
                                  "Memory allocation error - Wave Device"},
                      OpenFailure{SimWaveIn::Call::Add, 34, "Wave Header not prepared"},
                      OpenFailure{SimWaveIn::Call::Start, 1, "Wave Device Error"}));

struct LateFailure {
    wavein::MMResult code;
    const char* text;
};

class CaptureLateFailure : public ::testing::TestWithParam<LateFailure> {};

// The server went away, or stopped answering: reported in words of its own.
TEST_P(CaptureLateFailure, IsReportedAndTheWindowClosesInOrder) {
    Harness h;
    h.start();
    h.blocks(2);
    h.device.failStream(GetParam().code);
    h.pump();
    EXPECT_EQ(h.boxes, std::vector<std::string>{GetParam().text});
    EXPECT_TRUE(h.form1->IsClosed());
    EXPECT_FALSE(h.device.isOpen());
    EXPECT_TRUE(QFile::exists(QString::fromStdString(h.settingsPath())));
}

INSTANTIATE_TEST_SUITE_P(
    Causes, CaptureLateFailure,
    ::testing::Values(LateFailure{wavein::ERR_DISCONNECTED, "Wave Port no longer connected"},
                      LateFailure{wavein::ERR_NOT_ANSWERING,
                                  "Wave Device did not answer within 5 seconds"}));

TEST(Capture, AFailedUnprepareAtTheCloseIsReportedAndTheCloseGoesOn) {
    Harness h;
    h.start();
    h.device.setFailure(SimWaveIn::Call::Unprepare, 5);
    h.form1->CloseWindow();
    EXPECT_EQ(h.boxes, std::vector<std::string>{"Wave Device handle is invalid"});
    EXPECT_FALSE(h.form1->Wave.RingAllocated());
    EXPECT_TRUE(QFile::exists(QString::fromStdString(h.settingsPath())));
}

// ------------------------------------------------------------- load check

TEST(LoadCheck, BlocksPerCheckFollowTheRate) {
    Harness h;
    h.start();
    const std::pair<std::uint16_t, int> cases[] = {
        {8000, 7}, {11025, 10}, {22050, 21}, {44100, 43}, {48000, 46}};
    for (auto [rate, limit] : cases) {
        h.form1->SampleRate = rate;
        h.form1->PerformanceReset();
        EXPECT_EQ(h.form1->PerfFrameLimit, limit) << rate;
        EXPECT_EQ(h.form1->PerfFrameSpan, limit) << rate;
    }
}

class LoadCheckTiming : public ::testing::TestWithParam<std::pair<std::uint32_t, bool>> {};

TEST_P(LoadCheckTiming, SevenBlocksAt8000AreLateOnlyPast540ms) {
    const auto [elapsed, late] = GetParam();
    Harness h;
    h.device.setSignal(SimWaveIn::tone(1000, 8000));
    h.start();
    ASSERT_EQ(h.form1->PerfFrameLimit, 7);
    h.blocks(6);
    EXPECT_FALSE(h.form1->Busy);
    h.now += elapsed;
    h.blocks(1);
    EXPECT_EQ(h.form1->Busy, late);
    EXPECT_EQ(h.form1->OverIsRed(), late);
    EXPECT_EQ(h.sleeps, late ? std::vector<int>{10} : std::vector<int>{});
    EXPECT_EQ(h.form1->FrameCount, 0); // the check restarts the count
    if (late) {
        // Until the next check, blocks are handed back unanalysed.
        h.form1->FftSpectrum.fill(0);
        h.blocks(6);
        EXPECT_EQ(h.form1->FftSpectrum[64], 0);
        EXPECT_EQ(h.device.queuedBuffers(), 8u);
        h.blocks(1); // on time again: analysed, indicator back to normal
        EXPECT_FALSE(h.form1->Busy);
        EXPECT_FALSE(h.form1->OverIsRed());
        EXPECT_GT(h.form1->FftSpectrum[64], 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Edges, LoadCheckTiming,
                         ::testing::Values(std::pair{540u, false}, std::pair{541u, true},
                                           std::pair{0u, false}));

TEST(LoadCheck, InTimerModeALateCheckSlowsTheRefreshBy5msUpTo500) {
    Harness h;
    h.start();
    h.form2->cbSampleSpeed->SetChecked(false);
    ASSERT_TRUE(h.form1->Timer1->isActive());
    ASSERT_EQ(h.form2->tbSpeed->Position(), 100);
    h.blocks(6);
    h.now += 600;
    h.blocks(1);
    EXPECT_EQ(h.form2->tbSpeed->Position(), 105);
    EXPECT_EQ(h.form1->Timer1->interval(), 105);
    EXPECT_EQ(h.form2->pSpeed->text(), "105");

    h.form2->tbSpeed->SetPosition(498);
    for (int round = 0; round < 2; ++round) {
        h.blocks(6);
        h.now += 600;
        h.blocks(1);
    }
    EXPECT_EQ(h.form2->tbSpeed->Position(), 500);
}

TEST(LoadCheck, WithSamplingSpeedCheckedALateCheckLeavesTheSpeedAlone) {
    Harness h;
    h.start();
    h.blocks(6);
    h.now += 1000;
    h.blocks(1);
    EXPECT_TRUE(h.form1->OverIsRed());
    EXPECT_EQ(h.form2->tbSpeed->Position(), 100);
    EXPECT_FALSE(h.form1->Timer1->isActive());
}

TEST(LoadCheck, TheClockMayWrapBetweenChecks) {
    Harness h;
    h.now = 0xFFFFFF00u;
    h.start();
    h.blocks(6);
    h.now += 0x200; // wraps past zero: 512 ms later
    h.blocks(1);
    EXPECT_FALSE(h.form1->OverIsRed());
}

// Lost sound lights the indicator at once, and so does a recording that has
// delivered nothing for longer than the stall limit; either stays red until a
// load check finds the blocks on time again.
TEST(LoadCheck, LostOrStalledSoundLightsTheIndicatorUntilACheckPasses) {
    Harness h;
    h.start();
    h.blocks(3);
    h.device.loseBlocks(2);
    h.pump();
    EXPECT_EQ(h.form1->BlocksLost, 2u);
    EXPECT_TRUE(h.form1->OverIsRed());
    h.blocks(4); // the check at the seventh block finds them on time
    EXPECT_FALSE(h.form1->OverIsRed());

    h.now += InputStallLimitMs(8000);
    h.form1->CheckInputFlow();
    EXPECT_FALSE(h.form1->OverIsRed());
    h.now += 1;
    h.form1->CheckInputFlow();
    EXPECT_TRUE(h.form1->OverIsRed());
    h.blocks(7); // flowing again, but this check spans the stall: late
    EXPECT_TRUE(h.form1->OverIsRed());
    h.blocks(7);
    EXPECT_FALSE(h.form1->OverIsRed());
}
