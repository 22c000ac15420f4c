#include "app/Platform.h"

#include "app/FileChooser.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QThread>
#include <QUrl>
#include <chrono>

Platform DesktopPlatform() {
    Platform p;
    p.errorBox = [](QWidget* parent, const QString& caption, const QString& text) {
        QMessageBox::critical(parent, caption, text, QMessageBox::Ok);
    };
    p.clockMs = [] {
        using namespace std::chrono;
        const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch());
        return static_cast<std::uint32_t>(ms.count()); // wraps like any 32-bit tick count
    };
    p.sleepMs = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
    p.toolkitErrorBox = [](QWidget* parent, const QString& text) {
        QMessageBox::critical(parent, QStringLiteral("Quarl"), text, QMessageBox::Ok);
    };
    p.chooseFile = [converters = p.metafiles](QWidget* parent, const FileDialogRequest& request) {
        return RunFileDialog(parent, request, converters);
    };
    p.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return p;
}
