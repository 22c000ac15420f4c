// Builds the program's windows with the simulated sound device, recorded
// error boxes and an injected clock, and runs its start-up.
#pragma once

#include "app/Application.h"
#include "app/Form1.h"
#include "app/Form2.h"
#include "capture/SimWaveIn.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <memory>
#include <string>
#include <vector>

struct Harness {
    wavein::SimWaveIn device;
    // Texts of the device error boxes, in order ("Error" caption checked).
    std::vector<std::string> boxes;
    std::vector<int> sleeps;
    // Texts of the toolkit's error boxes (snapshots, viewer), in order.
    std::vector<std::string> toolkitBoxes;
    // The file dialogs run, and what each next one answers (empty: cancel).
    std::vector<FileDialogRequest> dialogs;
    std::deque<QString> answers;
    std::vector<QString> openedUrls;
    MetafileConverters metafiles;
    std::uint32_t now = 1000; // the millisecond clock
    int splashMs = 1;         // the about window's time at start-up
    QTemporaryDir folder;     // holds quarl.cfg
    std::unique_ptr<QuarlApplication> app;
    TForm1* form1 = nullptr;
    TForm2* form2 = nullptr;
    bool closedSignal = false;

    Platform platform() {
        Platform p;
        p.errorBox = [this](QWidget*, const QString& caption, const QString& text) {
            boxes.push_back(caption == QLatin1String("Error")
                                ? text.toStdString()
                                : "wrong caption: " + caption.toStdString());
        };
        p.clockMs = [this] { return now; };
        p.sleepMs = [this](int ms) { sleeps.push_back(ms); };
        p.toolkitErrorBox = [this](QWidget*, const QString& text) {
            toolkitBoxes.push_back(text.toStdString());
        };
        p.chooseFile = [this](QWidget*, const FileDialogRequest& request) {
            dialogs.push_back(request);
            if (answers.empty()) return QString();
            QString answer = answers.front();
            answers.pop_front();
            return answer;
        };
        p.openUrl = [this](const QUrl& url) { openedUrls.push_back(url.toString()); };
        p.splashIntervalMs = splashMs;
        p.metafiles = metafiles;
        return p;
    }

    // The four windows, hidden; FormCreate has not run.
    void create() {
        app = std::make_unique<QuarlApplication>(device, platform());
        app->CreateWindows(folder.path());
        form1 = app->Form1();
        form2 = app->Form2();
        QObject::connect(form1, &TForm1::Closed, [this] { closedSignal = true; });
    }

    // FormCreate, the main window shown, and the device-opened notification
    // handled: recording has started unless something failed.
    void start() {
        if (!app) create();
        app->Start();
        pump();
    }

    // Runs the event loop until the device has delivered all it queued.
    void pump() {
        for (int i = 0; i < 50; ++i) {
            QCoreApplication::processEvents();
            if (device.pendingNotifications() == 0) break;
        }
        QCoreApplication::processEvents();
    }

    // Lets the device fill `n` buffers and delivers them, one at a time.
    int blocks(int n) {
        int filled = 0;
        for (int i = 0; i < n; ++i) {
            filled += device.fillBuffers(1);
            pump();
        }
        return filled;
    }

    std::string settingsPath() const {
        return QDir(folder.path()).filePath("quarl.cfg").toStdString();
    }

    ~Harness() {
        // Tear down like the program: the window closes before it goes.
        if (form1 != nullptr && !form1->IsClosed()) form1->CloseWindow();
        pump();
        app.reset();
    }
};
