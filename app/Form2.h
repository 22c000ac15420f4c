// The settings dialog: modeless, every change acts at once on the main
// window. Its controls hold the settings that have no field of their own.
//
//   app/Form2.cpp          layout
//   app/Form2Handlers.cpp  the change and click handlers
#pragma once

#include "app/Controls.h"

#include <QWidget>
#include <cstdint>

class QGroupBox;
class QLabel;
class TForm1;

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    // Set by the start-up before the main window's FormCreate runs.
    TForm1* Form1 = nullptr;

    // ---- handlers (app/Form2Handlers.cpp)
    void SpecGainChange();
    void WavegainChange();
    void AVGChange();
    void AudioBandwidthChange();
    void BandwidthCheck(std::uint16_t position);
    void cbNyquistClick();
    void SampleClick(RadioButton* sender);
    void tbSpeedChange();
    void cbSampleSpeedClick();
    void cbTriggerClick();

    // ---- controls
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr; // Spectrum
    QLabel* Label7 = nullptr;
    TrackBar* SpecGain = nullptr;
    QLabel* pSpecGain = nullptr;
    QLabel* Label3 = nullptr;
    TrackBar* AudioBandwidth = nullptr;
    QLabel* pBandwidth = nullptr;
    CheckBox* cbNyquist = nullptr;
    QLabel* Label6 = nullptr;
    TrackBar* AVG = nullptr;
    QLabel* pAVG = nullptr;
    QGroupBox* GroupBox3 = nullptr; // Waveform
    QLabel* Label1 = nullptr;
    TrackBar* Wavegain = nullptr;
    QLabel* pWavegain = nullptr;
    CheckBox* cbTrigger = nullptr;
    QGroupBox* GroupBox4 = nullptr; // Sonagraph
    RadioButton* FlowButton = nullptr;
    RadioButton* SweepButton = nullptr;
    QGroupBox* GroupBox5 = nullptr; // Sampling
    RadioButton* Sample48 = nullptr;
    RadioButton* Sample44 = nullptr;
    RadioButton* Sample22 = nullptr;
    RadioButton* Sample11 = nullptr;
    RadioButton* Sample8 = nullptr;
    QGroupBox* GroupBox6 = nullptr; // Display Update Speed
    TrackBar* tbSpeed = nullptr;
    QLabel* pSpeed = nullptr;
    CheckBox* cbSampleSpeed = nullptr;

protected:
    // The close box only hides the dialog.
    void closeEvent(QCloseEvent* event) override;
};
