// The main window: the program's whole state lives here as plain fields.
//
// Its methods are split over app/ by subsystem; each file passes the
// window's fields to the Qt-free core (analysis/, display/, capture/) and
// stores what comes back. Those folders never include app/.
//   Form1.cpp          layout, start-up, close, refresh, load check
//   Form1Capture.cpp   device notifications, device errors, teardown
//   Form1Rates.cpp     sample-rate probing and per-view rates
//   Form1Spectrum.cpp  scale, points, averaging, the spectrum view
//   Form1Waveform.cpp  the waveform view's points and trace
//   Form1Sonagraph.cpp the sonagraph's rows
//   Form1Tracking.cpp  the FSK and CW trackers and their buttons
//   Form1Cursors.cpp   cursors, read-out, mouse, arrows, resize
//   Form1Settings.cpp  the settings file and its restore
//   Form1Snapshot.cpp  saving the display as a bitmap, opening the viewer
//   Form1Maker.cpp     the maker panel
// Everything runs on the GUI thread.
#pragma once

#include "analysis/Spectrum.h"
#include "app/Platform.h"
#include "app/SettingsRecord.h"
#include "app/WindowPlacement.h"
#include "capture/WaveDev.h"
#include "capture/WaveIn.h"

#include <QWidget>
#include <array>
#include <cstdint>

class QFrame;
class QLabel;
class QScrollArea;
class QTimer;
class QToolButton;
class ImageView;
class PictureLoader;
class RadioButton;
class TEditForm;
class TForm2;
class UpDown;

// View codes of DisplayMode.
inline constexpr std::int16_t kSpectrumMode = 1000;
inline constexpr std::int16_t kWaveformMode = 2000;
inline constexpr std::int16_t kSonagraphMode = 3000;
// Tracking codes of TrackMode.
inline constexpr std::int16_t kTrackNone = 0;
inline constexpr std::int16_t kTrackFsk = 4000;
inline constexpr std::int16_t kTrackCw = 5000;

class TForm1 : public QWidget, public wavein::WaveInSink {
    Q_OBJECT
public:
    TForm1(wavein::WaveInDevice& device, Platform platform, QWidget* parent = nullptr);
    ~TForm1() override;

    // Set by the start-up before FormCreate runs.
    TForm2* Form2 = nullptr;
    TEditForm* EditForm = nullptr;
    // The folder of the settings file and of the snapshots: the program's
    // own folder (tests point it elsewhere).
    QString ProgramFolder;
    // The prefix of the installed copy, which keeps its settings and
    // snapshots in the user's folders instead (app/Paths.h; tests set it).
    QString InstallPrefix;

    // ---- life cycle (Form1.cpp)
    void FormCreate();
    bool FormCloseQuery();
    void FormClose();
    // Closes the window as the operator's close does: close query, close
    // handler, then the window hides and Closed() is emitted. Idempotent.
    void CloseWindow();
    bool IsClosed() const { return closed_; }
    void Timer1Timer();
    void PerformanceReset();
    bool PerformanceCheck();
    void OnbuttonClick();
    void SettingsClick();
    // The device error box with the text for `code`.
    void DeviceErrorBox(wavein::MMResult code);
    // True once a device error has been reported: the run then counts as
    // failed (the program's exit status says so).
    bool DeviceErrorShown() const { return deviceErrorShown_; }

    // ---- capture (Form1Capture.cpp)
    void MMWimOpen(wavein::Handle device);
    void MMWimData(wavein::Handle device, wavein::WaveHeader* header);
    void MMWimClose();
    // While recording: lights the missed indicator when no block has come
    // for longer than the stall limit (app's InputWatch timer runs it).
    void CheckInputFlow();

    // ---- rates (Form1Rates.cpp)
    void DriverGetSampleRate();
    void SetSampleRate(std::uint16_t rate);
    // The dialog's button for `rate` (8 kHz for a rate that is not one of the five).
    RadioButton* RateButton(std::uint16_t rate) const;
    void SelectSampleRate(std::uint16_t rate);
    void SetBW();
    void SelectBW();
    void SamplerateChange();

    // ---- spectrum (Form1Spectrum.cpp)
    void GetValues();
    void SpecToPoints();
    void AverageBuffers();
    void ClearDisplay(ImageView* image);
    void DisplaySpectrum(ImageView* image);
    void WantSpectrumClick();
    void WantTimeClick();
    void WantSona();

    // ---- waveform (Form1Waveform.cpp)
    // block: 512 samples.
    void SineToPoints(const std::int16_t* block);
    void DisplaySinewave();

    // ---- sonagraph (Form1Sonagraph.cpp)
    // points: high + 1 spectrum points (entries 1 … 511 of SpecPoints, high
    // 510); lastColumn: the display's width − 1.
    void DrawSonagraph(const DisplayPoint* points, int high, int lastColumn);
    void ClearSonaDisplay(ImageView* image);

    // ---- tracking (Form1Tracking.cpp)
    void TrackPoints();
    void TrackCWPoints();
    void fskbuttonClick();
    void cwbuttonClick();

    // ---- cursors (Form1Cursors.cpp)
    void DrawCursor(ImageView* image);
    int ValidateCursorPos(int pos);
    void DisplayCursorValue();
    void dMouseDown(Qt::MouseButton button, int x, int y);
    void DisplayPanelMouseMove(int x, int y);
    void dMouseUp(Qt::MouseButton button, int x, int y);
    enum class UpDownButton { Next, Previous };
    void MarkUpDownClick(UpDown* sender, UpDownButton button);
    void FormResize();

    // ---- settings file (Form1Settings.cpp)
    int ReadSpecData();
    void WriteSpecData();
    void ApplyDefaultSettings();
    void RestoreSettings();

    // Outer window size and position as the settings keep them: the layout
    // counts the frame (8 pixels across, 32 down), whatever the window
    // manager draws, so a stored size means the same everywhere.
    int OuterWidth() const;
    int OuterHeight() const;
    void SetOuterWidth(int w);
    void SetOuterHeight(int h);
    static constexpr int kFrameWidth = 8;
    static constexpr int kFrameHeight = 32;
    static constexpr int kMinOuterWidth = 100, kMaxOuterWidth = 520;
    static constexpr int kMinOuterHeight = 200, kMaxOuterHeight = 600;

    // ---- snapshots and the viewer (Form1Snapshot.cpp)
    void SaveButtonClick();
    void OpenButtonClick();
    // What the save dialog proposes: "Untitled" at each start, then the last
    // saved file's full name, suffix included.
    QString SaveDialogFileName = QStringLiteral("Untitled");

    // ---- maker panel (Form1Maker.cpp)
    void Panel1MouseMove();
    void Panel3MouseMove();
    void Panel1Click();

    // ---- state
    std::int16_t DisplayMode = kSpectrumMode;
    std::uint16_t SampleRate = 8000;
    std::uint16_t Nyquist = 4000;
    std::uint16_t Bandwidth = 4000;
    double BinWidth = 15.625;
    double ZoomRatio = 2.0;
    double MaxDisplayFreq = 4000.0;

    std::uint16_t SpecSampleRate = 8000;
    std::uint16_t WaveSampleRate = 8000;
    std::uint16_t SonaSampleRate = 8000;
    std::uint16_t SpecBandwidth = 4000;
    std::uint16_t SonaBandwidth = 4000;

    std::uint16_t SpecGainValue = 1;
    std::uint16_t WaveGainValue = 1;
    std::uint16_t AvgCount = 0;

    std::uint16_t MarkPos = 50;
    std::uint16_t SpacePos = 100;
    std::int16_t TrackMode = kTrackNone;
    bool DraggingMark = false;
    bool DraggingSpace = false;
    std::uint16_t SweepRow = 0;

    bool Busy = false;
    bool Stopping = false;
    bool ReopenPending = false;
    std::int32_t FrameCount = 0;
    std::int32_t PerfFrameLimit = 0;
    double PerfFrameSpan = 0;
    std::uint32_t PerfStartTime = 0;
    std::uint32_t PerfCheckTime = 0;
    // Every block ever received, never reset (FrameCount restarts at each
    // load check); shows that the capture runs.
    std::uint64_t BlocksReceived = 0;
    // Every block the device reported lost on the way (the window fell
    // behind, the sound server dropped sound).
    std::uint64_t BlocksLost = 0;

    std::array<std::int32_t, kSpectrumSize> FftSpectrum{};
    std::array<std::int32_t, kSpectrumSize> AveragedSpectrum{};
    std::array<std::int32_t, kSpectrumSize> AvgAccumulator{};
    std::array<DisplayPoint, kSpectrumSize> SpecPoints{};
    std::array<DisplayPoint, kSpectrumSize> WavePoints{};

    WaveDev Wave;
    // The settings record as read at start-up, until the restore has applied
    // it; the settings file's fields live in the fields above meanwhile.
    SettingsRecord SettingsBlock;

    // ---- controls
    QScrollArea* Scroller = nullptr;
    QWidget* Client = nullptr; // what the scroll area shows
    ImageView* CursorDisplay = nullptr;
    ImageView* SpecDisplay = nullptr;
    QFrame* Panel6 = nullptr; // read-out row
    QFrame* Panel3 = nullptr; // button bar
    QLabel* Label4 = nullptr;
    UpDown* MarkUpDown = nullptr;
    QLabel* MarkLabel = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Panel5 = nullptr;
    QLabel* Label5 = nullptr;
    UpDown* SpaceUpDown = nullptr;
    QLabel* SpaceLabel = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* MaxAudioFreq = nullptr;
    QToolButton* Specbutton = nullptr;
    QToolButton* WaveButton = nullptr;
    QToolButton* SonaButton = nullptr;
    QToolButton* fskbutton = nullptr;
    QToolButton* cwbutton = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SaveButton = nullptr;
    QToolButton* OpenButton = nullptr;
    QLabel* Panel1 = nullptr; // the maker panel
    QToolButton* Onbutton = nullptr;
    QFrame* Over = nullptr;
    QTimer* Timer1 = nullptr;

    // True when the Over indicator shows red (the display fell behind).
    bool OverIsRed() const;

signals:
    // The window has closed: the program ends.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    // The maker panel's pointer moves and clicks, and those over the bare
    // parts of the button bar and the read-out row.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // wavein::WaveInSink: the device's notifications.
    void waveInOpened(wavein::Handle device) override;
    void waveInData(wavein::Handle device, wavein::WaveHeader* header) override;
    void waveInClosed(wavein::Handle device) override;
    void waveInFailed(wavein::Handle device, wavein::MMResult code) override;
    void waveInLost(wavein::Handle device, std::uint32_t blocks) override;

    void BuildLayout();
    // Places the controls inside the client area (synchronously, also while
    // the window is hidden); the cursor strip keeps its current height.
    void PlaceControls();
    void SetCursorStripHeight(int height);
    void SetOverColour(bool late);
    void RunTracker();
    // While frozen, a cursor move redraws the current view and the cursors
    // at once; otherwise the next refresh does.
    void RedrawFrozenCursors();
    void CaptureTeardown();
    void WatchMakerPanel();
    // The outcome of the last open: the picture in the viewer, or the box.
    void ShowOpenedPicture(const LoadedPicture& loaded);

    Platform platform_;
    PictureLoader* pictureLoader_ = nullptr; // the viewer's pictures
    bool closed_ = false;
    // A device is open (from a successful open until its close): the close's
    // teardown has nothing to reset, unprepare or close otherwise.
    bool deviceOpen_ = false;
    bool deviceErrorShown_ = false;
    // The stall watch: armed by the blocks of a running recording.
    QTimer* inputWatch_ = nullptr;
    bool blockSeen_ = false; // a block has come since the last start
    std::uint32_t lastBlockMs_ = 0;
    int stripHeight_ = 27;
    // The window's edges as the settings file gave them (unsigned 16-bit,
    // before any correction), or the layout's without a file: what the close
    // stores where the window system does not tell the window's position.
    WindowPosition positionReadAtStartUp_ = kLayoutPosition;
};
