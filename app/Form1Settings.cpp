// The main window's settings file: read once in FormCreate, written once at
// the close, and the start-up steps that apply the record or the defaults.
#include "app/Form1.h"
#include "app/Form2.h"
#include "app/Paths.h"
#include "app/SettingsRecord.h"
#include "app/WindowPlacement.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QToolButton>

namespace {

// A stored window edge above this (a negative edge keeps only its low 16
// bits, so it reads back as a large number) puts the window at 0.
constexpr std::uint16_t kMaxStoredEdge = 1000;

std::uint16_t low16(int value) {
    return static_cast<std::uint16_t>(value & 0xFFFF);
}

std::string settingsPath(const TForm1& form) {
    return QFile::encodeName(SettingsFilePath(form.ProgramFolder, form.InstallPrefix))
        .toStdString();
}

// The fields of the block that the program keeps as live state of the window:
// the read overlays them, the defaults and the views take them from there.
void takeLiveFields(const TForm1& form, SettingsRecord& r) {
    r.DisplayMode = form.DisplayMode;
    r.WaveSampleRate = form.WaveSampleRate;
    r.SonaSampleRate = form.SonaSampleRate;
    r.SonaBandwidth = form.SonaBandwidth;
    r.SpecSampleRate = form.SpecSampleRate;
    r.SpecBandwidth = form.SpecBandwidth;
    r.TrackMode = form.TrackMode;
}

void putLiveFields(const SettingsRecord& r, TForm1& form) {
    form.DisplayMode = r.DisplayMode;
    form.WaveSampleRate = r.WaveSampleRate;
    form.SonaSampleRate = r.SonaSampleRate;
    form.SonaBandwidth = r.SonaBandwidth;
    form.SpecSampleRate = r.SpecSampleRate;
    form.SpecBandwidth = r.SpecBandwidth;
    form.TrackMode = r.TrackMode;
}

} // namespace

int TForm1::ReadSpecData() {
    SettingsRecord& block = SettingsBlock;
    takeLiveFields(*this, block);
    const int result = ReadSettingsFile(settingsPath(*this), block);
    // After a short read the bytes that did arrive count, for the live
    // fields as for the rest; the defaults then overwrite what they name.
    putLiveFields(block, *this);
    return result;
}

void TForm1::WriteSpecData() {
    SettingsRecord r;
    takeLiveFields(*this, r);
    r.MarkPos = MarkPos;
    r.SpacePos = SpacePos;
    r.AvgCount = AvgCount;
    r.SpecGainValue = SpecGainValue;
    r.WaveGainValue = WaveGainValue;
    r.BinWidth = BinWidth;
    r.BandwidthPos = Form2->AudioBandwidth->Position();
    const WindowPosition stored = PositionToStore(QGuiApplication::platformName().toStdString(),
                                                  {x(), y()}, positionReadAtStartUp_);
    r.WindowTop = low16(stored.top);
    r.WindowLeft = low16(stored.left);
    r.WindowHeight = low16(OuterHeight());
    r.WindowWidth = low16(OuterWidth());
    r.FlowChecked = Form2->FlowButton->Checked();
    r.UpdateInterval = low16(Form2->tbSpeed->Position());
    r.SamplingSpeedChecked = Form2->cbSampleSpeed->Checked();
    r.NyquistChecked = Form2->cbNyquist->Checked();
    r.TriggerChecked = Form2->cbTrigger->Checked();
    // No settings path (the installed copy without a home folder): nothing
    // to write, and no folder to make for it.
    const std::string path = settingsPath(*this);
    if (path.empty()) return;
    MakeSettingsFolder(ProgramFolder, InstallPrefix);
    WriteSettingsFile(path, r);
}

void TForm1::ApplyDefaultSettings() {
    SpecGainValue = 1;
    WaveGainValue = 1;
    MarkPos = 50;
    SpacePos = 100;
    Specbutton->setChecked(true);
    // Position 1 is where the layout put these bars, so no change handler
    // runs and their panels keep "000". AvgCount stays 0: no averaging.
    Form2->AVG->SetPosition(1);
    Form2->SpecGain->SetPosition(1);
    Form2->Wavegain->SetPosition(1);
    SampleRate = 8000;
    Nyquist = 4000;
    SpecSampleRate = 8000;
    SonaSampleRate = 8000;
    WaveSampleRate = 8000;
    SpecBandwidth = 4000;
    SonaBandwidth = 4000;
    DisplayMode = kSpectrumMode;
    SetOuterHeight(200);
    // The layout checks 48 kHz, so this runs SampleClick for 8000/s.
    Form2->Sample8->SetChecked(true);
    Form2->tbSpeedChange();
}

void TForm1::RestoreSettings() {
    const SettingsRecord r = SettingsBlock;
    TForm2& dialog = *Form2;

    // Showing a tracking button pressed runs no click handler; TrackMode
    // itself is live and already holds the stored value.
    if (TrackMode == kTrackCw)
        cwbutton->setChecked(true);
    else if (TrackMode == kTrackFsk)
        fskbutton->setChecked(true);

    // A stored 0 leaves the bar at its minimum 1 while the live value keeps
    // the 0; any other value reaches the live field through the bar too.
    AvgCount = r.AvgCount;
    dialog.AVG->SetPosition(r.AvgCount);
    MarkPos = r.MarkPos;
    SpacePos = r.SpacePos;
    dialog.SpecGain->SetPosition(r.SpecGainValue);
    SpecGainValue = r.SpecGainValue;
    dialog.Wavegain->SetPosition(r.WaveGainValue);
    WaveGainValue = r.WaveGainValue;

    if (r.FlowChecked) dialog.FlowButton->SetChecked(true);
    dialog.tbSpeed->SetPosition(r.UpdateInterval);
    dialog.cbSampleSpeed->SetChecked(r.SamplingSpeedChecked);
    dialog.tbSpeedChange();
    dialog.cbNyquist->SetChecked(r.NyquistChecked);
    dialog.cbNyquistClick();
    dialog.cbTrigger->SetChecked(r.TriggerChecked);

    Bandwidth = low16(r.BandwidthPos);

    positionReadAtStartUp_ = {r.WindowLeft, r.WindowTop};
    // The size limits of the window bring a stored size inside them.
    SetOuterHeight(r.WindowHeight);
    SetOuterWidth(r.WindowWidth);
    const int left = r.WindowLeft > kMaxStoredEdge ? 0 : r.WindowLeft;
    move(left, y());
    const int top = r.WindowTop > kMaxStoredEdge ? 0 : r.WindowTop;
    move(x(), top);
    // An edge inside 0 … 1000 can still be off this screen (a smaller display,
    // a monitor unplugged since): keep the top-left corner where the operator
    // can see it and grab the title bar, or the window would be lost and
    // saved there again.
    const QScreen* screen = QGuiApplication::screenAt(pos());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect free = screen->availableGeometry();
        const WindowPosition kept =
            KeepCornerOnScreen({x(), y()}, {free.x(), free.y(), free.width(), free.height()});
        move(kept.left, kept.top);
    }

    // The view's handler checks the view's stored rate in the dialog, which
    // restarts nothing yet: the device opens after this.
    const std::uint16_t viewRate = DisplayMode == kWaveformMode    ? WaveSampleRate
                                   : DisplayMode == kSonagraphMode ? SonaSampleRate
                                                                   : SpecSampleRate;
    RadioButton* const rateButton = RateButton(viewRate);
    const bool rateAlreadyChecked = rateButton->Checked();
    switch (DisplayMode) {
    case kWaveformMode:
        WantTimeClick();
        WaveButton->setChecked(true);
        break;
    case kSonagraphMode:
        WantSona();
        SonaButton->setChecked(true);
        break;
    default:
        WantSpectrumClick();
        Specbutton->setChecked(true);
        break;
    }
    // The dialog's layout has 48 kHz checked, so a view stored at 48000/s
    // finds its button checked and the rate change, which brings the
    // bandwidth bar into the band of the rate and applies "Nyquist
    // Bandwidth" at it, does not run: the bar would keep what the steps
    // above made of it at the window's earlier rate. Run it as for any
    // other rate.
    if (rateAlreadyChecked) dialog.SampleClick(rateButton);
}
