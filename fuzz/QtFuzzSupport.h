// What the Qt fuzz targets share: one application object for the whole run,
// on the offscreen platform, and a scratch file that each input is written to
// (in memory where the system offers it: it is rewritten for every input).
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <unistd.h>

// The application is never destroyed: libFuzzer leaves through exit(), and a
// QApplication torn down among the other statics crashes in its destructor.
inline void StartQtForFuzzing(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(*argc, *argv);
    (void)app;
}

// A scratch folder of this process, removed at exit.
inline const QString& ScratchFolder() {
    static const QString folder = [] {
        const QString base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : QDir::tempPath();
        const QString f = QStringLiteral("%1/quarl-fuzz-%2").arg(base).arg(::getpid());
        QDir().mkpath(f);
        return f;
    }();
    static const struct Remove {
        ~Remove() { QDir(folder).removeRecursively(); }
    } remove;
    return folder;
}

// Writes the input to `name` in the scratch folder and returns its path.
inline QString WriteScratchFile(const QString& name, const std::uint8_t* data, std::size_t size) {
    const QString path = QDir(ScratchFolder()).filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    return path;
}
