#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/TerminationSignals.h"
#include "capture/PulseWaveIn.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Before QApplication: --version and --help need no display.
    if (const auto status = HandleCommandLine(argc, argv)) return *status;
    // As early as possible: from here on SIGTERM, SIGINT and SIGHUP wait in
    // the eventfd for the event loop instead of killing the program.
    TerminationSignals terminationSignals;

    QApplication app(argc, argv);
    // The application's own title is "Quarl". Not as display name: Qt would
    // append that to every window title.
    QApplication::setApplicationName(QStringLiteral("Quarl"));
    // Lets the desktop match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUARL_APP_ID));
    // The main window's close ends the program, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);

    int status = 0;
    {
        wavein::PulseWaveIn device;
        QuarlApplication quarl(device, DesktopPlatform());
        quarl.CreateWindows();
        QObject::connect(quarl.Form1(), &TForm1::Closed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        terminationSignals.Watch(&quarl, [&quarl] { quarl.Terminate(); });
        if (quarl.Start()) status = QApplication::exec();
        // Scripts and desktop launchers learn from the status that the run
        // ended on a device error.
        if (status == 0 && quarl.Form1()->DeviceErrorShown()) status = 1;
    }
    return status;
}
