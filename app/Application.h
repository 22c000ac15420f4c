// The program's start-up: creates the four windows, hidden, shows the about
// window until its timer ends it, runs the main window's FormCreate and shows
// it. main() and the tests use the same road.
#pragma once

#include "app/Platform.h"
#include "capture/WaveIn.h"

#include <QObject>
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
    // main window shows unless a device error closed it.
    void Start();

    TForm1* Form1() const { return form1_.get(); }
    TForm2* Form2() const { return form2_.get(); }
    TEditForm* EditForm() const { return editForm_.get(); }
    TAboutBox* AboutBox() const { return aboutBox_.get(); }

private:
    wavein::WaveInDevice& device_;
    Platform platform_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TEditForm> editForm_;
    std::unique_ptr<TAboutBox> aboutBox_;
};
