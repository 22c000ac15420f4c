// The program's windows on the real sound input, for the audio and
// end-to-end tests: device error boxes are recorded instead of shown.
#pragma once

#include "app/Application.h"
#include "app/Form1.h"
#include "app/Form2.h"
#include "capture/PulseCapture.h"
#include "capture/PulseWaveIn.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

// Runs the event loop until `done()` holds or `ms` milliseconds have passed.
template <typename Pred> bool waitFor(Pred done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

inline void runEventsFor(int ms) {
    waitFor([] { return false; }, ms);
}

// True when a sound server answers within the device's answer limit.
inline bool SoundServerAnswers() {
    PulseCapture client;
    QElapsedTimer t;
    t.start();
    while (client.server() == PulseCapture::Server::Connecting &&
           t.elapsed() < wavein::kNotAnsweringLimitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return client.server() == PulseCapture::Server::Ready;
}

struct RealProgram {
    wavein::PulseWaveIn device;
    std::vector<std::string> boxes;
    QTemporaryDir folder; // holds quarl.cfg
    std::unique_ptr<QuarlApplication> app;

    RealProgram() {
        Platform p = DesktopPlatform();
        p.errorBox = [this](QWidget*, const QString&, const QString& text) {
            boxes.push_back(text.toStdString());
        };
        p.splashIntervalMs = 20; // the four seconds are checked once, on the real program
        app = std::make_unique<QuarlApplication>(device, p);
        app->CreateWindows(folder.path());
        app->Start();
    }
    ~RealProgram() {
        if (!form().IsClosed()) form().CloseWindow();
        runEventsFor(50);
    }
    TForm1& form() { return *app->Form1(); }
    TForm2& dialog() { return *app->Form2(); }
};
