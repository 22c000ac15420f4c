#include "app/Form1.h"
#include "app/Form2.h"

#include <QLabel>
#include <QTimer>

namespace {

// The bandwidth may lie between a quarter and a half of the sample rate.
int upperBand(std::uint16_t rate) {
    return rate / 2;
}
int lowerBand(std::uint16_t rate) {
    return rate / 4;
}

} // namespace

void TForm2::SpecGainChange() {
    Form1->SpecGainValue = static_cast<std::uint16_t>(SpecGain->Position());
    pSpecGain->setNum(SpecGain->Position());
}

void TForm2::WavegainChange() {
    Form1->WaveGainValue = static_cast<std::uint16_t>(Wavegain->Position());
    pWavegain->setNum(Wavegain->Position());
}

void TForm2::AVGChange() {
    Form1->AvgCount = static_cast<std::uint16_t>(AVG->Position());
    pAVG->setNum(AVG->Position());
}

void TForm2::BandwidthCheck(std::uint16_t position) {
    const std::uint16_t rate = Form1->SampleRate;
    // p > r / 2 compares against the exact half: 5512 is inside the band of
    // 11025 samples/s, whose upper bound is 5512.
    if (position > rate / 2.0)
        AudioBandwidth->SetPosition(upperBand(rate));
    else if (position < rate / 4.0)
        AudioBandwidth->SetPosition(lowerBand(rate));
}

void TForm2::AudioBandwidthChange() {
    cbNyquistClick();
    AudioBandwidth->SetMax(upperBand(Form1->SampleRate));
    AudioBandwidth->SetMin(lowerBand(Form1->SampleRate));
    BandwidthCheck(static_cast<std::uint16_t>(AudioBandwidth->Position()));
    Form1->SelectBW();
    Form1->GetValues();
    Form1->DisplayCursorValue();
    pBandwidth->setNum(AudioBandwidth->Position());
    AudioBandwidth->SetFrequency(AudioBandwidth->Max() / 10);
}

void TForm2::cbNyquistClick() {
    if (cbNyquist->Checked()) AudioBandwidth->SetPosition(upperBand(Form1->SampleRate));
}

void TForm2::SampleClick(RadioButton* sender) {
    Form1->SampleRate = static_cast<std::uint16_t>(sender->Value());
    Form1->SetBW();
    BandwidthCheck(static_cast<std::uint16_t>(AudioBandwidth->Position()));
    Form1->SelectBW();
    AudioBandwidthChange();
    Form1->SelectSampleRate(Form1->SampleRate);
    Form1->SamplerateChange();
    cbNyquistClick();
}

void TForm2::tbSpeedChange() {
    Form1->Timer1->setInterval(tbSpeed->Position());
    pSpeed->setNum(tbSpeed->Position());
    cbSampleSpeedClick();
}

void TForm2::cbSampleSpeedClick() {
    // Decided from the box itself: isEnabled() would also say false while the
    // dialog as a whole is disabled.
    const bool timed = !cbSampleSpeed->Checked();
    tbSpeed->setEnabled(timed);
    if (!timed)
        Form1->Timer1->stop();
    else if (!Form1->Timer1->isActive())
        Form1->Timer1->start();
}

void TForm2::cbTriggerClick() {
    Form1->DisplayCursorValue();
}
