// The main window: layout, start-up, close, refresh routine and load check.
#include "app/Form1.h"

#include "app/ButtonIcons.h"
#include "app/Form2.h"
#include "app/Paths.h"
#include "app/PictureLoader.h"
#include "app/WindowLook.h"
#include "app/WindowPlacement.h"
#include "capture/mmErrMsg.h"
#include "display/ImageView.h"
#include "display/UpDown.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace {

// Blocks of a load check may take this long before the display counts as
// behind: half a second of audio plus some slack for the message queue.
constexpr std::uint32_t kLoadCheckLimitMs = 540;
constexpr int kLoadCheckPauseMs = 10;
constexpr int kSpeedStepMs = 5;

// The client area scrolls when it is smaller than this.
constexpr int kScrollWidth = 510;
constexpr int kScrollHeight = 64;
constexpr int kReadoutHeight = 27;
constexpr int kButtonBarHeight = 28;

QToolButton* speedButton(QWidget* parent, int left, const QString& hint, ButtonPicture picture) {
    auto* b = new QToolButton(parent);
    b->setGeometry(left, 3, 23, 23);
    b->setToolTip(hint);
    b->setIcon(MakeButtonIcon(picture));
    b->setIconSize(QSize(16, 16));
    b->setAutoRaise(false);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QLabel* valuePanel(QWidget* parent, QRect geometry, const QColor& text) {
    auto* p = new QLabel(QStringLiteral("0000"), parent);
    p->setGeometry(geometry);
    p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    p->setAlignment(Qt::AlignCenter);
    p->setAutoFillBackground(true);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, text);
    p->setPalette(pal);
    return p;
}

QLabel* label(QWidget* parent, const QString& text, QRect geometry) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(geometry);
    return l;
}

} // namespace

TForm1::TForm1(wavein::WaveInDevice& device, Platform platform, QWidget* parent)
    : QWidget(parent, Qt::Window), Wave(device), platform_(std::move(platform)) {
    ProgramFolder = QCoreApplication::applicationDirPath();
    InstallPrefix = ConfiguredInstallPrefix();
    BuildLayout();
    // An opened picture reaches the viewer when it has been read or
    // converted (Form1Snapshot.cpp).
    pictureLoader_ = new PictureLoader(platform_.metafiles, QSize(), this);
    connect(pictureLoader_, &PictureLoader::Loaded, this,
            [this](const QString&, const LoadedPicture& picture) { ShowOpenedPicture(picture); });
}

TForm1::~TForm1() {
    // Nothing queued may reach a window that is gone.
    Wave.Device().detach(this);
}

void TForm1::BuildLayout() {
    SetWindowLook(this, QStringLiteral("Quarl V2.01"));

    Scroller = new QScrollArea(this);
    Scroller->setFrameShape(QFrame::NoFrame);
    Scroller->setWidgetResizable(false);
    Client = new QWidget;
    Scroller->setWidget(Client);

    CursorDisplay = new ImageView(false, Client);
    SpecDisplay = new ImageView(true, Client);
    for (ImageView* v : {CursorDisplay, SpecDisplay}) {
        connect(v, &ImageView::mousePressed, this, &TForm1::dMouseDown);
        connect(v, &ImageView::mouseMoved, this, &TForm1::DisplayPanelMouseMove);
        connect(v, &ImageView::mouseReleased, this, &TForm1::dMouseUp);
    }

    // Read-out row.
    Panel6 = new QFrame(Client);
    Panel6->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label4 = label(Panel6, QStringLiteral("0"), {4, 7, 7, 16});
    MarkUpDown = new UpDown(Panel6);
    MarkUpDown->setGeometry(105, 6, 30, 18);
    MarkLabel = valuePanel(Panel6, {136, 6, 41, 18}, QColor(0, 128, 0));
    Label1 = label(Panel6, QStringLiteral("Hz"), {180, 7, 16, 16});
    Label10 = label(Panel6, QStringLiteral("Shift"), {222, 7, 25, 16});
    Panel5 = valuePanel(Panel6, {252, 6, 51, 18}, palette().color(QPalette::WindowText));
    Label5 = label(Panel6, QStringLiteral("Hz"), {308, 7, 16, 16});
    SpaceUpDown = new UpDown(Panel6);
    SpaceUpDown->setGeometry(381, 6, 30, 18);
    SpaceLabel = valuePanel(Panel6, {412, 6, 41, 18}, Qt::red);
    Label3 = label(Panel6, QStringLiteral("Hz"), {456, 7, 16, 16});
    // Right-aligned: its right edge stays at column 507 however long the
    // number grows.
    MaxAudioFreq = label(Panel6, QStringLiteral("0"), {507 - 40, 7, 40, 16});
    MaxAudioFreq->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel* l : {Label1, Label10, Label3, Label5})
        l->setGeometry(l->x(), l->y(), std::max(l->width(), l->sizeHint().width()), l->height());
    connect(MarkUpDown, &UpDown::clickedNext, this,
            [this] { MarkUpDownClick(MarkUpDown, UpDownButton::Next); });
    connect(MarkUpDown, &UpDown::clickedPrevious, this,
            [this] { MarkUpDownClick(MarkUpDown, UpDownButton::Previous); });
    connect(SpaceUpDown, &UpDown::clickedNext, this,
            [this] { MarkUpDownClick(SpaceUpDown, UpDownButton::Next); });
    connect(SpaceUpDown, &UpDown::clickedPrevious, this,
            [this] { MarkUpDownClick(SpaceUpDown, UpDownButton::Previous); });

    // Button bar.
    Panel3 = new QFrame(Client);
    Panel3->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Specbutton =
        speedButton(Panel3, 3, QStringLiteral("Spectrum display"), ButtonPicture::Spectrum);
    WaveButton =
        speedButton(Panel3, 27, QStringLiteral("Waveform display"), ButtonPicture::Waveform);
    SonaButton =
        speedButton(Panel3, 51, QStringLiteral("Sonagraph display"), ButtonPicture::Sonagraph);
    auto* views = new QButtonGroup(this);
    views->setExclusive(true);
    for (QToolButton* b : {Specbutton, WaveButton, SonaButton}) {
        b->setCheckable(true);
        views->addButton(b);
    }
    Specbutton->setChecked(true);
    fskbutton = speedButton(Panel3, 85, QStringLiteral("Cursors track FSK "), ButtonPicture::Fsk);
    cwbutton = speedButton(Panel3, 109, QStringLiteral("Mark cursor tracks peak (Morse)"),
                           ButtonPicture::Cw);
    // At most one of the two is down, and both may be up.
    for (QToolButton* b : {fskbutton, cwbutton}) {
        b->setCheckable(true);
        QToolButton* other = b == fskbutton ? cwbutton : fskbutton;
        connect(b, &QToolButton::toggled, other, [other](bool down) {
            if (down) other->setChecked(false);
        });
    }
    SpeedButton3 = speedButton(Panel3, 143, QStringLiteral("Settings"), ButtonPicture::Settings);
    SaveButton =
        speedButton(Panel3, 169, QStringLiteral("Save image as Bitmap"), ButtonPicture::Save);
    SaveButton->setEnabled(false);
    OpenButton =
        speedButton(Panel3, 194, QStringLiteral("View saved image (Bitmap)"), ButtonPicture::Open);

    Panel1 = new QLabel(QStringLiteral("Kelvo Software"), Panel3);
    Panel1->setGeometry(228, 4, 225, 21);
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken); // lowered outside, raised inside
    {
        QFont mf = font();
        mf.setBold(true);
        mf.setItalic(true);
        mf.setPixelSize(13);
        Panel1->setFont(mf);
        QPalette pal = Panel1->palette();
        pal.setColor(QPalette::WindowText, QColor(128, 128, 128));
        Panel1->setPalette(pal);
    }

    Onbutton = speedButton(Panel3, 462, QStringLiteral("Freeze display (to save image)"),
                           ButtonPicture::Freeze);
    Onbutton->setCheckable(true);
    Over = new QFrame(Panel3);
    Over->setGeometry(486, 3, 23, 23);
    Over->setFrameStyle(QFrame::Box | QFrame::Plain);
    Over->setLineWidth(1);
    Over->setAutoFillBackground(true);
    Over->setToolTip(QStringLiteral("Buffer Missed Indicator"));
    SetOverColour(false);

    connect(Specbutton, &QToolButton::clicked, this, &TForm1::WantSpectrumClick);
    connect(WaveButton, &QToolButton::clicked, this, &TForm1::WantTimeClick);
    connect(SonaButton, &QToolButton::clicked, this, &TForm1::WantSona);
    connect(fskbutton, &QToolButton::clicked, this, &TForm1::fskbuttonClick);
    connect(cwbutton, &QToolButton::clicked, this, &TForm1::cwbuttonClick);
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm1::SettingsClick);
    connect(Onbutton, &QToolButton::clicked, this, &TForm1::OnbuttonClick);
    connect(SaveButton, &QToolButton::clicked, this, &TForm1::SaveButtonClick);
    connect(OpenButton, &QToolButton::clicked, this, &TForm1::OpenButtonClick);
    WatchMakerPanel();

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    inputWatch_ = new QTimer(this);
    inputWatch_->setSingleShot(true);
    connect(inputWatch_, &QTimer::timeout, this, &TForm1::CheckInputFlow);

    // The outer size of the layout is 520 x 207 at 281, 138; the window is
    // not scaled with the screen's resolution.
    setMinimumSize(kMinOuterWidth - kFrameWidth, kMinOuterHeight - kFrameHeight);
    setMaximumSize(kMaxOuterWidth - kFrameWidth, kMaxOuterHeight - kFrameHeight);
    move(kLayoutPosition.left, kLayoutPosition.top);
    resize(520 - kFrameWidth, 207 - kFrameHeight);
    PlaceControls();
}

void TForm1::PlaceControls() {
    const int w = width();
    const int h = height();
    Scroller->setGeometry(0, 0, w, h);
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    // Below 510 x 64 the content keeps that size and the client scrolls.
    const int cw = std::max(w, kScrollWidth);
    const int ch = std::max(w < kScrollWidth ? h - bar : h, kScrollHeight);
    Client->resize(cw, ch);
    CursorDisplay->setGeometry(0, 0, cw, stripHeight_);
    Panel3->setGeometry(0, ch - kButtonBarHeight, cw, kButtonBarHeight);
    Panel6->setGeometry(0, ch - kButtonBarHeight - kReadoutHeight, cw, kReadoutHeight);
    const int specHeight = std::max(ch - kButtonBarHeight - kReadoutHeight - stripHeight_, 2);
    SpecDisplay->setGeometry(0, stripHeight_, cw, specHeight);
}

void TForm1::SetCursorStripHeight(int height) {
    stripHeight_ = height;
    PlaceControls();
}

int TForm1::OuterWidth() const {
    return width() + kFrameWidth;
}
int TForm1::OuterHeight() const {
    return height() + kFrameHeight;
}

void TForm1::SetOuterWidth(int w) {
    w = std::clamp(w, kMinOuterWidth, kMaxOuterWidth);
    resize(w - kFrameWidth, height());
    PlaceControls();
}

void TForm1::SetOuterHeight(int h) {
    h = std::clamp(h, kMinOuterHeight, kMaxOuterHeight);
    resize(width(), h - kFrameHeight);
    PlaceControls();
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceControls();
    FormResize();
}

// ---------------------------------------------------------------- start-up

void TForm1::FormCreate() {
    Busy = true;
    DraggingMark = false;
    DraggingSpace = false;
    DriverGetSampleRate();
    if (ReadSpecData() == 0)
        RestoreSettings();
    else
        ApplyDefaultSettings();
    AvgAccumulator.fill(0);
    Wave.InitWaveBuffers();
    Stopping = false;
    ReopenPending = false;
    Onbutton->setChecked(false);
    SpecDisplay->setPictureSize(SpecDisplay->width(), SpecDisplay->height());
    GetValues();
    const wavein::MMResult r = Wave.OpenWaveIn(this, Wave.WaveInHandle, SampleRate);
    deviceOpen_ = r == wavein::MMSYSERR_NOERROR;
    if (r != wavein::MMSYSERR_NOERROR) {
        DeviceErrorBox(r);
        CloseWindow();
    }
}

// ------------------------------------------------------------------- close

bool TForm1::FormCloseQuery() {
    // Frozen, so that nothing is analysed or drawn any more; the save button
    // is left as it was.
    Onbutton->setChecked(true);
    Stopping = true;
    return true;
}

void TForm1::FormClose() {
    CaptureTeardown();
    WriteSpecData();
}

void TForm1::CloseWindow() {
    if (closed_) return;
    if (!FormCloseQuery()) return;
    closed_ = true;
    Timer1->stop();
    inputWatch_->stop();
    // The program ends: a metafile still converting is dropped, its
    // converter killed.
    pictureLoader_->Cancel();
    FormClose();
    hide();
    if (Form2 != nullptr) Form2->hide();
    emit Closed();
}

void TForm1::closeEvent(QCloseEvent* event) {
    CloseWindow();
    event->accept();
}

void TForm1::DeviceErrorBox(wavein::MMResult code) {
    deviceErrorShown_ = true;
    platform_.errorBox(this, QStringLiteral("Error"), QString::fromLatin1(DeviceErrorText(code)));
}

// ----------------------------------------------------------------- refresh

void TForm1::Timer1Timer() {
    Busy = true;
    const int interval = Form2->tbSpeed->Position();
    if (Timer1->interval() != interval) Timer1->setInterval(interval);
    // The strip is cleared and its cursors drawn again on every refresh, but
    // it shows something new only when a cursor has moved.
    CursorDisplay->holdRepaints();
    ClearDisplay(CursorDisplay);
    if (SonaButton->isChecked()) {
        DrawSonagraph(SpecPoints.data() + 1, kSpectrumSize - 2, SpecDisplay->width() - 1);
        RunTracker();
        DrawCursor(CursorDisplay);
    } else if (WaveButton->isChecked()) {
        DisplaySinewave();
        DrawCursor(SpecDisplay);
    } else if (Specbutton->isChecked()) {
        DisplaySpectrum(SpecDisplay);
        RunTracker();
        DrawCursor(SpecDisplay);
    }
    CursorDisplay->releaseRepaints();
    Busy = false;
}

// After the picture and before the cursors, so that they are drawn where the
// tracker put them.
void TForm1::RunTracker() {
    if (fskbutton->isChecked())
        TrackPoints();
    else if (cwbutton->isChecked())
        TrackCWPoints();
}

// -------------------------------------------------------------- load check

void TForm1::PerformanceReset() {
    PerfFrameSpan = std::trunc(SampleRate / 512.0L / 2.0L);
    FrameCount = 0;
    PerfStartTime = platform_.clockMs();
    PerfFrameLimit = static_cast<std::int32_t>(PerfFrameSpan);
}

bool TForm1::PerformanceCheck() {
    if (FrameCount < PerfFrameLimit) return Busy;
    PerfCheckTime = platform_.clockMs();
    const auto elapsed = static_cast<std::int32_t>(PerfCheckTime - PerfStartTime);
    if (elapsed > static_cast<std::int32_t>(kLoadCheckLimitMs)) {
        SetOverColour(true);
        if (!Form2->cbSampleSpeed->Checked())
            Form2->tbSpeed->SetPosition(Form2->tbSpeed->Position() + kSpeedStepMs);
        platform_.sleepMs(kLoadCheckPauseMs);
        PerformanceReset();
        return true;
    }
    SetOverColour(false);
    PerformanceReset();
    return false;
}

void TForm1::SetOverColour(bool late) {
    QPalette pal = Over->palette();
    pal.setColor(QPalette::Window, late ? QColor(255, 0, 0) : palette().color(QPalette::Button));
    Over->setPalette(pal);
}

bool TForm1::OverIsRed() const {
    return Over->palette().color(QPalette::Window) == QColor(255, 0, 0);
}

// ----------------------------------------------------------------- buttons

void TForm1::OnbuttonClick() {
    SaveButton->setEnabled(Onbutton->isChecked());
}

void TForm1::SettingsClick() {
    if (!Form2->isVisible()) {
        // Centred on the screen, as a dialog is expected to open.
        if (const QScreen* s = screen())
            Form2->move(s->availableGeometry().center() - Form2->rect().center());
        Form2->show();
    }
    Form2->raise();
    Form2->activateWindow();
}
