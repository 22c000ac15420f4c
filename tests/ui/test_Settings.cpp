// The settings dialog, the sample rates and the settings file, driven through
// the real windows with the simulated sound device.
#include "app/Application.h"
#include "app/Form1.h"
#include "app/Form2.h"
#include "app/SettingsRecord.h"
#include "capture/SimWaveIn.h"
#include "tests/ui/Harness.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <vector>

namespace {

using wavein::SimWaveIn;

class SettingsWindows : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(h->folder.isValid()); }
    std::string cfg() const { return h->settingsPath(); }
    void writeFile(const std::vector<std::uint8_t>& bytes) const {
        std::ofstream out(cfg(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    void writeRecord(const SettingsRecord& r) const {
        const auto b = EncodeSettings(r);
        writeFile({b.begin(), b.end()});
    }
    Harness& started() {
        h->start();
        return *h;
    }
    static void closeRun(Harness& run) {
        run.form1->CloseWindow();
        run.pump();
    }
    static std::vector<std::uint8_t> fileBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::unique_ptr<Harness> h = std::make_unique<Harness>();
};

// A record as a sensible earlier run would have left it.
SettingsRecord validRecord() {
    SettingsRecord r;
    r.DisplayMode = kSpectrumMode;
    r.MarkPos = 120;
    r.SpacePos = 240;
    r.AvgCount = 10;
    r.WaveSampleRate = 8000;
    r.SonaSampleRate = 8000;
    r.SonaBandwidth = 4000;
    r.SpecSampleRate = 8000;
    r.SpecBandwidth = 3000;
    r.SpecGainValue = 20;
    r.WaveGainValue = 30;
    r.BinWidth = 15.625;
    r.BandwidthPos = 3000;
    r.WindowTop = 100;
    r.WindowLeft = 200;
    r.WindowHeight = 300;
    r.WindowWidth = 500;
    r.UpdateInterval = 100;
    r.SamplingSpeedChecked = true;
    r.TriggerChecked = true;
    return r;
}

RadioButton* checkedRate(TForm2& d) {
    for (RadioButton* b : {d.Sample48, d.Sample44, d.Sample22, d.Sample11, d.Sample8})
        if (b->Checked()) return b;
    return nullptr;
}

// ------------------------------------------------------------ the dialog

struct BandCase {
    int rate;
    int min, max, ticks;
    int position; // from 8000/s with the bandwidth at 4000
};

class RateBand : public SettingsWindows, public ::testing::WithParamInterface<BandCase> {};

TEST_P(RateBand, BarSpansAQuarterToAHalfOfTheRate) {
    const BandCase c = GetParam();
    Harness& run = started();
    TForm2& d = *run.form2;
    RadioButton* button = nullptr;
    for (RadioButton* b : {d.Sample48, d.Sample44, d.Sample22, d.Sample11, d.Sample8})
        if (b->Value() == c.rate) button = b;
    ASSERT_NE(button, nullptr);
    button->SetChecked(true);
    EXPECT_EQ(run.form1->SampleRate, c.rate);
    EXPECT_EQ(d.AudioBandwidth->Min(), c.min);
    EXPECT_EQ(d.AudioBandwidth->Max(), c.max);
    EXPECT_EQ(d.AudioBandwidth->Frequency(), c.ticks);
    EXPECT_EQ(d.AudioBandwidth->Position(), c.position);
    EXPECT_EQ(run.form1->SpecBandwidth, c.position);
    EXPECT_EQ(run.form1->SpecSampleRate, c.rate);
    EXPECT_EQ(run.form1->Bandwidth, c.position);
    EXPECT_EQ(d.pBandwidth->text(), QString::number(c.position));
}

INSTANTIATE_TEST_SUITE_P(FiveRates, RateBand,
                         ::testing::Values(BandCase{8000, 2000, 4000, 400, 4000},
                                           BandCase{11025, 2756, 5512, 551, 4000},
                                           BandCase{22050, 5512, 11025, 1102, 5512},
                                           BandCase{44100, 11025, 22050, 2205, 11025},
                                           BandCase{48000, 12000, 24000, 2400, 12000}));

TEST_F(SettingsWindows, ElevenKilohertzFromTwentyTwoCutsTheBandwidthToItsNyquist) {
    Harness& run = started();
    TForm2& d = *run.form2;
    d.Sample22->SetChecked(true);
    d.AudioBandwidth->SetPosition(11025);
    d.Sample11->SetChecked(true);
    EXPECT_EQ(d.AudioBandwidth->Position(), 5512);
    EXPECT_EQ(d.AudioBandwidth->Min(), 2756);
    EXPECT_EQ(d.AudioBandwidth->Max(), 5512);
    EXPECT_EQ(run.form1->SpecBandwidth, 5512);
}

TEST_F(SettingsWindows, NyquistBoxPutsTheBandwidthAtHalfTheRate) {
    Harness& run = started();
    TForm2& d = *run.form2;
    d.AudioBandwidth->SetPosition(3000);
    d.cbNyquist->SetChecked(true);
    EXPECT_EQ(d.AudioBandwidth->Position(), 4000);
    const std::pair<RadioButton*, int> steps[] = {{d.Sample48, 24000},
                                                  {d.Sample11, 5512},
                                                  {d.Sample44, 22050},
                                                  {d.Sample22, 11025},
                                                  {d.Sample8, 4000}};
    for (auto [button, half] : steps) {
        button->SetChecked(true);
        EXPECT_EQ(d.AudioBandwidth->Position(), half) << button->Value();
        EXPECT_EQ(run.form1->Bandwidth, half) << button->Value();
    }
    // An attempt to move the slider is undone at once.
    d.AudioBandwidth->SetPosition(2500);
    EXPECT_EQ(d.AudioBandwidth->Position(), 4000);
    d.cbNyquist->SetChecked(false);
    d.Sample22->SetChecked(true);
    EXPECT_EQ(d.AudioBandwidth->Position(), 5512); // 4000 brought into 5512..11025 only
}

TEST_F(SettingsWindows, WaveformViewRateChangeStoresNoBandwidth) {
    Harness& run = started();
    TForm1& f = *run.form1;
    TForm2& d = *run.form2;
    d.AudioBandwidth->SetPosition(3000);
    f.SonaBandwidth = 3500;
    f.WaveButton->click();
    EXPECT_EQ(f.DisplayMode, kWaveformMode);
    EXPECT_FALSE(d.AudioBandwidth->isEnabled());
    EXPECT_FALSE(d.AVG->isEnabled());
    d.Sample48->SetChecked(true);
    EXPECT_EQ(f.SampleRate, 48000);
    EXPECT_EQ(f.WaveSampleRate, 48000);
    EXPECT_EQ(d.AudioBandwidth->Position(), 12000); // clamped all the same
    EXPECT_EQ(f.SpecBandwidth, 3000);
    EXPECT_EQ(f.SonaBandwidth, 3500);
    EXPECT_EQ(f.SpecSampleRate, 8000);
}

TEST_F(SettingsWindows, SamplingSpeedBoxSwitchesTheRefreshTimer) {
    Harness& run = started();
    TForm1& f = *run.form1;
    TForm2& d = *run.form2;
    EXPECT_EQ(d.pSpeed->text(), "100");
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_FALSE(d.tbSpeed->isEnabled());
    d.cbSampleSpeed->click();
    EXPECT_TRUE(d.tbSpeed->isEnabled());
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(f.Timer1->interval(), 100);
    d.tbSpeed->SetPosition(250);
    EXPECT_EQ(f.Timer1->interval(), 250);
    EXPECT_EQ(d.pSpeed->text(), "250");
    d.cbSampleSpeed->click();
    EXPECT_FALSE(d.tbSpeed->isEnabled());
    EXPECT_FALSE(f.Timer1->isActive());
}

TEST_F(SettingsWindows, ChoosingTheCheckedRateDoesNothing) {
    Harness& run = started();
    run.blocks(3);
    run.device.clearLog();
    const int opens = run.device.opens();
    run.form2->Sample8->click();
    run.pump();
    EXPECT_TRUE(run.device.log().empty());
    EXPECT_EQ(run.device.opens(), opens);
    EXPECT_EQ(run.form1->SampleRate, 8000);
}

struct GainCase {
    const char* name;
    TrackBar* TForm2::*bar;
    QLabel* TForm2::*panel;
    std::uint16_t TForm1::*value;
};

class GainBars : public SettingsWindows, public ::testing::WithParamInterface<GainCase> {};

TEST_P(GainBars, PositionReachesTheValueAndItsPanelAtOnce) {
    const GainCase c = GetParam();
    Harness& run = started();
    (run.form2->*c.bar)->SetPosition(37);
    EXPECT_EQ(run.form1->*c.value, 37);
    EXPECT_EQ((run.form2->*c.panel)->text(), "37");
}

INSTANTIATE_TEST_SUITE_P(ThreeBars, GainBars,
                         ::testing::Values(GainCase{"SpecGain", &TForm2::SpecGain,
                                                    &TForm2::pSpecGain, &TForm1::SpecGainValue},
                                           GainCase{"Wavegain", &TForm2::Wavegain,
                                                    &TForm2::pWavegain, &TForm1::WaveGainValue},
                                           GainCase{"AVG", &TForm2::AVG, &TForm2::pAVG,
                                                    &TForm1::AvgCount}),
                         [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------ the rates

TEST_F(SettingsWindows, ProbingEnablesOnlyAcceptedRatesAndChecksNothing) {
    Harness& run = *h;
    run.create();
    run.device.setAcceptedRates({8000, 11025});
    TForm2& d = *run.form2;
    run.form1->DriverGetSampleRate();
    EXPECT_TRUE(d.Sample8->isEnabled());
    EXPECT_TRUE(d.Sample11->isEnabled());
    EXPECT_FALSE(d.Sample22->isEnabled());
    EXPECT_FALSE(d.Sample44->isEnabled());
    EXPECT_FALSE(d.Sample48->isEnabled());
    EXPECT_EQ(checkedRate(d), d.Sample48); // as laid out
    EXPECT_EQ(run.form1->Wave.WaveInHandle, 0u);
}

class OddRate : public SettingsWindows, public ::testing::WithParamInterface<int> {};

TEST_P(OddRate, ChecksEightKilohertz) {
    Harness& run = started();
    run.form2->Sample22->SetChecked(true);
    run.form1->SetSampleRate(static_cast<std::uint16_t>(GetParam()));
    EXPECT_EQ(checkedRate(*run.form2), run.form2->Sample8);
    EXPECT_EQ(run.form1->SampleRate, 8000);
}

INSTANTIATE_TEST_SUITE_P(NotOneOfTheFive, OddRate, ::testing::Values(0, 1, 7999, 44101, 65535));

TEST_F(SettingsWindows, RateChangeWhileRecordingReopensTheDeviceAtTheNewRate) {
    Harness& run = started();
    run.blocks(4);
    ASSERT_TRUE(run.device.isRecording());
    run.form2->Sample22->click();
    run.pump();
    run.blocks(2);
    EXPECT_TRUE(run.device.isRecording());
    EXPECT_EQ(run.device.rate(), 22050u);
    EXPECT_EQ(run.device.opens(), 2);
    EXPECT_TRUE(run.boxes.empty());
}

TEST_F(SettingsWindows, SecondRateChangeBeforeTheReopenOpensAtTheLastRate) {
    Harness& run = started();
    run.blocks(2);
    run.form2->Sample22->click();
    run.form2->Sample44->click(); // before the device-closed notification
    run.pump();
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_FALSE(run.form1->IsClosed());
    EXPECT_TRUE(run.device.isRecording());
    EXPECT_EQ(run.device.rate(), 44100u);
}

// Spectrum at 22050 with the bar at 11025, sonagraph stored at 11025 with
// 5512: the sonagraph restarts at 11025 with 5512.
// Spectrum at 8000 with the bar at 4000, sonagraph stored at 22050 with 8000:
// 8000 is first held in 2000..4000 (4000), then raised into 5512..11025.
struct SwitchCase {
    int specRate, specBandwidth, sonaRate, sonaBandwidth;
    int expectedRate, expectedBandwidth;
};

class SwitchToSonagraph : public SettingsWindows,
                          public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchToSonagraph, RestartsAtTheStoredRateWithTheBandwidthPassedThroughBothBands) {
    const SwitchCase c = GetParam();
    Harness& run = started();
    TForm1& f = *run.form1;
    TForm2& d = *run.form2;
    f.SonaSampleRate = static_cast<std::uint16_t>(c.sonaRate);
    f.SonaBandwidth = static_cast<std::uint16_t>(c.sonaBandwidth);
    f.SetSampleRate(static_cast<std::uint16_t>(c.specRate));
    d.AudioBandwidth->SetPosition(c.specBandwidth);
    run.pump();
    run.blocks(2);

    f.SonaButton->click();
    run.pump();
    run.blocks(2);
    EXPECT_EQ(f.DisplayMode, kSonagraphMode);
    EXPECT_EQ(f.SampleRate, c.expectedRate);
    EXPECT_EQ(f.SonaSampleRate, c.expectedRate);
    EXPECT_EQ(f.SonaBandwidth, c.expectedBandwidth);
    EXPECT_EQ(f.Bandwidth, c.expectedBandwidth);
    EXPECT_EQ(d.AudioBandwidth->Position(), c.expectedBandwidth);
    EXPECT_EQ(f.SpecSampleRate, c.specRate);
    EXPECT_EQ(f.SpecBandwidth, c.specBandwidth);
    EXPECT_EQ(run.device.rate(), static_cast<std::uint32_t>(c.expectedRate));
    EXPECT_TRUE(run.device.isRecording());
    EXPECT_TRUE(run.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, SwitchToSonagraph,
                         ::testing::Values(SwitchCase{22050, 11025, 11025, 5512, 11025, 5512},
                                           SwitchCase{8000, 4000, 22050, 8000, 22050, 5512}));

// ------------------------------------------------------------ the file

TEST_F(SettingsWindows, NoFileStartsOnTheDefaults) {
    Harness& run = started();
    TForm1& f = *run.form1;
    TForm2& d = *run.form2;
    EXPECT_EQ(f.DisplayMode, kSpectrumMode);
    EXPECT_TRUE(f.Specbutton->isChecked());
    EXPECT_EQ(f.SampleRate, 8000);
    EXPECT_EQ(checkedRate(d), d.Sample8);
    EXPECT_EQ(f.Bandwidth, 4000);
    for (std::uint16_t rate : {f.SpecSampleRate, f.SonaSampleRate, f.WaveSampleRate})
        EXPECT_EQ(rate, 8000);
    EXPECT_EQ(f.SpecBandwidth, 4000);
    EXPECT_EQ(f.SonaBandwidth, 4000);
    EXPECT_EQ(f.MarkPos, 50);
    EXPECT_EQ(f.SpacePos, 100);
    EXPECT_EQ(f.SpecGainValue, 1);
    EXPECT_EQ(f.WaveGainValue, 1);
    EXPECT_EQ(f.AvgCount, 0);
    EXPECT_EQ(f.OuterHeight(), 200);
    EXPECT_EQ(d.pSpecGain->text(), "000");
    EXPECT_EQ(d.pWavegain->text(), "000");
    EXPECT_EQ(d.pAVG->text(), "000");
    EXPECT_EQ(d.pSpeed->text(), "100");
    EXPECT_FALSE(f.fskbutton->isChecked());
    EXPECT_FALSE(f.cwbutton->isChecked());
    EXPECT_EQ(run.device.rate(), 8000u);
    EXPECT_TRUE(run.boxes.empty());
}

TEST_F(SettingsWindows, ShortFileGivesTheDefaults) {
    const auto whole = EncodeSettings(validRecord());
    writeFile({whole.begin(), whole.begin() + 55});
    Harness& run = started();
    EXPECT_EQ(run.form1->MarkPos, 50);
    EXPECT_EQ(run.form1->SpecGainValue, 1);
    EXPECT_EQ(run.form1->OuterHeight(), 200);
}

// One stored value changed from a valid record, and what the start makes of it.
struct StoredCase {
    const char* name;
    std::function<void(SettingsRecord&)> store;
    std::function<void(Harness&)> check;
};

class StoredValue : public SettingsWindows, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredValue, StartsAsExpected) {
    SettingsRecord r = validRecord();
    GetParam().store(r);
    writeRecord(r);
    Harness& run = started();
    GetParam().check(run);
    EXPECT_TRUE(run.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, StoredValue,
    ::testing::Values(
        StoredCase{"ValidRecord", [](SettingsRecord&) {},
                   [](Harness& run) {
                       TForm1& f = *run.form1;
                       EXPECT_EQ(f.MarkPos, 120);
                       EXPECT_EQ(f.SpacePos, 240);
                       EXPECT_EQ(f.AvgCount, 10);
                       EXPECT_EQ(f.SpecGainValue, 20);
                       EXPECT_EQ(f.WaveGainValue, 30);
                       EXPECT_EQ(f.Bandwidth, 3000);
                       EXPECT_EQ(f.OuterHeight(), 300);
                       EXPECT_EQ(f.OuterWidth(), 500);
                       EXPECT_EQ(f.x(), 200);
                       EXPECT_EQ(f.y(), 100);
                       EXPECT_EQ(run.form2->pAVG->text(), "10");
                   }},
        StoredCase{"DisplayModeZero", [](SettingsRecord& r) { r.DisplayMode = 0; },
                   [](Harness& run) {
                       EXPECT_EQ(run.form1->DisplayMode, kSpectrumMode);
                       EXPECT_TRUE(run.form1->Specbutton->isChecked());
                   }},
        StoredCase{"Waveform",
                   [](SettingsRecord& r) {
                       r.DisplayMode = kWaveformMode;
                       r.WaveSampleRate = 22050;
                   },
                   [](Harness& run) {
                       EXPECT_TRUE(run.form1->WaveButton->isChecked());
                       EXPECT_FALSE(run.form1->Specbutton->isChecked());
                       EXPECT_EQ(run.form1->SampleRate, 22050);
                       EXPECT_EQ(run.device.rate(), 22050u);
                   }},
        StoredCase{"Sonagraph",
                   [](SettingsRecord& r) {
                       r.DisplayMode = kSonagraphMode;
                       r.SonaSampleRate = 11025;
                       r.SonaBandwidth = 5000;
                   },
                   [](Harness& run) {
                       EXPECT_TRUE(run.form1->SonaButton->isChecked());
                       EXPECT_EQ(run.form1->SampleRate, 11025);
                       EXPECT_EQ(run.form1->Bandwidth, 5000);
                   }},
        // 1000 is kept where the screen is that wide; the offscreen test
        // screen is narrower, so the window comes back until its top-left
        // 100 x 50 pixels are on it.
        StoredCase{"LeftEdge1000", [](SettingsRecord& r) { r.WindowLeft = 1000; },
                   [](Harness& run) {
                       const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
                       EXPECT_EQ(run.form1->x(), std::min(1000, free.right() + 1 - 100));
                   }},
        StoredCase{"OffTheScreen",
                   [](SettingsRecord& r) {
                       r.WindowLeft = 1000;
                       r.WindowTop = 1000;
                   },
                   [](Harness& run) {
                       const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
                       ASSERT_LT(free.right(), 1000) << "the test needs a screen below 1000 x 1000";
                       EXPECT_TRUE(free.contains(QRect(run.form1->pos(), QSize(100, 50))))
                           << run.form1->x() << ", " << run.form1->y();
                   }},
        StoredCase{"LeftEdge1001", [](SettingsRecord& r) { r.WindowLeft = 1001; },
                   [](Harness& run) { EXPECT_EQ(run.form1->x(), 0); }},
        StoredCase{"LeftEdgeNegative", [](SettingsRecord& r) { r.WindowLeft = 65528; },
                   [](Harness& run) { EXPECT_EQ(run.form1->x(), 0); }},
        StoredCase{"TopEdgeNegative", [](SettingsRecord& r) { r.WindowTop = 65528; },
                   [](Harness& run) { EXPECT_EQ(run.form1->y(), 0); }},
        StoredCase{"SizeOutsideTheLimits",
                   [](SettingsRecord& r) {
                       r.WindowHeight = 5;
                       r.WindowWidth = 4000;
                   },
                   [](Harness& run) {
                       EXPECT_EQ(run.form1->OuterHeight(), 200);
                       EXPECT_EQ(run.form1->OuterWidth(), 520);
                   }},
        StoredCase{"Gain250", [](SettingsRecord& r) { r.SpecGainValue = 250; },
                   [](Harness& run) {
                       EXPECT_EQ(run.form1->SpecGainValue, 100);
                       EXPECT_EQ(run.form2->SpecGain->Position(), 100);
                       EXPECT_EQ(run.form2->pSpecGain->text(), "100");
                   }},
        StoredCase{"AvgCountZero", [](SettingsRecord& r) { r.AvgCount = 0; },
                   [](Harness& run) {
                       EXPECT_EQ(run.form1->AvgCount, 0);
                       EXPECT_EQ(run.form2->AVG->Position(), 1);
                   }},
        StoredCase{"CwTracking", [](SettingsRecord& r) { r.TrackMode = kTrackCw; },
                   [](Harness& run) {
                       EXPECT_TRUE(run.form1->cwbutton->isChecked());
                       EXPECT_FALSE(run.form1->fskbutton->isChecked());
                   }},
        StoredCase{"FskTracking", [](SettingsRecord& r) { r.TrackMode = kTrackFsk; },
                   [](Harness& run) {
                       EXPECT_TRUE(run.form1->fskbutton->isChecked());
                       EXPECT_FALSE(run.form1->cwbutton->isChecked());
                       EXPECT_EQ(run.form1->TrackMode, kTrackFsk);
                   }},
        StoredCase{"TimedRefresh",
                   [](SettingsRecord& r) {
                       r.SamplingSpeedChecked = false;
                       r.UpdateInterval = 300;
                   },
                   [](Harness& run) {
                       EXPECT_TRUE(run.form1->Timer1->isActive());
                       EXPECT_EQ(run.form1->Timer1->interval(), 300);
                       EXPECT_EQ(run.form2->pSpeed->text(), "300");
                   }},
        StoredCase{"BinWidthIgnored", [](SettingsRecord& r) { r.BinWidth = -1e300; },
                   [](Harness& run) { EXPECT_DOUBLE_EQ(run.form1->BinWidth, 15.625); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsWindows, EverySettingComesBackAtTheNextStart) {
    Harness& run = started();
    TForm1& f = *run.form1;
    TForm2& d = *run.form2;
    // Each view with its own rate and bandwidth.
    d.Sample22->SetChecked(true);
    d.AudioBandwidth->SetPosition(8000);
    f.WaveButton->click();
    d.Sample11->SetChecked(true);
    f.SonaButton->click();
    d.Sample44->SetChecked(true);
    d.AudioBandwidth->SetPosition(15000);
    d.SpecGain->SetPosition(37);
    d.Wavegain->SetPosition(64);
    d.AVG->SetPosition(12);
    d.FlowButton->SetChecked(true);
    d.cbTrigger->SetChecked(false);
    d.cbSampleSpeed->SetChecked(false);
    d.tbSpeed->SetPosition(350);
    f.MarkPos = 77;
    f.SpacePos = 300;
    // What the FSK button's click does (the tracker keeps TrackMode live).
    f.fskbutton->setChecked(true);
    f.TrackMode = kTrackFsk;
    f.SetOuterHeight(400);
    f.SetOuterWidth(450);
    f.move(123, 45);
    run.pump();
    closeRun(run);

    const std::vector<std::uint8_t> first = fileBytes(cfg());
    ASSERT_EQ(first.size(), kSettingsRecordSize);
    SettingsRecord stored;
    DecodeSettings(first.data(), first.size(), stored);
    SettingsRecord expected;
    expected.DisplayMode = kSonagraphMode;
    expected.MarkPos = 77;
    expected.SpacePos = 300;
    expected.AvgCount = 12;
    expected.WaveSampleRate = 11025;
    expected.SonaSampleRate = 44100;
    expected.SonaBandwidth = 15000;
    expected.SpecSampleRate = 22050;
    expected.SpecBandwidth = 8000;
    expected.SpecGainValue = 37;
    expected.WaveGainValue = 64;
    expected.BinWidth = 22050.0 / 256;
    expected.BandwidthPos = 15000;
    expected.WindowTop = 45;
    expected.WindowLeft = 123;
    expected.WindowHeight = 400;
    expected.WindowWidth = 450;
    expected.FlowChecked = true;
    expected.TrackMode = kTrackFsk;
    expected.UpdateInterval = 350;
    expected.SamplingSpeedChecked = false;
    expected.NyquistChecked = false;
    expected.TriggerChecked = false;
    EXPECT_EQ(stored, expected);

    // The next start, in the same folder, comes up as the run was left and
    // writes the same record back.
    Harness next;
    std::filesystem::copy_file(cfg(), next.settingsPath());
    next.start();
    TForm1& g = *next.form1;
    TForm2& e = *next.form2;
    EXPECT_TRUE(g.SonaButton->isChecked());
    EXPECT_TRUE(g.fskbutton->isChecked());
    EXPECT_EQ(g.SampleRate, 44100);
    EXPECT_EQ(g.Bandwidth, 15000);
    EXPECT_EQ(next.device.rate(), 44100u);
    EXPECT_EQ(g.MarkPos, 77);
    EXPECT_EQ(g.SpecGainValue, 37);
    EXPECT_EQ(e.pWavegain->text(), "64");
    EXPECT_EQ(g.AvgCount, 12);
    EXPECT_TRUE(e.FlowButton->Checked());
    EXPECT_FALSE(e.cbTrigger->Checked());
    EXPECT_TRUE(g.Timer1->isActive());
    EXPECT_EQ(g.Timer1->interval(), 350);
    EXPECT_EQ(g.x(), 123);
    EXPECT_EQ(g.y(), 45);
    EXPECT_EQ(g.OuterWidth(), 450);
    EXPECT_EQ(g.OuterHeight(), 400);
    closeRun(next);
    EXPECT_EQ(fileBytes(next.settingsPath()), first);
}

TEST_F(SettingsWindows, ReadOnlyFileIsTreatedAsMissingAndKeptAtTheClose) {
    SettingsRecord r = validRecord();
    r.MarkPos = 222;
    writeRecord(r);
    QFile::setPermissions(QString::fromStdString(cfg()), QFile::ReadOwner | QFile::ReadGroup);
    const auto kept = EncodeSettings(r);
    {
        Harness& run = started();
        EXPECT_EQ(run.form1->MarkPos, 50);
        closeRun(run);
        EXPECT_TRUE(run.boxes.empty());
    }
    EXPECT_EQ(fileBytes(cfg()), std::vector<std::uint8_t>(kept.begin(), kept.end()));
    QFile::setPermissions(QString::fromStdString(cfg()), QFile::ReadOwner | QFile::WriteOwner);
}

// Whatever the file holds, the program starts with its controls in range,
// records and closes. Random contents with a fixed seed, plus edge values.
struct ContentCase {
    int size;
    int fill; // -1: random bytes
    unsigned seed = 0;
};

class AnyFileContent : public SettingsWindows, public ::testing::WithParamInterface<ContentCase> {};

TEST_P(AnyFileContent, StartsRunsAndClosesCleanly) {
    const ContentCase c = GetParam();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(c.size));
    std::mt19937 random(4242u + 1000u * c.seed + static_cast<unsigned>(c.size));
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(c.fill >= 0 ? c.fill : random() & 0xFF);
    writeFile(bytes);

    Harness& run = started();
    TForm1& f = *run.form1;
    TForm2& d = *run.form2;
    for (TrackBar* bar : {d.SpecGain, d.Wavegain, d.AVG, d.AudioBandwidth, d.tbSpeed}) {
        EXPECT_GE(bar->Position(), bar->Min());
        EXPECT_LE(bar->Position(), bar->Max());
    }
    EXPECT_LE(f.SpecGainValue, 100);
    EXPECT_LE(f.WaveGainValue, 100);
    EXPECT_LE(f.AvgCount, 100);
    EXPECT_GE(f.OuterWidth(), 100);
    EXPECT_LE(f.OuterWidth(), 520);
    EXPECT_GE(f.OuterHeight(), 200);
    EXPECT_LE(f.OuterHeight(), 600);
    EXPECT_GE(f.x(), 0);
    EXPECT_LE(f.x(), 1000);
    EXPECT_GE(f.y(), 0);
    EXPECT_LE(f.y(), 1000);
    EXPECT_EQ(f.Specbutton->isChecked() + f.WaveButton->isChecked() + f.SonaButton->isChecked(), 1);
    ASSERT_NE(checkedRate(d), nullptr);
    EXPECT_EQ(f.SampleRate, checkedRate(d)->Value());
    EXPECT_TRUE(run.boxes.empty());
    run.blocks(20);
    f.Timer1Timer();
    EXPECT_TRUE(run.device.isRecording());
    closeRun(run);
    EXPECT_TRUE(f.IsClosed());
    EXPECT_FALSE(run.device.isOpen());
}

std::vector<ContentCase> contentCases() {
    std::vector<ContentCase> cases;
    for (int size : {0, 1, 7, 33, 47, 55, 56, 57, 64, 100, 128, 200})
        cases.push_back({size, -1});
    for (int fill : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
        cases.push_back({56, fill});
        cases.push_back({200, fill});
    }
    for (unsigned seed = 1; seed <= 8; ++seed)
        cases.push_back({56, -1, seed});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Generated, AnyFileContent, ::testing::ValuesIn(contentCases()));

} // namespace

namespace {

// What the operator sees of the rate and the bandwidth. The waveform view
// shows no bandwidth: its bar is disabled and not stored, and Bandwidth,
// which nothing in that view shows, is half the view's rate only after
// entering it.
std::string rateState(Harness& run) {
    TForm1& f = *run.form1;
    TrackBar& bar = *run.form2->AudioBandwidth;
    std::string s = std::to_string(f.SampleRate) + "/s, bar " + std::to_string(bar.Min()) + ".." +
                    std::to_string(bar.Max()) + ", labels " + f.MaxAudioFreq->text().toStdString() +
                    " " + f.Label1->text().toStdString() +
                    (run.form2->cbNyquist->Checked() ? ", Nyquist" : "");
    if (!f.WaveButton->isChecked())
        s += ", bandwidth " + std::to_string(f.Bandwidth) + " at " +
             std::to_string(bar.Position()) + " " + run.form2->pBandwidth->text().toStdString();
    return s;
}

struct RoundTrip {
    QToolButton* TForm1::*view;
    int rate;
    bool nyquist;
};

class RateRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

std::vector<RoundTrip> everyRateState() {
    std::vector<RoundTrip> cases;
    for (auto view : {&TForm1::Specbutton, &TForm1::WaveButton, &TForm1::SonaButton})
        for (int rate : {8000, 11025, 22050, 44100, 48000})
            for (bool nyquist : {false, true})
                cases.push_back({view, rate, nyquist});
    return cases;
}

} // namespace

// Every state of the rate, the bandwidth and "Nyquist Bandwidth" that the
// dialog can produce, in each view, comes back after a restart.
TEST_P(RateRoundTrip, ComesBackAfterARestart) {
    const RoundTrip c = GetParam();
    Harness first;
    first.start();
    (first.form1->*c.view)->click();
    first.form1->RateButton(static_cast<std::uint16_t>(c.rate))->SetChecked(true);
    first.form2->cbNyquist->SetChecked(c.nyquist);
    const std::string before = rateState(first);
    ASSERT_EQ(first.form1->SampleRate, c.rate);
    first.form1->CloseWindow();

    Harness next;
    std::filesystem::copy_file(first.settingsPath(), next.settingsPath());
    next.start();
    EXPECT_EQ(rateState(next), before);
    EXPECT_EQ(next.device.rate(), static_cast<unsigned>(c.rate));
    if (c.view == &TForm1::WaveButton) {
        EXPECT_EQ(next.form1->Bandwidth, c.rate / 2);
    }
}

INSTANTIATE_TEST_SUITE_P(AllStates, RateRoundTrip, ::testing::ValuesIn(everyRateState()));
