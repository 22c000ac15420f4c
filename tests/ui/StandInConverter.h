// Stand-in metafile converters for the viewer's tests (shell scripts), and a
// look at the processes they started.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

inline QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// `body` runs with $out set to the SVG file to write (emf2svg-conv -i IN -o
// OUT; $2 is the metafile).
inline QString writeConverter(const QString& path, const QByteArray& body) {
    writeFile(path, "#!/bin/sh\nout=$4\n" + body + "\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    return path;
}

// Runs the event loop until `done()` holds, at most `ms` milliseconds.
template <typename Done> bool runUntil(Done done, int ms = 5000) {
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// True once the process whose id is in `pidFile` has ended (gone, or a zombie).
inline bool ended(const QString& pidFile) {
    QFile f(pidFile);
    const QByteArray pid = f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
    QFile stat("/proc/" + pid + "/stat");
    return !pid.isEmpty() && (!stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z "));
}
