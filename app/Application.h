// The program's start-up: creates the four windows, hidden, shows the about
// window until its timer ends it, runs the main window's FormCreate and shows
// it. main() and the tests use the same road.
#pragma once

#include "app/Platform.h"
#include "capture/WaveIn.h"

#include <QObject>
#include <QTimer>
#include <memory>

class TAboutBox;
class TEditForm;
class TForm1;
class TForm2;

class QuarlApplication : public QObject {
    Q_OBJECT
public:
    QuarlApplication(wavein::WaveInDevice& device, Platform platform);
    ~QuarlApplication() override;

    // Creates the windows; `programFolder` (empty: the executable's folder)
    // holds the settings file.
    void CreateWindows(const QString& programFolder = {});
    // The splash, modally, until its timer ends it; then FormCreate, and the
    // main window shows unless a device error closed it. True when the main
    // window is up and the event loop has to run; false when the run is over
    // already (a device error at start-up, or Terminate during the splash).
    bool Start();

    // Ends the run in order, for SIGTERM, SIGINT or SIGHUP (main() wires
    // TerminationSignals to it):
    //  - during the splash: the splash ends at once and Start() returns
    //    false without FormCreate. Nothing has been read, opened or changed
    //    yet, so there is nothing to tear down or save; the settings file
    //    stays as it was.
    //  - afterwards: the main window closes as the operator's close does
    //    (close query, teardown, settings written). A modal box or file
    //    dialog open at that moment, or opened by the close itself, is
    //    dismissed first (a dialog as if cancelled, a box as if acknowledged):
    //    at the end of a session nobody is there to answer it. The close runs
    //    only once the program is back in its main event loop, never inside
    //    the box's own loop, so the handler that opened it finishes first.
    // Later calls change nothing: the close is under way.
    void Terminate();

    TForm1* Form1() const { return form1_.get(); }
    TForm2* Form2() const { return form2_.get(); }
    TEditForm* EditForm() const { return editForm_.get(); }
    TAboutBox* AboutBox() const { return aboutBox_.get(); }

private:
    // One step of a termination: dismisses a modal window, or closes the
    // main window once no modal loop is running.
    void ContinueTermination();

    wavein::WaveInDevice& device_;
    Platform platform_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TEditForm> editForm_;
    std::unique_ptr<TAboutBox> aboutBox_;
    bool splashDone_ = false;
    bool terminating_ = false;
    // Repeats ContinueTermination until the program has ended.
    QTimer terminationTimer_;
};
