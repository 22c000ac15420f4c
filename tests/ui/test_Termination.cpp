// SIGTERM, SIGINT and SIGHUP: the close of the main window, reached from the
// event loop, at every stage of a run.
#include "Harness.h"
#include "app/AboutBox.h"
#include "app/TerminationSignals.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QToolButton>
#include <csignal>
#include <gtest/gtest.h>

namespace {

using wavein::SimWaveIn;

bool settingsWritten(const Harness& h) {
    return QFileInfo(QString::fromStdString(h.settingsPath())).size() ==
           static_cast<qint64>(kSettingsRecordSize);
}

// Runs `body` inside an event loop that stands for the program's main loop
// (modal windows then open one level deeper, as in the program) until the
// main window has closed, or for at most five seconds.
void inMainLoop(Harness& h, const std::function<void()>& body) {
    QEventLoop mainLoop;
    QObject::connect(h.form1, &TForm1::Closed, &mainLoop, &QEventLoop::quit);
    QTimer::singleShot(0, &mainLoop, body);
    QTimer::singleShot(5000, &mainLoop, &QEventLoop::quit);
    mainLoop.exec();
}

class TerminationSignal : public ::testing::TestWithParam<int> {};

TEST_P(TerminationSignal, ClosesTheMainWindowAsTheOperatorsCloseDoes) {
    Harness h;
    h.start();
    ASSERT_EQ(h.blocks(2), 2);
    {
        TerminationSignals termination;
        termination.Watch(h.app.get(), [&h] { h.app->Terminate(); });
        ASSERT_EQ(std::raise(GetParam()), 0);
        // The handler only wakes the event loop; the close runs from there.
        EXPECT_FALSE(h.form1->IsClosed());
        for (int i = 0; i < 100 && !h.closedSignal; ++i)
            QCoreApplication::processEvents();
    }
    EXPECT_TRUE(h.closedSignal);
    EXPECT_TRUE(h.form1->Onbutton->isChecked()); // the close query froze the display
    EXPECT_FALSE(h.device.isOpen());
    EXPECT_FALSE(h.form1->Wave.RingAllocated());
    EXPECT_TRUE(settingsWritten(h));
    EXPECT_TRUE(h.boxes.empty());
    // The handler is gone with the object: the signal has its default action again.
    struct sigaction now = {};
    sigaction(GetParam(), nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, TerminationSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP), [](const auto& info) {
        return std::string(info.param == SIGTERM ? "TERM" : info.param == SIGINT ? "INT" : "HUP");
    });

TEST(Termination, ASignalIgnoredBeforeStaysIgnored) {
    // As under `nohup`, which ignores SIGHUP.
    std::signal(SIGHUP, SIG_IGN);
    int calls = 0;
    {
        TerminationSignals termination;
        QObject context;
        termination.Watch(&context, [&calls] { ++calls; });
        struct sigaction now = {};
        sigaction(SIGHUP, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_IGN);
        std::raise(SIGHUP);
        QCoreApplication::processEvents();
        EXPECT_EQ(calls, 0);
        std::raise(SIGTERM);
        QCoreApplication::processEvents();
        EXPECT_EQ(calls, 1);
    }
    std::signal(SIGHUP, SIG_DFL);
}

TEST(Termination, DuringTheSplashEndsTheStartUpBeforeAnythingIsReadOrOpened) {
    Harness h;
    h.splashMs = 10000;
    h.create();
    QTimer::singleShot(50, h.app.get(), [&h] { h.app->Terminate(); });
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(h.app->Start());
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_FALSE(h.app->AboutBox()->isVisible());
    EXPECT_FALSE(h.form1->isVisible());
    EXPECT_EQ(h.device.opens(), 0);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(h.settingsPath())));
}

// A dialog that a button of the main window opened (a file dialog, a box)
// is cancelled; the close waits until that handler has returned to the main
// loop, and a box that the close itself raises (here a failed unprepare in
// the teardown) is dismissed too, so the settings are still written.
TEST(Termination, CancelsModalWindowsAndClosesOnlyFromTheMainLoop) {
    Harness h;
    h.start();
    h.device.setFailure(SimWaveIn::Call::Unprepare, wavein::MMSYSERR_INVALHANDLE);
    qint64 boxMs = -1;
    h.whileBoxShows = [&] {
        QDialog box(h.form1);
        // Stands for an operator who never answers; a guard for the test only.
        QTimer::singleShot(3000, &box, &QDialog::accept);
        QElapsedTimer shown;
        shown.start();
        box.exec();
        boxMs = shown.elapsed();
    };
    int answer = -1;
    bool closedInsideTheHandler = true;
    inMainLoop(h, [&] {
        QDialog dialog(h.form1);
        QTimer::singleShot(20, h.app.get(), [&h] { h.app->Terminate(); });
        answer = dialog.exec();
        // The handler goes on after its dialog, in a loop of its own for a
        // while (as one that waits for a child process would).
        QEventLoop rest;
        QTimer::singleShot(200, &rest, &QEventLoop::quit);
        rest.exec();
        closedInsideTheHandler = h.form1->IsClosed();
    });
    EXPECT_EQ(answer, QDialog::Rejected);
    EXPECT_FALSE(closedInsideTheHandler);
    EXPECT_EQ(h.boxes, std::vector<std::string>{"Wave Device handle is invalid"});
    EXPECT_GE(boxMs, 0);
    EXPECT_LT(boxMs, 1000);
    EXPECT_TRUE(h.closedSignal);
    EXPECT_TRUE(settingsWritten(h));
}

} // namespace
