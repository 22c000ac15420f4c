// The cursors following the signal: the FSK and CW trackers, run by the
// refresh in the spectrum and sonagraph views, and their two buttons.
#include "analysis/Trackers.h"
#include "app/Form1.h"

#include <QToolButton>

void TForm1::TrackPoints() {
    ::TrackPoints(AveragedSpectrum.data(), Nyquist, Bandwidth, MarkPos, SpacePos);
    DisplayCursorValue();
}

void TForm1::TrackCWPoints() {
    ::TrackCWPoints(AveragedSpectrum.data(), Nyquist, Bandwidth, MarkPos);
    DisplayCursorValue();
}

// The button's state decides at every refresh; TrackMode only records it
// for the settings file.
void TForm1::fskbuttonClick() {
    TrackMode = fskbutton->isChecked() ? kTrackFsk : kTrackNone;
}

void TForm1::cwbuttonClick() {
    TrackMode = cwbutton->isChecked() ? kTrackCw : kTrackNone;
}
