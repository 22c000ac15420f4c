#include "app/Application.h"

#include "app/Form1.h"
#include "app/Form2.h"

QuarlApplication::QuarlApplication(wavein::WaveInDevice& device, Platform platform)
    : device_(device), platform_(std::move(platform)) {}

QuarlApplication::~QuarlApplication() {
    // The dialog's handlers reach into the main window: it goes first.
    form2_.reset();
    form1_.reset();
}

void QuarlApplication::CreateWindows(const QString& programFolder) {
    form1_ = std::make_unique<TForm1>(device_, platform_);
    if (!programFolder.isEmpty()) form1_->ProgramFolder = programFolder;
    form2_ = std::make_unique<TForm2>();
    form1_->Form2 = form2_.get();
    form2_->Form1 = form1_.get();

    // The picture viewer and the about window: present, hidden, not built yet.
    editForm_ = std::make_unique<QWidget>(nullptr, Qt::Window);
    editForm_->setWindowTitle(QStringLiteral("Quarl Image Viewer"));
    editForm_->resize(500, 250);
    aboutBox_ = std::make_unique<QWidget>(nullptr, Qt::Dialog);
    aboutBox_->setWindowTitle(QStringLiteral("About"));
}

void QuarlApplication::Start() {
    form1_->FormCreate();
    if (!form1_->IsClosed()) form1_->show();
}
