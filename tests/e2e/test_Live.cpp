// The program on a real display and the real sound input, driven like a user
// would: the private PulseAudio plays 1000 Hz, the defaults show 8000/s with
// a bandwidth of 4000 Hz.
#include "display/ImageView.h"
#include "support/LiveProgram.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// The column of the highest point of the trace (smallest y; the tone is
// strong enough to run off the top of the picture, so the pixels alone do
// not tell its column).
int peakColumn(const TForm1& form) {
    const auto& points = form.SpecPoints;
    const auto top = std::min_element(points.begin() + 2, points.begin() + 256,
                                      [](const auto& a, const auto& b) { return a.y < b.y; });
    return top->x;
}

} // namespace

TEST_F(Live, TheToneStandsAtItsColumnAndTheMarkCursorReadsItsFrequency) {
    LiveProgram prog;
    ASSERT_TRUE(waitFor([&] { return prog.form().BlocksReceived >= 20; }, 5000));
    EXPECT_EQ(prog.form().MaxAudioFreq->text(), "4000");

    // 1000 Hz at 15.625 Hz per bin is bin 64, drawn two columns per bin.
    const int peak = peakColumn(prog.form());
    EXPECT_EQ(peak, 128);
    // The trace is drawn there: it leaves the top row within a column of it
    // (the steep flanks cross row 0 just beside the point).
    const QImage& picture = prog.form().SpecDisplay->picture();
    int topColumns = 0;
    for (int x = 0; x < picture.width(); ++x)
        if (picture.pixel(x, 0) == qRgb(0, 0, 255)) {
            EXPECT_NEAR(x, peak, 2);
            ++topColumns;
        }
    EXPECT_GT(topColumns, 0);
    EXPECT_EQ(picture.pixel(300, 10), qRgb(255, 255, 255));

    // Drag the mark cursor onto the peak.
    ImageView* display = prog.form().SpecDisplay;
    QTest::mousePress(display, Qt::LeftButton, {}, QPoint(60, 40));
    QTest::mouseMove(display, QPoint(peak, 40));
    QTest::mouseRelease(display, Qt::LeftButton, {}, QPoint(peak, 40));
    EXPECT_EQ(prog.form().MarkPos, peak);
    bool ok = false;
    const double reading = prog.form().MarkLabel->text().toDouble(&ok);
    ASSERT_TRUE(ok) << prog.form().MarkLabel->text().toStdString();
    EXPECT_NEAR(reading, 1000.0, 15.625);

    prog.form().grab().save(QStringLiteral("e2e_spectrum.png"));
    EXPECT_TRUE(prog.boxes.empty());
}

TEST_F(Live, ARateChosenInTheDialogRestartsTheCaptureAtItsPace) {
    LiveProgram prog;
    ASSERT_TRUE(waitFor([&] { return prog.form().BlocksReceived >= 5; }, 5000));

    prog.form().SettingsClick();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&prog.dialog()));
    RadioButton* rate22 = prog.dialog().Sample22;
    ASSERT_TRUE(rate22->isEnabled());
    QTest::mouseClick(rate22, Qt::LeftButton, {}, QPoint(8, rate22->height() / 2));
    ASSERT_TRUE(rate22->isChecked());
    EXPECT_EQ(prog.form().SampleRate, 22050);
    EXPECT_EQ(prog.form().SpecSampleRate, 22050);

    // Let the new stream settle, then count blocks for two seconds.
    runEventsFor(700);
    const auto first = prog.form().BlocksReceived;
    QElapsedTimer t;
    t.start();
    runEventsFor(2000);
    const double blocks = static_cast<double>(prog.form().BlocksReceived - first);
    const double expected = t.elapsed() / 1000.0 * 22050 / 512;
    EXPECT_NEAR(blocks, expected, expected * 0.06);
    EXPECT_EQ(prog.form().MaxAudioFreq->text(), "5512") << "the bandwidth moved to the new band";
    EXPECT_TRUE(prog.boxes.empty());
}
