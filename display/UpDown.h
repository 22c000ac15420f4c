// A horizontal pair of arrow buttons; only the direction of a click counts.
#pragma once

#include <QWidget>

class QToolButton;

class UpDown : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(QWidget* parent = nullptr);
    QToolButton* previousButton() const { return previous_; }
    QToolButton* nextButton() const { return next_; }

signals:
    void clickedPrevious();
    void clickedNext();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* previous_;
    QToolButton* next_;
};
