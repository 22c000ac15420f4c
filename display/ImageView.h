// An image control: shows a 32-bit picture (QImage::Format_RGB32) and reports
// mouse presses, moves and releases in its own pixel coordinates. The views
// draw into picture() and call pictureChanged() to have it shown.
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

    // Asks for a repaint of the whole control after drawing into the picture.
    // A refresh draws in several steps: only the first call between two
    // repaints does any work.
    void pictureChanged();
    // The same for one rectangle of the picture, in picture pixels. A repaint
    // that leaves the rest of the window alone spares the window system the
    // copy of the whole picture, and lets the next one follow without
    // waiting for it.
    void pictureChanged(const QRect& area);

    // The pixels of `area` (picture pixels) moved down by `rows` rows in the
    // picture, and the rows that came in at its top were drawn anew. The
    // window system moves what is already on the screen, and only the new
    // rows are painted: a scrolling picture costs a row, not a whole picture,
    // per step.
    void pictureScrolled(const QRect& area, int rows);

    // Between holdRepaints() and releaseRepaints() drawing asks for no
    // repaint; the release asks for one only if the part of the picture that
    // shows differs from what it was at the hold. For a small picture that is
    // cleared and redrawn on every refresh although its pixels seldom change
    // (the cursor strip).
    void holdRepaints();
    void releaseRepaints();

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
    // The part of the picture that shows: the control's size, clipped to the
    // picture.
    QRect shownArea() const;

    QImage picture_;
    bool stretch_;
    bool wholeRepaintAsked_ = false;
    bool held_ = false;
    QImage atHold_; // the shown part at holdRepaints(), reused from hold to hold
};
