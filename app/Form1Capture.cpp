// The main window's side of the capture: the device's notifications, the
// handling of device errors and the teardown at the close.
#include "analysis/Fourier.h"
#include "app/Form1.h"
#include "capture/InputStall.h"

#include <QTimer>
#include <QToolButton>
#include <algorithm>

using namespace wavein;

void TForm1::waveInOpened(Handle device) {
    MMWimOpen(device);
}
void TForm1::waveInData(Handle device, WaveHeader* header) {
    MMWimData(device, header);
}
void TForm1::waveInClosed(Handle) {
    MMWimClose();
}

void TForm1::waveInFailed(Handle, MMResult code) {
    // The stream stopped by itself (the sound server went away): without
    // this the window would sit there frozen with no word of why.
    if (Stopping) return;
    DeviceErrorBox(code);
    CloseWindow();
}

void TForm1::waveInLost(Handle, std::uint32_t blocks) {
    // Sound that never reached the window is as much a miss as sound that
    // came too late: the indicator says so until a load check finds the
    // blocks on time again.
    if (Stopping) return;
    BlocksLost += blocks;
    SetOverColour(true);
}

void TForm1::CheckInputFlow() {
    if (Stopping || ReopenPending || !deviceOpen_ || !blockSeen_) return;
    const std::uint32_t now = platform_.clockMs();
    if (InputStalled(now, lastBlockMs_, SampleRate)) {
        // Red until blocks flow again and a load check passes; the next
        // block arms the watch again.
        SetOverColour(true);
        return;
    }
    const std::uint32_t limit = InputStallLimitMs(SampleRate);
    const std::uint32_t waited = now - lastBlockMs_;
    inputWatch_->start(static_cast<int>(limit - std::min(waited, limit)) + 1);
}

void TForm1::MMWimOpen(Handle device) {
    if (Stopping || !Wave.RingAllocated()) return;
    WaveInDevice& dev = Wave.Device();
    MMResult status = MMSYSERR_NOERROR;
    for (WaveHeader* h : Wave.WaveHeaders)
        status = dev.prepareHeader(Wave.WaveInHandle, h);
    if (status != MMSYSERR_NOERROR) {
        DeviceErrorBox(status);
        CloseWindow();
        return;
    }
    for (WaveHeader* h : Wave.WaveHeaders)
        status = dev.addBuffer(device, h);
    if (status != MMSYSERR_NOERROR) {
        DeviceErrorBox(status);
        CloseWindow();
        return;
    }
    PerformanceReset();
    blockSeen_ = false;
    status = dev.start(device);
    if (status != MMSYSERR_NOERROR) {
        DeviceErrorBox(status);
        CloseWindow();
    }
}

void TForm1::MMWimData(Handle device, WaveHeader* header) {
    // Buffers handed back by the close's reset arrive after the ring is
    // gone: the header may not even be touched then.
    if (!Wave.OwnsHeader(header)) return;
    const auto* block = reinterpret_cast<const std::int16_t*>(header->lpData);
    ++FrameCount;
    ++BlocksReceived;
    lastBlockMs_ = platform_.clockMs();
    blockSeen_ = true;
    if (!inputWatch_->isActive())
        inputWatch_->start(static_cast<int>(InputStallLimitMs(SampleRate)) + 1);
    Busy = PerformanceCheck();
    if (!Onbutton->isChecked() && !ReopenPending && !Busy) {
        if (SonaButton->isChecked()) {
            FFT(WaveDev::kBlockSamples, kSpectrumSize, block, FftSpectrum.data());
            AveragedSpectrum = FftSpectrum;
            SpecToPoints();
        } else if (Specbutton->isChecked()) {
            FFT(WaveDev::kBlockSamples, kSpectrumSize, block, FftSpectrum.data());
            // Averaged first, so that the trace shows this block at once
            // (points made before the fold would show the one before it, a
            // whole block late: 64 ms at 8000/s) and agrees with what the
            // tracker reads from the same average.
            AverageBuffers();
            SpecToPoints();
        } else if (WaveButton->isChecked()) {
            SineToPoints(block);
        }
        if (!Timer1->isActive()) Timer1Timer();
    }
    if (!Stopping && !ReopenPending) Wave.Device().addBuffer(device, header);
}

void TForm1::MMWimClose() {
    // A reopen that was still pending when the window closed must not open
    // the device again behind the close.
    if (!ReopenPending || Stopping) return;
    ReopenPending = false;
    const MMResult r = Wave.OpenWaveIn(this, Wave.WaveInHandle, SampleRate);
    deviceOpen_ = r == MMSYSERR_NOERROR;
    if (r != MMSYSERR_NOERROR) {
        DeviceErrorBox(r);
        CloseWindow();
    }
}

void TForm1::CaptureTeardown() {
    // After a failed open (no sound server, a refused rate) there is no
    // device to stop: calling into it would only add a second box about an
    // invalid handle to the one that said what went wrong.
    if (!deviceOpen_) {
        Wave.FreeWaveBuffers();
        return;
    }
    deviceOpen_ = false;
    WaveInDevice& dev = Wave.Device();
    dev.reset(Wave.WaveInHandle);
    MMResult status = MMSYSERR_NOERROR;
    for (WaveHeader* h : Wave.WaveHeaders)
        status = dev.unprepareHeader(Wave.WaveInHandle, h);
    if (status != MMSYSERR_NOERROR) DeviceErrorBox(status);
    dev.close(Wave.WaveInHandle);
    Wave.FreeWaveBuffers();
}
