// The picture viewer: a window with a menu "File" → "Close" and the picture
// at its natural size from the top-left corner, scrolling when it does not
// fit. Created hidden at start-up; it keeps its picture while hidden.
#pragma once

#include <QImage>
#include <QWidget>

class QAction;
class QLabel;
class QMenuBar;
class QScrollArea;

class TEditForm : public QWidget {
    Q_OBJECT
public:
    explicit TEditForm(QWidget* parent = nullptr);

    // Replaces the picture shown; the window keeps its size.
    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }

    // Runs as the window becomes visible: the window takes the picture's size
    // plus 20 across and 50 down for its frame, caption and menu bar.
    void FormShow();
    // Menu "Close": hides the viewer.
    void Exit1Click();

    // Outer size counted as the main window counts its frame (TForm1), so
    // that the size means the same under any window manager.
    int OuterWidth() const;
    int OuterHeight() const;

    QMenuBar* MainMenu1 = nullptr;
    QAction* Exit1 = nullptr;
    QScrollArea* Scroller = nullptr;
    QLabel* Image1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QImage picture_;
};
