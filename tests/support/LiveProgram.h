// The program's windows shown on the X display with the real sound input,
// for the end-to-end tests, and their fixture that insists on both.
#pragma once

#include "support/RealProgram.h"

#include <QGuiApplication>
#include <QTest>
#include <gtest/gtest.h>

// The windows shown on the display, the way the program starts them.
struct LiveProgram : RealProgram {
    LiveProgram() {
        if (!QTest::qWaitForWindowExposed(app->Form1()))
            ADD_FAILURE() << "the main window was not shown";
    }
};

class Live : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SoundServerAnswers())
            FAIL() << "no sound server: scripts/test.sh starts a private sound server";
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            FAIL() << "needs an X display (DISPLAY): scripts/test.sh starts a private Xvfb";
    }
};
