// The waveform and sonagraph views on the real sound input: the private
// PulseAudio plays 1000 Hz, the defaults record 8000 samples a second, so one
// period is 8 samples.
#include "display/ImageView.h"
#include "support/LiveProgram.h"
#include "support/SoundServer.h"

#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <clocale>
#include <gtest/gtest.h>
#include <vector>

namespace {

// For each column, the topmost row of the blue trace (or the height).
std::vector<int> traceTops(const QImage& picture) {
    std::vector<int> top(picture.width(), picture.height());
    for (int x = 0; x < picture.width(); ++x)
        for (int y = 0; y < picture.height(); ++y)
            if (picture.pixel(x, y) == qRgb(0, 0, 255)) {
                top[x] = y;
                break;
            }
    return top;
}

// Share of the columns first … last − period whose top repeats `period` columns on.
double repeats(const std::vector<int>& top, int period, int first, int last) {
    int same = 0;
    for (int x = first; x < last - period; ++x)
        same += top[x] == top[x + period];
    return static_cast<double>(same) / (last - period - first);
}

} // namespace

TEST_F(Live, WaveformRepeatsEveryPeriodAndTriggersOnACrest) {
    LiveProgram prog;
    TForm1& f = prog.form();
    QTest::mouseClick(f.WaveButton, Qt::LeftButton);
    ASSERT_EQ(f.DisplayMode, kWaveformMode);
    EXPECT_EQ(f.MaxAudioFreq->text(), "64");

    prog.dialog().cbTrigger->SetChecked(false);
    auto blocks = f.BlocksReceived;
    ASSERT_TRUE(waitFor([&] { return f.BlocksReceived >= blocks + 10; }, 3000));
    std::vector<int> top = traceTops(f.SpecDisplay->picture());
    EXPECT_GT(repeats(top, 8, 1, 511), 0.95);
    EXPECT_LT(repeats(top, 4, 1, 511), 0.5);
    f.grab().save(QStringLiteral("e2e_waveform.png"));

    prog.dialog().cbTrigger->SetChecked(true);
    blocks = f.BlocksReceived;
    ASSERT_TRUE(waitFor([&] { return f.BlocksReceived >= blocks + 10; }, 3000));
    top = traceTops(f.SpecDisplay->picture());
    EXPECT_GT(repeats(top, 16, 2, 510), 0.95);
    EXPECT_LT(repeats(top, 8, 2, 510), 0.5);
    // The trigger sample (column 0, not drawn) is a crest: the highest point
    // of the half block, which the trace reaches again 16 columns on (within
    // a pixel: the next crest may be a sample lower).
    const auto& points = f.WavePoints;
    const auto crest = std::min_element(points.begin(), points.begin() + 256,
                                        [](auto a, auto b) { return a.y < b.y; });
    EXPECT_EQ(points[0].y, crest->y);
    EXPECT_LE(top[16], points[0].y + 1);
    f.grab().save(QStringLiteral("e2e_waveform_triggered.png"));
    EXPECT_TRUE(prog.boxes.empty());
}

// e2e_views_de_DE runs this under LANG=de_DE.UTF-8: Qt then sets the C
// library's locale to German too, and its comma once got into the digits.
TEST_F(Live, WaveformReadOutWritesTheLocalesSeparatorOnce) {
    const bool german = qEnvironmentVariable("LANG").startsWith("de_DE");
    ASSERT_TRUE(!german || *std::localeconv()->decimal_point == ',') << "no de_DE (setup.sh)";
    LiveProgram prog;
    TForm1& f = prog.form();
    QTest::mouseClick(f.WaveButton, Qt::LeftButton);
    prog.dialog().cbTrigger->SetChecked(false);
    // At 8000/s one column is 1/8 ms: 3.125 ms apart, 320 Hz ("3,,13" and "3,2" once).
    QTest::mouseClick(f.SpecDisplay, Qt::LeftButton, {}, QPoint(25, 40));
    QTest::mouseClick(f.SpecDisplay, Qt::RightButton, {}, QPoint(0, 40));
    EXPECT_EQ(f.MarkLabel->text().toStdString(), german ? "3,125" : "3.125");
    EXPECT_EQ(f.Panel5->text().toStdString(), "320");
}

// At gain 1 the tone's trace stands some 1660 pixels high, which gives grey
// 129; everything else is nearly white (253). Column 127 lies between bins 63
// and 64, and its single step takes it to the tone's own level.
TEST_F(Live, SonagraphIsDarkestOnTheTonesColumnInFlowAndSweep) {
    LiveProgram prog;
    TForm1& f = prog.form();
    for (RadioButton* mode : {prog.dialog().FlowButton, prog.dialog().SweepButton}) {
        mode->SetChecked(true);
        QTest::mouseClick(f.SonaButton, Qt::LeftButton); // enters the view afresh: white
        ASSERT_EQ(f.DisplayMode, kSonagraphMode);
        const auto blocks = f.BlocksReceived;
        ASSERT_TRUE(waitFor([&] { return f.BlocksReceived >= blocks + 30; }, 5000));
        const QImage& picture = f.SpecDisplay->picture();
        std::vector<int> darkest;
        int lowest = 256;
        for (int x = 0; x < picture.width(); ++x) {
            const int level = qBlue(picture.pixel(x, 0));
            ASSERT_EQ(picture.pixel(x, 0), qRgb(level, level, level)) << "grey at " << x;
            if (level < lowest) darkest.clear();
            if (level <= lowest) darkest.push_back(x), lowest = level;
        }
        EXPECT_EQ(darkest, (std::vector<int>{127, 128})) << "darkest level " << lowest;
        EXPECT_EQ(qBlue(picture.pixel(300, 0)), 253);
        // The cursors stand in the strip above the picture, not on it.
        EXPECT_EQ(f.CursorDisplay->picture().pixel(f.MarkPos, 9), qRgb(0, 128, 0));
        EXPECT_EQ(picture.pixel(f.MarkPos, 0), qRgb(253, 253, 253));
        f.grab().save(mode == prog.dialog().FlowButton ? QStringLiteral("e2e_flow.png")
                                                       : QStringLiteral("e2e_sweep.png"));

        // The screen shows the picture: Flow lets the window system move
        // what it shows and paints only the new rows, which must add up.
        QTest::mouseClick(f.Onbutton, Qt::LeftButton); // frozen: no more rows
        runEventsFor(200);
        const QPoint at = f.SpecDisplay->mapTo(&f, QPoint(0, 0));
        const QImage shown =
            f.screen()
                ->grabWindow(f.winId(), at.x(), at.y(), picture.width(), picture.height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(shown, picture.convertToFormat(QImage::Format_RGB32));
        QTest::mouseClick(f.Onbutton, Qt::LeftButton);
    }
    EXPECT_TRUE(prog.boxes.empty());
}

// Runs under a sound server of its own (see CMakeLists.txt): a second tone is
// added to its test sink, as an FSK signal's second frequency.
TEST_F(Live, TrackingFollowsTheTones) {
    ASSERT_TRUE(Sound({"tone", "second", "1125", "quarl_tone"}));
    LiveProgram prog;
    TForm1& f = prog.form();
    QTest::mouseClick(f.fskbutton, Qt::LeftButton);
    EXPECT_EQ(f.TrackMode, kTrackFsk);
    // 1000 and 1125 Hz are bins 64 and 72, two columns each at 4000 Hz.
    EXPECT_TRUE(waitFor([&] { return f.MarkPos == 128 && f.SpacePos == 144; }, 5000))
        << f.MarkPos << ", " << f.SpacePos;
    EXPECT_EQ(f.Panel5->text(), "125");
    f.grab().save(QStringLiteral("e2e_fsk.png"));

    ASSERT_TRUE(Sound({"remove", "second"}));
    QTest::mouseClick(f.cwbutton, Qt::LeftButton);
    EXPECT_FALSE(f.fskbutton->isChecked());
    EXPECT_EQ(f.TrackMode, kTrackCw);
    f.SpacePos = 300;
    runEventsFor(1500);
    EXPECT_EQ(f.MarkPos, 128);
    EXPECT_EQ(f.SpacePos, 300);
    EXPECT_TRUE(prog.boxes.empty());
}
