#include "app/Form2.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QScreen>
#include <cmath>

namespace {

// The dialog was laid out for 120 pixels per inch and follows the screen's
// resolution.
constexpr double kDesignDpi = 120.0;

struct Scaler {
    double factor;
    int operator()(int v) const { return static_cast<int>(std::lround(v * factor)); }
    QRect rect(int l, int t, int w, int h) const {
        return QRect((*this)(l), (*this)(t), (*this)(w), (*this)(h));
    }
};

QLabel* valuePanel(QWidget* parent, const QString& text, QRect geometry) {
    auto* p = new QLabel(text, parent);
    p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    p->setAutoFillBackground(true);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, Qt::white);
    p->setPalette(pal);
    p->setAlignment(Qt::AlignCenter);
    p->setGeometry(geometry);
    return p;
}

QLabel* label(QWidget* parent, const QString& text, QPoint at) {
    auto* l = new QLabel(text, parent);
    l->move(at);
    l->adjustSize();
    return l;
}

} // namespace

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setWindowTitle(QStringLiteral("Quarl "));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    const QScreen* screen = this->screen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : kDesignDpi;
    const Scaler s{dpi / kDesignDpi};

    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(std::max(8, s(11)));
    setFont(f);
    setFixedSize(s(280), s(352));

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(s.rect(4, 2, 269, 347));

    // Spectrum
    GroupBox2 = new QGroupBox(QStringLiteral("Spectrum"), GroupBox1);
    GroupBox2->setGeometry(s.rect(9, 12, 160, 177));
    Label7 = label(GroupBox2, QStringLiteral("Gain"), {s(10), s(17)});
    SpecGain = new TrackBar(GroupBox2);
    SpecGain->setGeometry(s.rect(8, 32, 113, 25));
    SpecGain->setRange(1, 100);
    SpecGain->setValue(1);
    SpecGain->SetFrequency(10);
    SpecGain->setToolTip(QStringLiteral("Slide to adjust Spectrum and Sona display gain"));
    pSpecGain = valuePanel(GroupBox2, QStringLiteral("000"), s.rect(121, 36, 32, 18));
    Label3 = label(GroupBox2, QStringLiteral("Bandwidth"), {s(10), s(62)});
    AudioBandwidth = new TrackBar(GroupBox2);
    AudioBandwidth->setGeometry(s.rect(8, 76, 105, 25));
    AudioBandwidth->setRange(1024, 24000);
    AudioBandwidth->setValue(1024);
    AudioBandwidth->SetFrequency(2048);
    AudioBandwidth->setToolTip(QStringLiteral("Slide to adjust display bandwidth"));
    pBandwidth = valuePanel(GroupBox2, QStringLiteral("000"), s.rect(113, 80, 40, 18));
    cbNyquist = new CheckBox(QStringLiteral("Nyquist Bandwidth"), GroupBox2);
    cbNyquist->setGeometry(s.rect(10, 108, 139, 17));
    cbNyquist->setToolTip(QStringLiteral("Set bandwidth to Sample Rate / 2"));
    Label6 = label(GroupBox2, QStringLiteral("Averaging"), {s(10), s(131)});
    AVG = new TrackBar(GroupBox2);
    AVG->setGeometry(s.rect(8, 148, 105, 25));
    AVG->setRange(1, 100);
    AVG->setValue(1);
    AVG->SetFrequency(10);
    AVG->setToolTip(QStringLiteral("Slide to adjust averaging of Spectrum display"));
    pAVG = valuePanel(GroupBox2, QStringLiteral("000"), s.rect(115, 152, 38, 18));

    // Waveform
    GroupBox3 = new QGroupBox(QStringLiteral("Waveform"), GroupBox1);
    GroupBox3->setGeometry(s.rect(9, 192, 160, 81));
    Label1 = label(GroupBox3, QStringLiteral("Gain"), {s(10), s(15)});
    Wavegain = new TrackBar(GroupBox3);
    Wavegain->setGeometry(s.rect(8, 28, 113, 25));
    Wavegain->setRange(1, 100);
    Wavegain->setValue(1);
    Wavegain->SetFrequency(10);
    Wavegain->setToolTip(QStringLiteral("Slide to adjust display gain of Waveform"));
    pWavegain = valuePanel(GroupBox3, QStringLiteral("000"), s.rect(120, 32, 32, 18));
    cbTrigger = new CheckBox(QStringLiteral("Trigger Waveform"), GroupBox3);
    cbTrigger->setGeometry(s.rect(8, 56, 141, 17));
    cbTrigger->setChecked(true);
    cbTrigger->setToolTip(QStringLiteral("Trigger on highest point of waveform"));

    // Sonagraph
    GroupBox4 = new QGroupBox(QStringLiteral("Sonagraph"), GroupBox1);
    GroupBox4->setGeometry(s.rect(176, 192, 87, 81));
    GroupBox4->setToolTip(QStringLiteral("Sonagraph display mode"));
    FlowButton = new RadioButton(QStringLiteral("Flow"), 0, GroupBox4);
    FlowButton->setGeometry(s.rect(10, 27, 63, 17));
    SweepButton = new RadioButton(QStringLiteral("Sweep"), 0, GroupBox4);
    SweepButton->setGeometry(s.rect(10, 54, 65, 17));
    SweepButton->setChecked(true);
    for (RadioButton* b : {FlowButton, SweepButton})
        b->setToolTip(QStringLiteral("Sonagraph display mode"));

    // Sampling
    GroupBox5 = new QGroupBox(QStringLiteral("Sampling"), GroupBox1);
    GroupBox5->setGeometry(s.rect(176, 12, 87, 177));
    GroupBox5->setToolTip(QStringLiteral("Set the audio sample rate"));
    Sample48 = new RadioButton(QStringLiteral("48Khz"), 48000, GroupBox5);
    Sample48->setGeometry(s.rect(10, 17, 70, 21));
    Sample44 = new RadioButton(QStringLiteral("44 Khz"), 44100, GroupBox5);
    Sample44->setGeometry(s.rect(10, 50, 70, 21));
    Sample22 = new RadioButton(QStringLiteral("22 Khz"), 22050, GroupBox5);
    Sample22->setGeometry(s.rect(10, 83, 70, 21));
    Sample11 = new RadioButton(QStringLiteral("11 Khz"), 11025, GroupBox5);
    Sample11->setGeometry(s.rect(10, 116, 71, 21));
    Sample8 = new RadioButton(QStringLiteral("  8 Khz"), 8000, GroupBox5);
    Sample8->setGeometry(s.rect(10, 149, 71, 21));
    Sample48->setChecked(true);
    for (RadioButton* b : {Sample48, Sample44, Sample22, Sample11, Sample8}) {
        b->setToolTip(QStringLiteral("Set the audio sample rate"));
        connect(b, &RadioButton::Click, this, [this, b] { SampleClick(b); });
    }

    // Display Update Speed
    GroupBox6 = new QGroupBox(QStringLiteral("Display Update Speed"), GroupBox1);
    GroupBox6->setGeometry(s.rect(9, 276, 252, 65));
    tbSpeed = new TrackBar(GroupBox6);
    tbSpeed->setGeometry(s.rect(4, 16, 193, 25));
    tbSpeed->setRange(50, 500);
    tbSpeed->setValue(100);
    tbSpeed->SetFrequency(50);
    tbSpeed->setEnabled(false);
    tbSpeed->setToolTip(QStringLiteral("Slide to adjust the display update speed"));
    pSpeed = valuePanel(GroupBox6, QStringLiteral("0000"), s.rect(200, 20, 44, 18));
    cbSampleSpeed = new CheckBox(QStringLiteral("Sampling Speed"), GroupBox6);
    cbSampleSpeed->setGeometry(s.rect(8, 44, 141, 17));
    cbSampleSpeed->setChecked(true);
    cbSampleSpeed->setToolTip(QStringLiteral("Check this box for fastest display update speed"));

    // Check boxes carry their text to the left of the box.
    for (CheckBox* c : {cbNyquist, cbTrigger, cbSampleSpeed})
        c->setLayoutDirection(Qt::RightToLeft);

    // The handlers are connected only now, so that setting up the layout
    // above raises none of them.
    connect(SpecGain, &TrackBar::Change, this, &TForm2::SpecGainChange);
    connect(AudioBandwidth, &TrackBar::Change, this, &TForm2::AudioBandwidthChange);
    connect(AVG, &TrackBar::Change, this, &TForm2::AVGChange);
    connect(Wavegain, &TrackBar::Change, this, &TForm2::WavegainChange);
    connect(tbSpeed, &TrackBar::Change, this, &TForm2::tbSpeedChange);
    connect(cbNyquist, &CheckBox::Click, this, &TForm2::cbNyquistClick);
    connect(cbTrigger, &CheckBox::Click, this, &TForm2::cbTriggerClick);
    connect(cbSampleSpeed, &CheckBox::Click, this, &TForm2::cbSampleSpeedClick);
}

void TForm2::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}
