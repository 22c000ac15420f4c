// The settings file from anywhere, through the whole start-up of the real
// windows (with the simulated sound device): the read, the clamps, the
// restore of every control and view, a few blocks of sound in the restored
// view, and the close that writes the file back. Then the written file is
// started and closed once more: the settings a run leaves must come back
// unchanged, or they would drift from run to run. Slow next to the core
// targets (a few milliseconds per input), and meant to be.
#include "QtFuzzSupport.h"
#include "ui/Harness.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>

namespace {

// One run: `settings` (null: no file) in the program's folder, start, a few
// blocks, close. Returns what the close wrote.
QByteArray RunOnce(const QByteArray* settings) {
    Harness run;
    if (settings != nullptr) {
        QFile file(QString::fromStdString(run.settingsPath()));
        if (file.open(QIODevice::WriteOnly)) file.write(*settings);
    }
    run.start();
    run.blocks(3);
    run.form1->CloseWindow();
    run.pump();
    QFile written(QString::fromStdString(run.settingsPath()));
    return written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    StartQtForFuzzing(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray first = RunOnce(&input);
    if (first.size() != 56) {
        std::fprintf(stderr, "the close wrote %lld bytes, not 56\n", (long long)first.size());
        std::abort();
    }
    QByteArray second = RunOnce(&first);
    const auto trackMode = static_cast<std::int16_t>(static_cast<std::uint8_t>(first[46]) |
                                                     static_cast<std::uint8_t>(first[47]) << 8);
    if (trackMode == 4000 || trackMode == 5000) second.replace(2, 2, first.mid(2, 2));
    if (trackMode == 4000) second.replace(4, 2, first.mid(4, 2));
    if (second != first) {
        std::fprintf(stderr, "settings changed on the second run:\n  %s\n  %s\n",
                     first.toHex(' ').constData(), second.toHex(' ').constData());
        std::abort();
    }
    return 0;
}
