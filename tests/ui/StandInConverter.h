// Stand-in metafile converters for the viewer's tests: small shell scripts,
// and a look at the processes they leave.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QString>
#include <algorithm>
#include <vector>

// Writes an executable shell script to `path` whose `body` runs with $out set
// to the SVG file it is asked to write (emf2svg-conv's arguments: -i IN -o
// OUT; $2 is the metafile).
inline QString writeConverter(const QString& path, const QByteArray& body) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\nout=$4\n" + body + "\n");
    f.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    return path;
}

// A process that still runs (not gone, not a zombie).
inline bool running(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray fields = stat.readAll();
    return !fields.mid(fields.lastIndexOf(')') + 2).startsWith('Z');
}

// The process ids that stand-in converters wrote into `file`, one a line.
inline std::vector<qint64> pidsIn(const QString& file) {
    QFile f(file);
    std::vector<qint64> pids;
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (!line.isEmpty()) pids.push_back(line.toLongLong());
    return pids;
}

// Runs the event loop until `file` names `count` processes (at most 5 s).
inline void waitForPids(const QString& file, std::size_t count) {
    const QDeadlineTimer deadline(5000);
    while (pidsIn(file).size() < count && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Waits up to 3 s for every process that `file` names to end.
inline bool allEnd(const QString& file) {
    const std::vector<qint64> pids = pidsIn(file);
    const QDeadlineTimer deadline(3000);
    auto anyRunning = [&] { return std::any_of(pids.begin(), pids.end(), running); };
    while (anyRunning() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return !pids.empty() && !anyRunning();
}
