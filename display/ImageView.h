// An image control: shows a 32-bit picture (QImage::Format_RGB32) and reports
// mouse presses, moves and releases in its own pixel coordinates. The views
// draw into picture() and call update() to have it shown.
#pragma once

#include <QImage>
#include <QWidget>

class ImageView : public QWidget {
    Q_OBJECT
public:
    // `stretch`: the picture is scaled to the control; otherwise it is shown
    // at its natural size from the top-left corner.
    explicit ImageView(bool stretch, QWidget* parent = nullptr);

    QImage& picture() { return picture_; }
    const QImage& picture() const { return picture_; }
    // Gives the picture a new size; its content is kept where it overlaps.
    void setPictureSize(int width, int height);

signals:
    void mousePressed(Qt::MouseButton button, int x, int y);
    void mouseMoved(int x, int y);
    void mouseReleased(Qt::MouseButton button, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage picture_;
    bool stretch_;
};
