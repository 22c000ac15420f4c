#include "display/UpDown.h"

#include <QToolButton>

UpDown::UpDown(QWidget* parent)
    : QWidget(parent), previous_(new QToolButton(this)), next_(new QToolButton(this)) {
    previous_->setArrowType(Qt::LeftArrow);
    next_->setArrowType(Qt::RightArrow);
    for (QToolButton* b : {previous_, next_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(previous_, &QToolButton::clicked, this, &UpDown::clickedPrevious);
    connect(next_, &QToolButton::clicked, this, &UpDown::clickedNext);
}

void UpDown::resizeEvent(QResizeEvent*) {
    const int half = width() / 2;
    previous_->setGeometry(0, 0, half, height());
    next_->setGeometry(half, 0, width() - half, height());
}
