// SIGTERM, SIGINT and SIGHUP: the close of the main window, reached from the
// event loop, also from behind a modal dialog, and the end of the splash.
#include "Harness.h"
#include "app/TerminationSignals.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <csignal>
#include <gtest/gtest.h>

namespace {

class TerminationSignal : public ::testing::TestWithParam<int> {};

// The signal comes while a button's handler has a dialog open: the dialog is
// cancelled, and the window closes as the operator's close would.
TEST_P(TerminationSignal, CancelsAModalDialogAndClosesTheWindow) {
    Harness h;
    h.start();
    TerminationSignals termination;
    termination.Watch(h.app.get(), [&h] { h.app->Terminate(); });
    QEventLoop mainLoop; // the program's, so that the dialog's loop is a level deeper
    QObject::connect(h.form1, &TForm1::Closed, &mainLoop, &QEventLoop::quit);
    int answer = -1;
    QTimer::singleShot(0, &mainLoop, [&] {
        QDialog dialog(h.form1);
        QTimer::singleShot(3000, &dialog, &QDialog::accept); // should the test fail
        QTimer::singleShot(20, [this] { std::raise(GetParam()); });
        answer = dialog.exec();
    });
    QTimer::singleShot(5000, &mainLoop, &QEventLoop::quit);
    mainLoop.exec();
    EXPECT_EQ(answer, QDialog::Rejected);
    EXPECT_TRUE(h.closedSignal);
    EXPECT_EQ(QFileInfo(QString::fromStdString(h.settingsPath())).size(), 56);
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

TEST(Termination, DuringTheSplashEndsTheStartUpBeforeAnythingIsReadOrOpened) {
    Harness h;
    h.splashMs = 10000;
    h.create();
    QTimer::singleShot(50, h.app.get(), [&h] { h.app->Terminate(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(h.app->Start());
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(h.device.opens(), 0);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(h.settingsPath())));
}

} // namespace
