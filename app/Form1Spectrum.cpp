// The main window's spectrum path: the frequency scale, points and averaging
// (thin wrappers over the numeric core), the spectrum view and the view
// switches.
#include "app/Form1.h"
#include "app/Form2.h"
#include "display/ImageView.h"
#include "display/Picture.h"

#include <QLabel>
#include <QToolButton>

void TForm1::GetValues() {
    SampleRate = SampleRateFromButtons(Form2->Sample48->Checked(), Form2->Sample44->Checked(),
                                       Form2->Sample22->Checked(), Form2->Sample11->Checked());
    SetBW();
    const FrequencyScale scale = ComputeScale(SampleRate, Bandwidth);
    Nyquist = scale.Nyquist;
    BinWidth = scale.BinWidth;
    ZoomRatio = scale.ZoomRatio;
    MaxDisplayFreq = scale.MaxDisplayFreq;
    const bool frequencyView = Specbutton->isChecked() || SonaButton->isChecked();
    MaxAudioFreq->setText(QString::fromStdString(MaxAudioFreqText(scale, frequencyView)));
}

void TForm1::SpecToPoints() {
    ::SpecToPoints(AveragedSpectrum.data(), SpecDisplay->height(), SpecGainValue, Nyquist,
                   Bandwidth, SpecPoints.data());
}

void TForm1::AverageBuffers() {
    ::AverageBuffers(FftSpectrum.data(), AvgAccumulator.data(), AveragedSpectrum.data(), AvgCount);
}

void TForm1::ClearDisplay(ImageView* image) {
    // The control's size, not the picture's: the cursor strip's picture is as
    // tall as the display, but only the rows that show are cleared.
    if (ClearPictureArea(image->picture(), image->width(), image->height()))
        image->pictureChanged();
}

void TForm1::DisplaySpectrum(ImageView* image) {
    ClearDisplay(image);
    DrawSpectrumTrace(image->picture(), SpecPoints.data(), 1, kSpectrumSize - 1);
    image->pictureChanged();
}

// The three view switches: each sets its view code, checks the view's stored
// rate in the dialog (which restarts the capture when it differs), sets up
// the controls of its view and rewrites the scale and read-out.

void TForm1::WantSpectrumClick() {
    DisplayMode = kSpectrumMode;
    SetSampleRate(SpecSampleRate);
    Form2->AudioBandwidth->setEnabled(true);
    Form2->AVG->setEnabled(true);
    SetCursorStripHeight(1);
    FormResize();
    MaxAudioFreq->setNum(static_cast<int>(MaxDisplayFreq));
    Label1->setText(QStringLiteral("hz"));
    Label3->setText(QStringLiteral("hz"));
    DisplayCursorValue();
    fskbutton->setEnabled(true);
    cwbutton->setEnabled(true);
}

void TForm1::WantTimeClick() {
    DisplayMode = kWaveformMode;
    Bandwidth = WaveSampleRate / 2;
    Form2->AudioBandwidth->setEnabled(false);
    Form2->AVG->setEnabled(false);
    SetCursorStripHeight(1);
    FormResize();
    const FrequencyScale scale{SampleRate, Nyquist, Bandwidth, BinWidth, ZoomRatio, MaxDisplayFreq};
    MaxAudioFreq->setText(QString::fromStdString(MaxAudioFreqText(scale, false)));
    Label1->setText(QStringLiteral("ms"));
    Label3->setText(QStringLiteral("ms"));
    DisplayCursorValue();
    SetSampleRate(WaveSampleRate);
    fskbutton->setEnabled(false);
    cwbutton->setEnabled(false);
}

void TForm1::WantSona() {
    DisplayMode = kSonagraphMode;
    SetSampleRate(SonaSampleRate);
    Form2->AudioBandwidth->setEnabled(true);
    Form2->AVG->setEnabled(false);
    SetCursorStripHeight(10);
    FormResize();
    MaxAudioFreq->setNum(static_cast<int>(MaxDisplayFreq));
    Label1->setText(QStringLiteral("hz"));
    Label3->setText(QStringLiteral("hz"));
    DisplayCursorValue();
    ClearSonaDisplay(SpecDisplay);
    SweepRow = 0;
    fskbutton->setEnabled(true);
    cwbutton->setEnabled(true);
}
