#include "display/ImageView.h"

#include <QMouseEvent>
#include <QPainter>

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
    update();
}

void ImageView::paintEvent(QPaintEvent*) {
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
