// The about window: a splash that shows modally at start-up until its own
// timer ends it. It has no buttons and no close box.
#pragma once

#include <QDialog>
#include <QIcon>

class QFrame;
class QLabel;
class QTimer;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // The timer starts counting at creation and fires every `intervalMs`
    // (4000 in the program) for the rest of the run.
    explicit TAboutBox(int intervalMs, QWidget* parent = nullptr);

    // Hides the window and ends its modal showing; later ticks find it hidden
    // and change nothing.
    void Timer1Timer();

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Comments = nullptr;
    QTimer* Timer1 = nullptr;

    // Only the timer ends the splash: not Escape, not the window manager.
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

// The program's icon, 32 x 32 in 16 colours.
QIcon ProgramIconPicture();
