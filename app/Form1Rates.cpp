// The main window's sample-rate routines: which rates the input accepts, the
// per-view rates and bandwidths, and the restart of the capture at a new rate.
#include "app/Form1.h"
#include "app/Form2.h"

#include <array>

namespace {

constexpr std::array<std::uint32_t, 5> SupportedRates{8000, 11025, 22050, 44100, 48000};

} // namespace

void TForm1::DriverGetSampleRate() {
    RadioButton* const byRate[] = {Form2->Sample8, Form2->Sample11, Form2->Sample22,
                                   Form2->Sample44, Form2->Sample48};
    for (RadioButton* b :
         {Form2->Sample48, Form2->Sample44, Form2->Sample22, Form2->Sample11, Form2->Sample8})
        b->setEnabled(false);
    for (std::size_t i = 0; i < SupportedRates.size(); ++i) {
        if (Wave.QueryWaveInFormat(this, Wave.WaveInHandle, SupportedRates[i]) ==
            wavein::MMSYSERR_NOERROR)
            byRate[i]->setEnabled(true);
    }
    Wave.WaveInHandle = 0;
}

RadioButton* TForm1::RateButton(std::uint16_t rate) const {
    switch (rate) {
    case 48000:
        return Form2->Sample48;
    case 44100:
        return Form2->Sample44;
    case 22050:
        return Form2->Sample22;
    case 11025:
        return Form2->Sample11;
    default:
        return Form2->Sample8;
    }
}

void TForm1::SetSampleRate(std::uint16_t rate) {
    // A disabled button is checked all the same: a stored rate the device
    // refuses then fails visibly at the open instead of being changed behind
    // the operator's back.
    RateButton(rate)->SetChecked(true);
}

void TForm1::SelectSampleRate(std::uint16_t rate) {
    const auto position = static_cast<std::uint16_t>(Form2->AudioBandwidth->Position());
    switch (DisplayMode) {
    case kSpectrumMode:
        SpecSampleRate = rate;
        SpecBandwidth = position;
        break;
    case kWaveformMode:
        WaveSampleRate = rate;
        break;
    case kSonagraphMode:
        SonaSampleRate = rate;
        SonaBandwidth = position;
        break;
    default:
        break;
    }
}

void TForm1::SetBW() {
    // Moving the bar runs its change handler, which stores the (clamped)
    // position back into the view's bandwidth before we read it here.
    switch (DisplayMode) {
    case kSpectrumMode:
        Form2->AudioBandwidth->SetPosition(SpecBandwidth);
        Bandwidth = SpecBandwidth;
        break;
    case kSonagraphMode:
        Form2->AudioBandwidth->SetPosition(SonaBandwidth);
        Bandwidth = SonaBandwidth;
        break;
    default:
        break;
    }
}

void TForm1::SelectBW() {
    const auto position = static_cast<std::uint16_t>(Form2->AudioBandwidth->Position());
    if (DisplayMode == kSpectrumMode)
        SpecBandwidth = position;
    else if (DisplayMode == kSonagraphMode)
        SonaBandwidth = position;
}

void TForm1::SamplerateChange() {
    if (Wave.WaveInHandle == 0)
        return; // start-up: the device is opened afterwards at the rate then checked
    if (ReopenPending) {
        // A second rate change before the device-closed notification of the
        // first: the device is closed already and the queued reopen takes
        // SampleRate as it is then. Resetting and unpreparing the closed
        // handle again would only fail and close the program over a quick
        // double click.
        GetValues();
        DisplayCursorValue();
        return;
    }
    PerformanceReset();
    wavein::WaveInDevice& dev = Wave.Device();
    dev.reset(Wave.WaveInHandle);
    wavein::MMResult status = wavein::MMSYSERR_NOERROR;
    for (wavein::WaveHeader* h : Wave.WaveHeaders)
        status = dev.unprepareHeader(Wave.WaveInHandle, h);
    if (status != wavein::MMSYSERR_NOERROR) {
        DeviceErrorBox(status);
        CloseWindow();
        return;
    }
    ReopenPending = true;
    GetValues();
    dev.close(Wave.WaveInHandle);
    deviceOpen_ = false;
    DisplayCursorValue();
}
