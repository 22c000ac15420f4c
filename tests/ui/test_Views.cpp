// The three views and the tracking buttons on the main window, with the
// simulated device.
#include "display/ImageView.h"
#include "ui/Harness.h"

#include <QLabel>
#include <QPaintEvent>
#include <QToolButton>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct ViewCase {
    const char* name;
    QToolButton* TForm1::*button;
    std::int16_t mode;
    std::uint16_t rate; // each view's own stored rate, set below
    const char *unit, *rightEdge;
    bool bandwidth, averaging, tracking;
    int strip;
};

// A stored bandwidth is first held inside the band of the rate it leaves
// (2000 … 4000 Hz at 8000/s), hence 3999 and 11025 at the right edge.
const ViewCase kViews[] = {
    {"Spectrum", &TForm1::Specbutton, kSpectrumMode, 11025, "hz", "3999", true, true, true, 1},
    {"Waveform", &TForm1::WaveButton, kWaveformMode, 22050, "ms", "23", false, false, false, 1},
    {"Sonagraph", &TForm1::SonaButton, kSonagraphMode, 44100, "hz", "11025", true, false, true, 10},
};

class Views : public ::testing::TestWithParam<ViewCase> {};

TEST_P(Views, EachViewSetsUpItsControlsAndRate) {
    const ViewCase& c = GetParam();
    Harness h;
    h.start();
    TForm1& f = *h.form1;
    f.SpecSampleRate = 11025;
    f.SpecBandwidth = 5512;
    f.WaveSampleRate = 22050;
    f.SonaSampleRate = 44100;
    f.SonaBandwidth = 22050;
    f.fskbutton->click(); // a disabled button keeps its state
    (f.*c.button)->click();
    h.pump();
    EXPECT_EQ(f.DisplayMode, c.mode);
    EXPECT_EQ(f.SampleRate, c.rate);
    EXPECT_EQ(h.device.rate(), c.rate);
    EXPECT_EQ(f.Label1->text(), c.unit);
    EXPECT_EQ(f.Label3->text(), c.unit);
    EXPECT_EQ(f.MaxAudioFreq->text(), c.rightEdge);
    EXPECT_EQ(h.form2->AudioBandwidth->isEnabled(), c.bandwidth);
    EXPECT_EQ(h.form2->AVG->isEnabled(), c.averaging);
    EXPECT_EQ(f.fskbutton->isEnabled(), c.tracking);
    EXPECT_EQ(f.cwbutton->isEnabled(), c.tracking);
    EXPECT_TRUE(f.fskbutton->isChecked());
    EXPECT_EQ(f.CursorDisplay->height(), c.strip);
    EXPECT_EQ(f.SpecDisplay->y(), c.strip);
}

INSTANTIATE_TEST_SUITE_P(ThreeViews, Views, ::testing::ValuesIn(kViews),
                         [](const auto& info) { return std::string(info.param.name); });

// Presses of the tracking buttons (f: fskbutton, c: cwbutton): at most one
// is down, a second press releases it, TrackMode follows.
TEST(Tracking, ButtonsFormAGroupInWhichBothMayBeUp) {
    Harness h;
    h.start();
    TForm1& f = *h.form1;
    const std::pair<const char*, std::int16_t> cases[] = {
        {"f", kTrackFsk}, {"ff", kTrackNone}, {"fc", kTrackCw}, {"cf", kTrackFsk}, {"cc", 0}};
    for (auto [presses, mode] : cases) {
        f.fskbutton->setChecked(false);
        f.cwbutton->setChecked(false);
        for (const char* p = presses; *p != 0; ++p)
            (*p == 'f' ? f.fskbutton : f.cwbutton)->click();
        EXPECT_EQ(f.TrackMode, mode) << presses;
        EXPECT_EQ(f.fskbutton->isChecked(), mode == kTrackFsk) << presses;
        EXPECT_EQ(f.cwbutton->isChecked(), mode == kTrackCw) << presses;
    }
}

// Two tones on bins 64 and 72 at 8000/s: each refresh moves the tracked
// cursors onto them, in the spectrum and the sonagraph view; the waveform
// view never tracks.
// A Sweep row written into the picture repaints that row alone, and the cursor
// strip, cleared and redrawn on every refresh, only when a cursor moves: the
// window system is not asked to copy what has not changed.
TEST(SonagraphRefresh, SweepRepaintsItsRowAndTheStripOnlyWhenACursorMoves) {
    struct PaintLog : QObject {
        std::vector<QRect> rects;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) rects.push_back(static_cast<QPaintEvent*>(e)->rect());
            return false;
        }
    } display, strip;
    Harness h;
    h.start();
    TForm1& f = *h.form1;
    f.SonaButton->click();
    h.blocks(2);
    f.SpecDisplay->installEventFilter(&display);
    f.CursorDisplay->installEventFilter(&strip);
    const int row = f.SweepRow;
    h.blocks(1);
    ASSERT_EQ(display.rects.size(), 1u);
    EXPECT_EQ(display.rects[0], QRect(0, row, f.SpecDisplay->width(), 1));
    EXPECT_TRUE(strip.rects.empty());

    f.MarkPos = 200;
    h.blocks(1);
    EXPECT_EQ(strip.rects.size(), 1u);
}

TEST(Tracking, EveryRefreshMovesTheTrackedCursors) {
    Harness h;
    h.device.setSignal([](std::int16_t* out, std::size_t n, std::uint64_t first, std::uint32_t) {
        for (std::size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(first + i) / 8000;
            out[i] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 1000 * t) +
                                               6000 * std::sin(2 * M_PI * 1125 * t));
        }
    });
    h.start();
    TForm1& f = *h.form1;
    f.cwbutton->click();
    h.blocks(8);
    EXPECT_EQ(f.MarkPos, 128);
    EXPECT_EQ(f.SpacePos, 100);
    EXPECT_EQ(f.MarkLabel->text(), "1000");

    f.SonaButton->click();
    f.fskbutton->click();
    f.MarkPos = 5;
    h.blocks(2);
    EXPECT_EQ(f.MarkPos, 128);
    EXPECT_EQ(f.SpacePos, 144);
    EXPECT_EQ(f.Panel5->text(), "125");

    f.WaveButton->click();
    f.MarkPos = 5;
    h.blocks(2);
    EXPECT_EQ(f.MarkPos, 5);
}

} // namespace
