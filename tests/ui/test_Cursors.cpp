// The cursors on the main window: mouse and arrows, the read-out row, the
// redraw while frozen, and the picture the spectrum view draws.
#include "display/ImageView.h"
#include "display/UpDown.h"
#include "ui/Harness.h"

#include <QLabel>
#include <QLocale>
#include <QToolButton>
#include <gtest/gtest.h>

using wavein::SimWaveIn;

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kGreen = 0xFF008000;
constexpr QRgb kRed = 0xFFFF0000;

struct Readout {
    std::string mark, space, shift, caption;
};

Readout readout(const TForm1& f) {
    return {f.MarkLabel->text().toStdString(), f.SpaceLabel->text().toStdString(),
            f.Panel5->text().toStdString(), f.Label10->text().toStdString()};
}

bool columnIs(const QImage& picture, int x, QRgb colour, int fromRow, int toRow) {
    for (int y = fromRow; y < toRow; ++y)
        if (picture.pixel(x, y) != colour) return false;
    return true;
}

} // namespace

TEST(Cursors, DefaultsReadTheirFrequenciesAndTheShift) {
    Harness h;
    h.start();
    const Readout r = readout(*h.form1);
    EXPECT_EQ(r.mark, "390"); // 50 columns at 7.8125 Hz each, cut
    EXPECT_EQ(r.space, "781");
    EXPECT_EQ(r.shift, "390"); // |390.625 - 781.25| cut
    EXPECT_EQ(r.caption, "Shift");
    EXPECT_EQ(h.form1->MaxAudioFreq->text(), "4000");
}

TEST(Cursors, LeftDragMovesTheMarkAndIsHeldInsideTheDisplay) {
    Harness h;
    h.start();
    TForm1& f = *h.form1;
    const int w = f.SpecDisplay->width();
    f.dMouseDown(Qt::LeftButton, 300, 10);
    EXPECT_EQ(f.MarkPos, 300);
    EXPECT_EQ(f.SpacePos, 100);
    EXPECT_EQ(readout(f).mark, "2343"); // 300 × 7.8125 = 2343.75, cut
    f.DisplayPanelMouseMove(-20, 10);
    EXPECT_EQ(f.MarkPos, 0);
    f.DisplayPanelMouseMove(w + 40, 10);
    EXPECT_EQ(f.MarkPos, w);
    f.dMouseUp(Qt::LeftButton, w + 40, 10);
    f.DisplayPanelMouseMove(10, 10);
    EXPECT_EQ(f.MarkPos, w) << "the drag ended with the release";

    f.dMouseDown(Qt::RightButton, 42, 3);
    EXPECT_EQ(f.SpacePos, 42);
    EXPECT_EQ(f.MarkPos, w);
    f.dMouseUp(Qt::RightButton, 42, 3);
}

TEST(Cursors, MiddlePressMovesNothing) {
    Harness h;
    h.start();
    TForm1& f = *h.form1;
    f.dMouseDown(Qt::LeftButton, 300, 10);
    f.dMouseDown(Qt::MiddleButton, 200, 10);
    f.DisplayPanelMouseMove(150, 10);
    EXPECT_EQ(f.MarkPos, 300);
    EXPECT_EQ(f.SpacePos, 100);
}

TEST(Cursors, APositionBeyondTheDisplayIsResetByThePressThatFindsIt) {
    Harness h;
    h.start();
    TForm1& f = *h.form1;
    f.MarkPos = static_cast<std::uint16_t>(f.SpecDisplay->width() + 5); // as a tracker may leave it
    f.dMouseDown(Qt::LeftButton, 300, 10);
    EXPECT_EQ(f.MarkPos, 0) << "the press resets it and ends the drag before it starts";
    f.dMouseDown(Qt::LeftButton, 300, 10);
    EXPECT_EQ(f.MarkPos, 300);
}

TEST(Cursors, ArrowsStepOneColumnAndWrapAtBothEnds) {
    Harness h;
    h.start();
    TForm1& f = *h.form1;
    const int w = f.SpecDisplay->width();
    f.SpaceUpDown->nextButton()->click();
    EXPECT_EQ(f.SpacePos, 101);
    f.MarkUpDown->previousButton()->click();
    EXPECT_EQ(f.MarkPos, 49);

    f.SpacePos = static_cast<std::uint16_t>(w);
    f.SpaceUpDown->nextButton()->click();
    EXPECT_EQ(f.SpacePos, 0);
    f.MarkPos = 0;
    f.MarkUpDown->previousButton()->click();
    EXPECT_EQ(f.MarkPos, w);
    EXPECT_EQ(readout(f).mark, "4000");
}

TEST(Cursors, WaveformReadOutGivesTimesAndTheFrequencyOfTheirDistance) {
    Harness h;
    h.start();
    TForm1& f = *h.form1;
    f.WaveButton->click();
    EXPECT_EQ(f.Label1->text(), "ms");
    EXPECT_EQ(f.MaxAudioFreq->text(), "64");
    f.MarkPos = 100;
    f.SpacePos = 200;
    // Triggered (as laid out): two columns per sample.
    f.DisplayCursorValue();
    Readout r = readout(f);
    EXPECT_EQ(r.mark, "6.25");
    EXPECT_EQ(r.space, "12.5");
    EXPECT_EQ(r.shift, "160");
    EXPECT_EQ(r.caption, "Freq ");
    // Untriggered: the trigger box's own handler rewrites the read-out.
    h.form2->cbTrigger->SetChecked(false);
    r = readout(f);
    EXPECT_EQ(r.mark, "12.5");
    EXPECT_EQ(r.space, "25");
    EXPECT_EQ(r.shift, "80");
    // A decimal half goes away from zero, as a reader expects.
    f.MarkPos = 101;
    f.DisplayCursorValue();
    EXPECT_EQ(readout(f).mark, "12.63");
    f.SpacePos = 101;
    f.DisplayCursorValue();
    EXPECT_EQ(readout(f).shift, "0");

    f.Specbutton->click();
    EXPECT_EQ(f.Label1->text(), "hz");
    EXPECT_EQ(readout(f).caption, "Shift");
    EXPECT_EQ(f.MaxAudioFreq->text(), "4000");
}

TEST(Cursors, TheSystemsDecimalSeparatorIsUsed) {
    Harness h;
    h.start();
    TForm1& f = *h.form1;
    f.WaveButton->click();
    h.form2->cbTrigger->SetChecked(false);
    f.MarkPos = 100;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    f.DisplayCursorValue();
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(readout(f).mark, "12,5");
}

TEST(Cursors, SpectrumPictureShowsTheTraceAndBothCursors) {
    Harness h;
    h.device.setSignal(SimWaveIn::tone(1000, 200));
    h.start();
    h.blocks(1); // the trace shows the block just received, not the one before
    const QImage& p = h.form1->SpecDisplay->picture();
    const int bottom = p.height();
    ASSERT_EQ(bottom, h.form1->SpecDisplay->height());
    // The tone's bin 64 stands at column 128, higher than its neighbours.
    const DisplayPoint peak = h.form1->SpecPoints[64];
    EXPECT_EQ(peak.x, 128);
    EXPECT_LT(peak.y, bottom - 2);
    EXPECT_EQ(p.pixel(128, std::max(peak.y, 0)), kBlue);
    // Cursors: full-height columns, mark green, space red.
    EXPECT_TRUE(columnIs(p, 50, kGreen, 0, bottom));
    EXPECT_TRUE(columnIs(p, 100, kRed, 0, bottom));
    // Elsewhere white above the base line.
    EXPECT_TRUE(columnIs(p, 300, kWhite, 0, bottom - 3));
    EXPECT_EQ(p.pixel(300, bottom - 2), kBlue) << "the quiet bins lie on the base line";
}

TEST(Cursors, WhileFrozenAMoveRedrawsAtOnceOtherwiseTheNextRefreshDoes) {
    Harness h;
    h.device.setSignal(SimWaveIn::tone(1000, 200));
    h.start();
    h.blocks(2);
    TForm1& f = *h.form1;
    const QImage& p = f.SpecDisplay->picture();
    const int bottom = p.height();

    f.dMouseDown(Qt::LeftButton, 200, 5);
    f.dMouseUp(Qt::LeftButton, 200, 5);
    EXPECT_TRUE(columnIs(p, 50, kGreen, 0, bottom)) << "unfrozen: left to the next refresh";
    h.blocks(1);
    EXPECT_TRUE(columnIs(p, 200, kGreen, 0, bottom));
    EXPECT_FALSE(columnIs(p, 50, kGreen, 0, bottom));

    f.Onbutton->click();
    f.MarkUpDown->nextButton()->click();
    EXPECT_TRUE(columnIs(p, 201, kGreen, 0, bottom)) << "frozen: redrawn by the arrow itself";
    EXPECT_FALSE(columnIs(p, 200, kGreen, 0, bottom));
    EXPECT_EQ(f.SpecPoints[64].x, 128) << "and from the frozen points";
    EXPECT_EQ(p.pixel(128, std::max(f.SpecPoints[64].y, 0)), kBlue);
}

TEST(Cursors, ResizingKeepsThePicturesAndTheScaleInStep) {
    Harness h;
    h.start();
    TForm1& f = *h.form1;
    f.SetOuterHeight(400);
    EXPECT_EQ(f.OuterHeight(), 400);
    EXPECT_EQ(f.SpecDisplay->picture().height(), f.SpecDisplay->height());
    f.FormResize();
    EXPECT_EQ(f.CursorDisplay->picture().height(), f.SpecDisplay->height());
    EXPECT_EQ(f.SweepRow, 1);
    EXPECT_FALSE(f.Busy);
    f.SetOuterHeight(1000);
    EXPECT_EQ(f.OuterHeight(), 600) << "the window's size limits hold";
    f.SetOuterWidth(50);
    EXPECT_EQ(f.OuterWidth(), 100);
}
