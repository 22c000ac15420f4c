// The splash at start-up and the maker panel on the button bar.
#include "Harness.h"
#include "app/AboutBox.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

TEST(Splash, ShowsAloneUntilItsTimerEndsItThenTheMainWindowStarts) {
    Harness h;
    h.splashMs = 150;
    h.create();
    TAboutBox* about = h.app->AboutBox();
    EXPECT_FALSE(about->isVisible());
    bool seenAlone = false;
    QTimer::singleShot(20, [&] {
        // Inside the modal showing: FormCreate has not run (no device opened).
        seenAlone = about->isVisible() && !h.form1->isVisible() && h.device.opens() == 0;
    });
    QElapsedTimer t;
    t.start();
    h.start(); // returns without any input
    EXPECT_GE(t.elapsed(), 140);
    EXPECT_TRUE(seenAlone);
    EXPECT_FALSE(about->isVisible());
    EXPECT_TRUE(h.form1->isVisible());
    EXPECT_TRUE(about->Timer1->isActive()); // never stopped; later ticks change nothing
    about->Timer1Timer();
    EXPECT_FALSE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), "About");
    EXPECT_EQ(about->ProductName->text(), "Quarl V2.0");
}

// A pointer move without a button, sent where the window system would send it.
void moveOver(QWidget* w, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
}

TEST(MakerPanel, AddressUnderThePointerNameOverTheBareBarsAndAClickOpensIt) {
    Harness h;
    h.start();
    QLabel* panel = h.form1->Panel1;
    const auto colour = [panel] { return panel->palette().color(QPalette::WindowText); };
    EXPECT_EQ(panel->text(), "Kelvo Software");

    // The click works whatever the caption shows.
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, QPointF(10, 10), panel->mapToGlobal(QPointF(10, 10)), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(panel, &e);
    }
    EXPECT_EQ(h.openedUrls, std::vector<QString>{"https://www.kelvo-software.example"});

    moveOver(panel, {20, 10});
    EXPECT_EQ(panel->text(), "www.kelvo-software.example");
    EXPECT_EQ(colour(), QColor(0, 0, 255));
    // Over a control on the bars: the control takes the move.
    moveOver(h.form1->Onbutton, {5, 5});
    moveOver(h.form1->MarkLabel, {5, 5});
    EXPECT_EQ(panel->text(), "www.kelvo-software.example");
    // Over the bare button bar, and again over the bare read-out row.
    moveOver(h.form1->Panel3, {panel->geometry().right() + 3, 2});
    EXPECT_EQ(panel->text(), "Kelvo Software");
    EXPECT_EQ(colour(), QColor(128, 128, 128));
    moveOver(panel, {20, 10});
    moveOver(h.form1->Panel6, {60, 3});
    EXPECT_EQ(panel->text(), "Kelvo Software");
}

} // namespace
