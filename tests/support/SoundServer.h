// Test tones and defaults on the private sound server (scripts/sound.sh),
// the same calls on PulseAudio and PipeWire.
#pragma once

#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

// Runs `bash scripts/sound.sh ARGS...` (or, with `pactl` true, `pactl
// ARGS...`) and says how it went as a test assertion.
inline ::testing::AssertionResult Sound(const QStringList& args, bool pactl = false) {
    QProcess p;
    if (pactl)
        p.start(QStringLiteral("pactl"), args);
    else
        p.start(QStringLiteral("bash"),
                QStringList{QStringLiteral(QUARL_SCRIPTS_DIR "/sound.sh")} + args);
    if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << (pactl ? "pactl " : "sound.sh ") << args.join(' ').toStdString() << ": "
           << p.readAllStandardError().toStdString();
}

inline ::testing::AssertionResult Pactl(const QStringList& args) {
    return Sound(args, true);
}
