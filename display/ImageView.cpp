#include "display/ImageView.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

ImageView::ImageView(bool stretch, QWidget* parent)
    : QWidget(parent), picture_(1, 1, QImage::Format_RGB32), stretch_(stretch) {
    picture_.fill(Qt::white);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Moves are wanted only while a button is held (the cursor drags).
    setMouseTracking(false);
}

void ImageView::setPictureSize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == picture_.width() && height == picture_.height()) return;
    QImage resized(width, height, QImage::Format_RGB32);
    resized.fill(Qt::white);
    QPainter p(&resized);
    p.drawImage(0, 0, picture_);
    p.end();
    picture_ = std::move(resized);
    pictureChanged();
}

void ImageView::pictureChanged() {
    if (held_ || wholeRepaintAsked_) return;
    wholeRepaintAsked_ = true;
    update();
}

void ImageView::pictureChanged(const QRect& area) {
    if (held_ || wholeRepaintAsked_) return;
    if (!stretch_ || size() == picture_.size()) {
        update(area);
        return;
    }
    // Stretched: the picture's pixels cover these of the control, rounded out.
    const double sx = double(width()) / picture_.width();
    const double sy = double(height()) / picture_.height();
    const int left = static_cast<int>(std::floor(area.left() * sx));
    const int top = static_cast<int>(std::floor(area.top() * sy));
    const int right = static_cast<int>(std::ceil((area.right() + 1) * sx));
    const int bottom = static_cast<int>(std::ceil((area.bottom() + 1) * sy));
    update(QRect(left, top, right - left, bottom - top));
}

void ImageView::pictureScrolled(const QRect& area, int rows) {
    if (held_ || wholeRepaintAsked_) return; // all of it is painted anew anyway
    if (size() != picture_.size() || rows <= 0 || rows >= area.height()) {
        // Stretched, the screen's rows are not the picture's.
        pictureChanged();
        return;
    }
    // Qt moves the painted pixels (and any part still waiting to be
    // painted) and paints the rows that the move uncovers.
    scroll(0, rows, area);
}

QRect ImageView::shownArea() const {
    return QRect(0, 0, std::min(width(), picture_.width()), std::min(height(), picture_.height()));
}

void ImageView::holdRepaints() {
    if (held_ || picture_.depth() != 32) return;
    held_ = true;
    const QRect shown = shownArea();
    if (atHold_.size() != shown.size())
        atHold_ = QImage(shown.size(), QImage::Format_RGB32); // only when the size changes
    const qsizetype bytes = qsizetype{shown.width()} * 4;
    for (int y = 0; y < shown.height(); ++y)
        std::memcpy(atHold_.scanLine(y), picture_.constScanLine(y), bytes);
}

void ImageView::releaseRepaints() {
    if (!held_) return;
    held_ = false;
    const QRect shown = shownArea();
    if (atHold_.size() != shown.size() || picture_.format() != atHold_.format()) {
        pictureChanged(); // resized meanwhile: no comparison possible
        return;
    }
    const qsizetype bytes = qsizetype{shown.width()} * 4;
    for (int y = 0; y < shown.height(); ++y) {
        if (std::memcmp(atHold_.constScanLine(y), picture_.constScanLine(y), bytes) != 0) {
            pictureChanged();
            return;
        }
    }
}

void ImageView::paintEvent(QPaintEvent*) {
    wholeRepaintAsked_ = false;
    QPainter p(this);
    if (stretch_) {
        p.drawImage(rect(), picture_);
    } else {
        p.fillRect(rect(), palette().window());
        p.drawImage(0, 0, picture_);
    }
}

void ImageView::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    emit mousePressed(event->button(), pos.x(), pos.y());
}

void ImageView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    emit mouseMoved(pos.x(), pos.y());
}

void ImageView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    emit mouseReleased(event->button(), pos.x(), pos.y());
}
