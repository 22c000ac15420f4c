// What the image control asks the window system to repaint.
#include "display/ImageView.h"

#include <QCoreApplication>
#include <QPaintEvent>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Records the rectangles of the paint events a widget receives.
struct PaintLog : QObject {
    std::vector<QRect> rects;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) rects.push_back(static_cast<QPaintEvent*>(e)->rect());
        return false;
    }
};

struct Shown {
    QWidget window;
    ImageView* view;
    PaintLog log;
    Shown(bool stretch, QSize control, QSize picture) {
        view = new ImageView(stretch, &window);
        view->setGeometry(QRect(QPoint(0, 0), control));
        view->setPictureSize(picture.width(), picture.height());
        window.resize(control);
        window.show();
        settle();
        view->installEventFilter(&log);
    }
    void settle() {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
};

} // namespace

// The cursor strip: a picture as tall as the display behind a control a few
// rows high. Redrawn while held, it is repainted only when a row that shows
// ends up different.
TEST(ImageView, AHeldPictureIsRepaintedOnlyWhenWhatShowsHasChanged) {
    Shown s(false, {512, 10}, {512, 93});
    QImage& picture = s.view->picture();

    s.view->holdRepaints();
    picture.fill(Qt::black); // cleared and drawn again: the same in the end
    picture.fill(Qt::white);
    picture.setPixel(100, 50, 0xFF008000); // below the rows that show
    s.view->pictureChanged();
    s.view->releaseRepaints();
    s.settle();
    EXPECT_TRUE(s.log.rects.empty());

    s.view->holdRepaints();
    picture.setPixel(100, 9, 0xFF008000); // the last row that shows
    s.view->pictureChanged();
    s.view->releaseRepaints();
    s.settle();
    ASSERT_EQ(s.log.rects.size(), 1u);
    EXPECT_EQ(s.log.rects[0], QRect(0, 0, 512, 10));
}

// A changed rectangle of the picture repaints the control's pixels that show
// it: the same rectangle at natural size, rounded outwards when stretched.
TEST(ImageView, AChangedAreaRepaintsOnlyThePixelsThatShowIt) {
    Shown natural(true, {512, 93}, {512, 93});
    natural.view->pictureChanged(QRect(0, 40, 512, 1));
    natural.settle();
    ASSERT_EQ(natural.log.rects.size(), 1u);
    EXPECT_EQ(natural.log.rects[0], QRect(0, 40, 512, 1));

    Shown stretched(true, {512, 93}, {256, 31}); // twice as wide, three times as tall
    stretched.view->pictureChanged(QRect(10, 5, 3, 1));
    stretched.settle();
    ASSERT_EQ(stretched.log.rects.size(), 1u);
    EXPECT_EQ(stretched.log.rects[0], QRect(20, 15, 6, 3));
}
