#include "app/Application.h"

#include "app/AboutBox.h"
#include "app/EditForm.h"
#include "app/Form1.h"
#include "app/Form2.h"

#include <QApplication>

QuarlApplication::QuarlApplication(wavein::WaveInDevice& device, Platform platform)
    : device_(device), platform_(std::move(platform)) {}

QuarlApplication::~QuarlApplication() {
    // The dialog's handlers reach into the main window: it goes first.
    aboutBox_.reset();
    editForm_.reset();
    form2_.reset();
    form1_.reset();
}

void QuarlApplication::CreateWindows(const QString& programFolder) {
    form1_ = std::make_unique<TForm1>(device_, platform_);
    if (!programFolder.isEmpty()) form1_->ProgramFolder = programFolder;
    form2_ = std::make_unique<TForm2>();
    form1_->Form2 = form2_.get();
    form2_->Form1 = form1_.get();

    editForm_ = std::make_unique<TEditForm>();
    form1_->EditForm = editForm_.get();
    QApplication::setWindowIcon(ProgramIconPicture());
    // Last: its timer counts from here.
    aboutBox_ = std::make_unique<TAboutBox>(platform_.splashIntervalMs);
}

void QuarlApplication::Start() {
    aboutBox_->exec();
    form1_->FormCreate();
    if (!form1_->IsClosed()) form1_->show();
}
