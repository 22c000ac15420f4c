#include "app/Application.h"
#include "app/ExitQuietly.h"
#include "app/Form1.h"
#include "capture/QtWaveIn.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The application's own title is "Quarl". Not as display name: Qt would
    // append that to every window title.
    QApplication::setApplicationName(QStringLiteral("Quarl"));
    // The main window's close ends the program, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);

    int status = 0;
    {
        wavein::QtWaveIn device;
        QuarlApplication quarl(device, DesktopPlatform());
        quarl.CreateWindows();
        QObject::connect(quarl.Form1(), &TForm1::Closed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        quarl.Start();
        status = QApplication::exec();
        // Scripts and desktop launchers learn from the status that the run
        // ended on a device error.
        if (status == 0 && quarl.Form1()->DeviceErrorShown()) status = 1;
    }
    ExitQuietly(status);
}
