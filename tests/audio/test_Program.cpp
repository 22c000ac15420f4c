// The whole program on the real sound input: blocks are counted and analysed,
// and a sound server that dies under the recording is reported and the
// window closes in order.
#include "app/Application.h"
#include "app/Form1.h"
#include "capture/QtWaveIn.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

namespace {

template <typename Pred> bool waitFor(Pred done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

struct Program {
    wavein::QtWaveIn device;
    std::vector<std::string> boxes;
    QTemporaryDir folder;
    std::unique_ptr<QuarlApplication> app;

    Program() {
        Platform p = DesktopPlatform();
        p.errorBox = [this](QWidget*, const QString&, const QString& text) {
            boxes.push_back(text.toStdString());
        };
        app = std::make_unique<QuarlApplication>(device, p);
        app->CreateWindows(folder.path());
        app->Start();
    }
    ~Program() {
        if (!app->Form1()->IsClosed()) app->Form1()->CloseWindow();
        waitFor([] { return false; }, 50);
    }
    TForm1& form() { return *app->Form1(); }
};

void requireServer() {
    if (QMediaDevices::defaultAudioInput().isNull()) {
        if (qEnvironmentVariableIsSet("CI"))
            FAIL() << "no sound server: scripts/test.sh starts a private PulseAudio";
        GTEST_SKIP() << "no sound server reachable";
    }
}

} // namespace

TEST(Program, CountsAndAnalysesTheBlocksOfTheRealInput) {
    requireServer();
    Program prog;
    ASSERT_TRUE(prog.boxes.empty());
    // Two seconds at 8000/s is about 31 blocks; the first few are skipped
    // while the start-up's busy flag lasts.
    ASSERT_TRUE(waitFor([&] { return prog.form().BlocksReceived >= 25; }, 5000))
        << prog.form().BlocksReceived << " blocks";
    const auto& spectrum = prog.form().FftSpectrum;
    const auto peak = std::max_element(spectrum.begin() + 2, spectrum.begin() + 256);
    EXPECT_EQ(peak - spectrum.begin(), 64) << "the 1000 Hz tone at 8000/s";
    prog.form().CloseWindow();
    EXPECT_TRUE(prog.boxes.empty());
    EXPECT_TRUE(QFile::exists(prog.folder.filePath("quarl.cfg")));
}

TEST(ServerDies, WhileRecordingTheErrorIsShownAndTheWindowClosesInOrder) {
    const QByteArray pid = qgetenv("QUARL_TEST_PULSE_PID");
    if (pid.isEmpty())
        GTEST_SKIP()
            << "runs only under its own private PulseAudio (tests/audio/with_private_pulse.sh)";
    requireServer();
    Program prog;
    ASSERT_TRUE(waitFor([&] { return prog.form().BlocksReceived >= 5; }, 5000));

    ASSERT_EQ(::kill(pid.toInt(), SIGKILL), 0);
    ASSERT_TRUE(waitFor([&] { return prog.form().IsClosed(); }, 10000))
        << "the window did not notice that the server went away";
    EXPECT_EQ(prog.boxes, std::vector<std::string>{"Wave Port no longer connected"});
    EXPECT_FALSE(prog.form().Wave.RingAllocated());
    EXPECT_TRUE(QFile::exists(prog.folder.filePath("quarl.cfg")));
}
